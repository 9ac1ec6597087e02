#include "service.h"

#include "settings_layout.h"

const wchar_t kStateStarted[] = L"（起動済み）";
const wchar_t kStateStopped[] = L"（停止中）";
const wchar_t kStatusStopped[] = L"デバイスドライバが起動されていません。";
const wchar_t kStatusRunning[] = L"デバイスは正常に動作しています。";

namespace {

// Both handles of one request; the manager is closed before the service.
struct ServiceHandles {
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = nullptr;
    bool Open() {
        manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        if (!manager) return false;
        service = OpenServiceA(manager, vxreg::kService710, SERVICE_ALL_ACCESS);
        return service != nullptr;
    }
    ~ServiceHandles() {
        if (manager) CloseServiceHandle(manager);
        if (service) CloseServiceHandle(service);
    }
};

}  // namespace

DriverState DriverStateFromRaw(DWORD serviceState) {
    return serviceState == SERVICE_STOPPED ? DriverState::Stopped : DriverState::Started;
}

DriverState QueryDriverService(DWORD* rawState) {
    ServiceHandles h;
    if (!h.Open()) return DriverState::Unavailable;
    SERVICE_STATUS status{};
    if (QueryServiceStatus(h.service, &status) != 1) return DriverState::Unavailable;
    if (rawState) *rawState = status.dwCurrentState;
    return DriverStateFromRaw(status.dwCurrentState);
}

bool StartDriverService() {
    ServiceHandles h;
    return h.Open() && StartServiceA(h.service, 0, nullptr) == 1;
}

bool StopDriverService() {
    ServiceHandles h;
    SERVICE_STATUS status{};
    return h.Open() && ControlService(h.service, SERVICE_CONTROL_STOP, &status) == 1;
}

const wchar_t* DriverStateText(DriverState state) {
    return state == DriverState::Started ? kStateStarted : kStateStopped;
}

const wchar_t* DeviceStatusText(DriverState state) {
    return state == DriverState::Started ? kStatusRunning : kStatusStopped;
}
