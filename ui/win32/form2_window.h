// Windows only: the login dialog Form2 as a real window.
//
// Usage (WinMain):
//   ui::Form2 login(registryProvider, shell, initXp, showForm1);   // outlives the window
//   ui::Form2Window dialog(login, IDI_QUELVANE);
//   dialog.Start();    // load step; shown only when it waits for a password
//   return ui::RunMessageLoop();
//
// When the dialog closes (a right password, no password stored), its window
// is destroyed before the form asks for the main window.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>

#include "ui/form2.h"
#include "ui/win32/layout_window.h"

namespace ui {

class Form2Window {
public:
    explicit Form2Window(Form2& form, int iconResourceId = 0);
    ~Form2Window();
    Form2Window(const Form2Window&) = delete;
    Form2Window& operator=(const Form2Window&) = delete;

    // Makes the hidden window from Form2's layout, tells windowMade (the
    // program's start-up trace marks the moment) and runs Form_Load; shows
    // the window when the load leaves the dialog waiting.  A failure of the
    // load is reported and ends the program before any window is shown.
    void Start(int showCommand = SW_SHOWNORMAL, const std::function<void()>& windowMade = {});
    HWND Hwnd() const { return window_.Hwnd(); }
    HWND Control(std::wstring_view name, int member = NoMember) const { return window_.Control(name, member); }

private:
    static ControlModel& Model(Form2& form, const LayoutRow& row);

    Form2& form_;
    LayoutWindow window_;
    // The form may outlive this object: its Closed event then reaches nobody.
    ScopedConnection closed_;
};

}  // namespace ui
