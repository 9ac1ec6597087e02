// Starting the configuration utility when the Control Panel item is opened. The two
// ways of creating its process come in as a table: the applet passes the system's,
// the tests pass doubles that refuse the way a Windows session with UAC refuses
// (Wine gives every process an administrator's token and never refuses so itself).
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace vxcpl {

struct Launcher {
  decltype(&::CreateProcessA) createProcess;
  decltype(&::ShellExecuteExW) shellExecuteEx;
};

extern const Launcher kSystemLauncher;

// Starts <system directory>\vx710cfg.exe and does not wait for it (a running
// instance is the utility's own business). `owner`, the Control Panel's window, owns
// the consent prompt. A failure is reported in a box, except the user declining the
// prompt.
void StartUtility(HWND owner, const Launcher& launcher);

}  // namespace vxcpl
