// The driver service vx710s10 through the service control manager. The manager and
// the service are opened anew for each query, start and stop and closed at its end.
#pragma once

#include <windows.h>

enum class DriverState {
    Stopped,      // SERVICE_STOPPED
    Started,      // any other state: pending, running, paused
    Unavailable,  // manager or service could not be opened, or the query failed
};

DriverState QueryDriverService(DWORD* rawState = nullptr);
// True only when the service control manager accepted the request.
bool StartDriverService();
bool StopDriverService();

DriverState DriverStateFromRaw(DWORD serviceState);

// State column of the driver list: "（起動済み）" / "（停止中）". A service that cannot
// be asked about shows as stopped.
const wchar_t* DriverStateText(DriverState state);
extern const wchar_t kStateStarted[];
extern const wchar_t kStateStopped[];

// Device status line of the device settings dialog.
const wchar_t* DeviceStatusText(DriverState state);
extern const wchar_t kStatusStopped[];
extern const wchar_t kStatusRunning[];
