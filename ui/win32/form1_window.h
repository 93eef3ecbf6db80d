// Windows only: the main window Form1 as a real window.
//
// Usage (WinMain, when the login dialog asks for the main window):
//   ui::Form1 form(registryProvider, versionProbe, shell);     // outlives the window
//   ui::Form1Window window(form, IDI_QUELVANE);               // icon resource id, 0 for none
//   window.Create();   // the window and its controls, then the form's load step
//   window.Show();     // the first activation runs the form's activation step
//   return ui::RunMessageLoop();   // closing Form1 ends the loop (WM_QUIT)
//
// A failure that escapes one of the form's handlers is reported in an error
// box and ends the program (ui::RunReportingFailures).
#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

#include "ui/form1.h"
#include "ui/win32/layout_window.h"

namespace ui {

class Form1Window {
public:
    explicit Form1Window(Form1& form, int iconResourceId = 0);
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;

    // Makes the hidden window from Form1's layout, tells windowMade (the
    // program's start-up trace marks the moment), then runs Form_Load.
    // Raises win32::PlatformFailure when the window cannot be made.
    void Create(const std::function<void()>& windowMade = {});
    void Show(int showCommand = SW_SHOWNORMAL);
    HWND Hwnd() const { return window_.Hwnd(); }
    HWND Tooltip() const { return window_.Tooltip(); }
    // The control of a layout row, e.g. Control(L"optSecurity", 1).
    HWND Control(std::wstring_view name, int member = NoMember) const { return window_.Control(name, member); }

private:
    Form1& form_;
    LayoutWindow window_;
};

}  // namespace ui
