// A do-nothing own-process service for the tests' Start and Stop through the real
// service control manager: it reports running, accepts stop, pause and continue.
#include <windows.h>

namespace {
SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status = {};
HANDLE g_stopped = nullptr;

void Report(DWORD state) {
    g_status.dwCurrentState = state;
    SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        Report(SERVICE_STOPPED);
        SetEvent(g_stopped);
        return NO_ERROR;
    case SERVICE_CONTROL_PAUSE:
        Report(SERVICE_PAUSED);
        return NO_ERROR;
    case SERVICE_CONTROL_CONTINUE:
        Report(SERVICE_RUNNING);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    }
    return ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
    g_stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_handle = RegisterServiceCtrlHandlerExW(L"vx710s10", Handler, nullptr);
    if (!g_handle) return;
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stopped, INFINITE);
    CloseHandle(g_stopped);
}
}  // namespace

int main() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(L"vx710s10"), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
