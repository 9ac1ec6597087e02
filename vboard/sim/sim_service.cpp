#include "sim_service.h"

#include <windows.h>

#include <cstdio>
#include <memory>

#include "pipe_server.h"
#include "settings_layout.h"
#include "sim_registry.h"
#include "virtual_board.h"

namespace vxsim {

namespace {

SERVICE_STATUS_HANDLE g_status_handle = nullptr;
HANDLE g_stop = nullptr;
SERVICE_STATUS g_status{};

void Report(DWORD state, DWORD exit_code = NO_ERROR, DWORD wait_hint = 0) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    g_status.dwWin32ExitCode = exit_code;
    g_status.dwWaitHint = wait_hint;
    if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING) ++g_status.dwCheckPoint;
    else g_status.dwCheckPoint = 0;
    SetServiceStatus(g_status_handle, &g_status);
}

DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        Report(SERVICE_STOP_PENDING, NO_ERROR, 3000);
        SetEvent(g_stop);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
    g_status_handle = RegisterServiceCtrlHandlerExA(kServiceName, Handler, nullptr);
    if (!g_status_handle) return;
    Report(SERVICE_START_PENDING, NO_ERROR, 3000);
    g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        vboard::VirtualBoard board;
        PipeServer server(kDefaultPipe, board, false);
        if (!server.Start()) {
            Report(SERVICE_STOPPED, ERROR_PIPE_BUSY);
            return;
        }
        // The real driver records the board it found when it starts; the
        // utility reads these to show the device.
        PublishDevice0(DefaultResources());
        Report(SERVICE_RUNNING);
        WaitForSingleObject(g_stop, INFINITE);
        server.Stop();  // clients' exchanges fail from here on
    }
    CloseHandle(g_stop);
    Report(SERVICE_STOPPED);
}

std::string SelfPath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, n);
}

SC_HANDLE OpenServiceRetry(SC_HANDLE scm, DWORD access) {
    // Right after creation another process may briefly not find the service.
    for (int i = 0; i < 10; ++i) {
        SC_HANDLE s = OpenServiceA(scm, kServiceName, access);
        if (s || GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) return s;
        Sleep(100);
    }
    return nullptr;
}

}  // namespace

int RunService() {
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(kServiceName), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        std::fprintf(stderr, "vx710sim: not started by the service control manager (error %lu)\n",
                     GetLastError());
        return 1;
    }
    return 0;
}

int Install(bool bare) {
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!scm) {
        std::fprintf(stderr, "vx710sim: cannot open the service manager (error %lu)\n", GetLastError());
        return 1;
    }
    std::string cmd = "\"" + SelfPath() + "\" service";
    SC_HANDLE s = CreateServiceA(scm, kServiceName, kServiceName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, cmd.c_str(), nullptr, nullptr,
                                 nullptr, nullptr, nullptr);
    if (!s && GetLastError() == ERROR_SERVICE_EXISTS) {
        s = OpenServiceRetry(scm, SERVICE_ALL_ACCESS);
        if (s)
            ChangeServiceConfigA(s, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                 cmd.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, kServiceName);
    }
    if (!s) {
        std::fprintf(stderr, "vx710sim: cannot create the service (error %lu)\n", GetLastError());
        CloseServiceHandle(scm);
        return 1;
    }
    CloseServiceHandle(s);
    CloseServiceHandle(scm);
    if (!bare && !CreateSettingsKeys()) {
        std::fprintf(stderr, "vx710sim: cannot create the settings keys\n");
        return 1;
    }
    std::printf("vx710sim: service %s installed (%s)\n", kServiceName, cmd.c_str());
    return 0;
}

int Uninstall() {
    bool ok = DeleteSettingsKeys();
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (scm) {
        SC_HANDLE s = OpenServiceRetry(scm, SERVICE_ALL_ACCESS);
        if (s) {
            SERVICE_STATUS st{};
            if (QueryServiceStatus(s, &st) && st.dwCurrentState != SERVICE_STOPPED) {
                ControlService(s, SERVICE_CONTROL_STOP, &st);
                for (int i = 0; i < 100 && QueryServiceStatus(s, &st) && st.dwCurrentState != SERVICE_STOPPED; ++i)
                    Sleep(50);
            }
            if (!DeleteService(s) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) ok = false;
            CloseServiceHandle(s);
        }
        CloseServiceHandle(scm);
    }
    // Whatever the manager leaves of the service key goes too (the Device0
    // values were written below it by the service).
    ok = DeleteTree(HKEY_LOCAL_MACHINE, vxreg::kServiceKey) && ok;
    if (!ok) {
        std::fprintf(stderr, "vx710sim: uninstall left something behind\n");
        return 1;
    }
    std::printf("vx710sim: service %s uninstalled\n", kServiceName);
    return 0;
}

}  // namespace vxsim
