// Windows only: the program's two windows, wired as the program runs them.
// The login dialog is made hidden and loaded; it is shown, and only then are
// its controls made, when the load leaves it waiting for a password, and its
// window is gone before the main window appears.  The main window is made the
// first time the login asks for it; closing it, the last window, ends the
// message loop and so the program.  The login's Cancel and close box end the
// program through the shell.
//
//   ui::ProgramWindows windows(registry, versionProbe, shell, [] { styles::InitXp(); }, IDI_QUELVANE);
//   windows.Start(showCommand);        // the login's load runs here
//   return ui::RunMessageLoop();
#pragma once

#include <functional>
#include <memory>

#include "registry/os_version.h"
#include "registry/registry_provider.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/shell.h"
#include "ui/win32/layout_window.h"

namespace ui {

// The main window's load, activation and end, as the program wires them.
LayoutWindowEvents Form1WindowEvents(Form1& form);

class ProgramWindows {
public:
    // Runs the login dialog's initialisation, and with it initXp.
    ProgramWindows(registry::RegistryProvider& registry, registry::OsVersionProbe& versionProbe, Shell& shell,
                   std::function<void()> initXp, int iconResourceId = 0);
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Makes the login dialog and runs its load, which may show the main
    // window at once; shows the dialog when the load leaves it waiting.
    void Start(int showCommand);

private:
    void ShowForm1();

    registry::RegistryProvider& registry_;
    registry::OsVersionProbe& versionProbe_;
    Shell& shell_;
    int iconResourceId_;
    int showCommand_ = SW_SHOWNORMAL;
    // Each window goes before the models that it shows.
    Form2 login_;
    LayoutWindow loginWindow_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<LayoutWindow> form1Window_;
};

}  // namespace ui
