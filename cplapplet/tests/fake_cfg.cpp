// Stand-in for vx710cfg.exe in the applet tests: reports how it was started by writing
// one file per run into the folder named by VX_CPL_MARKER_DIR. It waits a little first,
// so a caller that waited for it would be noticed.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char dir[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("VX_CPL_MARKER_DIR", dir, sizeof dir)) return 1;
  Sleep(1500);
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  char path[MAX_PATH + 32];
  snprintf(path, sizeof path, "%s\\run_%lu.txt", dir, GetCurrentProcessId());
  char tmp[MAX_PATH + 32];
  snprintf(tmp, sizeof tmp, "%s.part", path);
  FILE* f = fopen(tmp, "w");
  if (!f) return 2;
  fprintf(f, "%s\n%lu\n%u\n%s\n", self, startup.dwFlags, startup.wShowWindow, GetCommandLineA());
  fclose(f);
  // Appears complete or not at all.
  MoveFileA(tmp, path);
  return 0;
}
