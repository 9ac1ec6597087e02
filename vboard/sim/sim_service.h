// The stand-in as a Windows service, and its installation.
#pragma once

#include <string>

namespace vxsim {

constexpr const char* kServiceName = "vx710s10";

// Creates (or re-points) the own-process, demand-start service at this
// executable with the `service` argument, then the settings keys (unless
// `bare`: the service alone, as a driver installed without its keys).
int Install(bool bare);
// Stops the service if it runs, deletes it and every key the installation made.
int Uninstall();
// Under the service control manager: hosts the board on the default pipe.
int RunService();

}  // namespace vxsim
