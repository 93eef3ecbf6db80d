// Form2, the login dialog through which the program starts.
//
// Usage by the host (the Win32 layer, or a test):
//   ui::Form2 login(registry, shell, [] { styles::InitXp(); }, [&] { ShowForm1(); });  // runs InitXp
//   login.Closed = [&] { DestroyTheDialogWindow(); };
//   // The window binds the models' view events; its load runs Form_Load,
//   // which may raise RegistryFailure: report and end.
//   ui::LayoutWindow window(ui::Form2Layout, login.Controls(), {.load = [&] { login.Form_Load(); }, ...});
//   window.Create(ui::LayoutWindow::ContentsAt::FirstShow);
//   if (login.State() == ui::Form2::StateKind::Waiting) window.Show();
//   ... user input reaches the models: txtPassword.SetText(...), cmdOK.Press(), cmdCancel.Press()
//   ... the platform's close command: login.CloseCommand();
//
// The dialog exists once per run; after it has closed nothing shows it again.
#pragma once

#include <functional>
#include <string>

#include "registry/registry_provider.h"
#include "ui/controls.h"
#include "ui/form2_layout.h"
#include "ui/shell.h"

namespace ui {

class Form2 {
public:
    enum class StateKind { Created, Loading, Waiting, Closed };

    // Runs the dialog's initialisation, which calls initXp and nothing else.
    Form2(registry::RegistryProvider& registry, Shell& shell, std::function<void()> initXp,
          std::function<void()> showForm1);
    Form2(const Form2&) = delete;
    Form2& operator=(const Form2&) = delete;

    FrameModel Frame1;
    TextBoxModel txtPassword;
    ButtonModel cmdCancel;
    ButtonModel cmdOK;
    ControlList Controls() { return {&Frame1, &txtPassword, &cmdCancel, &cmdOK}; }

    // Set by the load step; the OK step reads the password from this key.
    std::wstring PasswordKey;

    // The start-up check.  Closes the dialog and shows Form1 when no password
    // is stored or it cannot be read; otherwise leaves the dialog Waiting to be
    // shown.  A failure to create the password key rises to the caller.
    void Form_Load();
    // The platform's close command (title bar, Alt+F4): the dialog closes
    // with no window of the program left, so the program ends.
    void CloseCommand();

    StateKind State() const { return state_; }
    // Fires once, when the dialog closes; the window must be gone before
    // Form1 is shown.
    Event<> Closed;

private:
    void Form_Initialize();
    void cmdOK_Click();
    void cmdCancel_Click();
    void Close();
    void CloseAndShowForm1();

    registry::RegistryProvider& registry_;
    Shell& shell_;
    std::function<void()> initXp_;
    std::function<void()> showForm1_;
    StateKind state_ = StateKind::Created;
};

}  // namespace ui
