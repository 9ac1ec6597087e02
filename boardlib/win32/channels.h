// The three device channels of the Win32 layer, chosen at every BdOpen by the
// environment variable QRLINK00_DEVICE:
//   unset or empty          the kernel driver, through SetupAPI and DeviceIoControl
//   "sim"                   the virtual board, in process
//   "\\.\pipe\<name>"       a board stand-in serving the exchange on a named pipe
#pragma once

#include <memory>
#include <string>

#include "platform.h"

namespace qrl::win32 {

std::unique_ptr<DeviceChannel> OpenKernelDevice();
std::unique_ptr<DeviceChannel> OpenSimDevice();
std::unique_ptr<DeviceChannel> OpenPipeDevice(const std::string& path);

// How long BdOpen waits for a busy pipe instance before it gives up.
constexpr unsigned kPipeBusyWaitMs = 2000;

}  // namespace qrl::win32
