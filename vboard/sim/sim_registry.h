// The registry side of the driver's installation, as the stand-in plays it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vxsim {

// The board's PCI resources that the driver publishes under Device0 at start.
struct DeviceResources {
    uint32_t values[9];  // in the order of vxreg::kDevice0Values
};
DeviceResources DefaultResources();

// Creates Parameters, Device0 (as the parent of Settings only, no values),
// Settings, Sys, Sys\LogSetting, Dll, Dll\LogSetting for vx710s10 and the Dll
// keys for vx880s10, writing each default value that is not there yet.
bool CreateSettingsKeys();
// Deletes every key CreateSettingsKeys made (and the service key when it is
// left behind), for both families.
bool DeleteSettingsKeys();
// Writes the nine Device0 values, as the driver does when it starts.
bool PublishDevice0(const DeviceResources& r);

// Deletes `path` below `root` with everything under it; true if it is gone.
bool DeleteTree(HKEY root, const char* path);

}  // namespace vxsim
