// Windows only: the program's two windows, wired and run as the program runs
// them.  The login dialog is made hidden and loaded; it is shown, and only
// then are its controls made, when the load leaves it waiting for a password,
// and its window is gone before the main window appears.  The main window is
// made the first time the login asks for it; closing it, the last window,
// ends the message loop.  The login's Cancel and close box and the log-off
// end the loop through the shell.
//
//   return ui::RunProgramWindows(registry, versionProbe, shell, [] { styles::InitXp(); }, IDI_QUELVANE,
//                                showCommand);
#pragma once

#include <functional>

#include "registry/os_version.h"
#include "registry/registry_provider.h"
#include "ui/form1.h"
#include "ui/shell.h"
#include "ui/win32/layout_window.h"

namespace ui {

// The main window's load, activation and end, as the program wires them.
LayoutWindowEvents Form1WindowEvents(Form1& form);

// Makes the windows, runs the thread's messages until WM_QUIT and returns its
// exit code.  The login's initialisation, and with it initXp, runs first.
int RunProgramWindows(registry::RegistryProvider& registry, registry::OsVersionProbe& versionProbe, Shell& shell,
                      std::function<void()> initXp, int iconResourceId, int showCommand);

}  // namespace ui
