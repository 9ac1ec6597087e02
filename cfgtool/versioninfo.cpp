// Version and date texts of installed files.
#include "versioninfo.h"

#include <cwchar>
#include <vector>

const wchar_t kFileNotFoundText[] = L"File Not Found";

bool ReadFileVersion(const char* path, VersionQuad& v) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return false;  // no file, or no version resource
  HANDLE heap = GetProcessHeap();
  void* block = HeapAlloc(heap, HEAP_ZERO_MEMORY, size);
  if (!block) return false;
  bool ok = false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (GetFileVersionInfoA(path, 0, size, block) &&
      VerQueryValueA(block, "\\", reinterpret_cast<void**>(&info), &len) && info &&
      len >= sizeof(VS_FIXEDFILEINFO)) {
    v.a = HIWORD(info->dwFileVersionMS);
    v.b = LOWORD(info->dwFileVersionMS);
    v.c = HIWORD(info->dwFileVersionLS);
    v.d = LOWORD(info->dwFileVersionLS);
    ok = true;
  }
  HeapFree(heap, 0, block);
  return ok;
}

std::wstring VersionText(const VersionQuad& v) {
  wchar_t buf[64];
  swprintf(buf, 64, L"%lu.%lu.%lu.%lu", v.a, v.b, v.c, v.d);
  return buf;
}

namespace {
template <typename Ch>
VersionQuad ParseAny(const Ch* text) {
  unsigned long n[4] = {0, 0, 0, 0};
  if (!text) return VersionQuad{0, 0, 0, 0};
  const Ch* p = text;
  for (int i = 0; i < 4; ++i) {
    // Only the digits at the start of the piece count; the rest up to the dot is skipped.
    unsigned long value = 0;
    while (*p >= '0' && *p <= '9') {
      if (value < 100000000UL) value = value * 10 + static_cast<unsigned long>(*p - '0');
      ++p;
    }
    n[i] = value;
    while (*p && *p != '.') ++p;
    if (*p == '.') ++p;
    else break;
  }
  return VersionQuad{n[0], n[1], n[2], n[3]};
}
}  // namespace

VersionQuad ParseVersion(const wchar_t* text) { return ParseAny(text); }
VersionQuad ParseVersion(const char* text) { return ParseAny(text); }

bool FileVersionText(const char* path, std::wstring& text) {
  VersionQuad v{};
  if (!ReadFileVersion(path, v)) {
    text = kFileNotFoundText;
    return false;
  }
  text = VersionText(v);
  return true;
}

bool FileDateText(const char* path, std::wstring& text) {
  text = kFileNotFoundText;
  // Opened without sharing: a file another program holds open counts as not found.
  SetLastError(0);
  HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (GetLastError() != 0) {
    CloseHandle(file);
    return false;
  }
  FILETIME written{}, local{};
  WORD dosDate = 0, dosTime = 0;
  bool ok = GetFileTime(file, nullptr, nullptr, &written) &&
            FileTimeToLocalFileTime(&written, &local) &&
            FileTimeToDosDateTime(&local, &dosDate, &dosTime);
  CloseHandle(file);
  if (!ok) return false;
  wchar_t buf[32];
  swprintf(buf, 32, L"%d/%.2d/%.2d", (dosDate >> 9) + 1980, (dosDate >> 5) & 15, dosDate & 31);
  text = buf;
  return true;
}

int ShowFileVersionText(HWND dlg, int id, const char* path) {
  std::wstring text;
  bool ok = FileVersionText(path, text);
  SetDlgItemTextW(dlg, id, text.c_str());
  return ok ? 0 : -1;
}

int ShowFileDateText(HWND dlg, int id, const char* path) {
  std::wstring text;
  bool ok = FileDateText(path, text);
  SetDlgItemTextW(dlg, id, text.c_str());
  return ok ? 0 : -1;
}
