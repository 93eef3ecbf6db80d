#include "ui/form2.h"

#include "policy/policy_keys.h"
#include "policy/tolerant.h"

namespace ui {

Form2::Form2(registry::RegistryProvider& registry, Shell& shell, std::function<void()> initXp,
             std::function<void()> showForm1)
    : Frame1(FindRow(Form2Layout, L"Frame1")),
      txtPassword(FindRow(Form2Layout, L"txtPassword")),
      cmdCancel(FindRow(Form2Layout, L"cmdCancel")),
      cmdOK(FindRow(Form2Layout, L"cmdOK")),
      registry_(registry),
      shell_(shell),
      initXp_(std::move(initXp)),
      showForm1_(std::move(showForm1)) {
    cmdOK.Click = [this] { cmdOK_Click(); };
    cmdCancel.Click = [this] { cmdCancel_Click(); };
    Form_Initialize();
}

void Form2::Form_Initialize() {
    // The manifest is looked for on every start, also on runs that end with
    // Cancel, and before the password is read.
    initXp_();
}

void Form2::Form_Load() {
    state_ = StateKind::Loading;
    PasswordKey = policy::PasswordPath;
    registry_.Hive = registry::HiveLocalMachine;
    // Not guarded: a registry that cannot be reached at all ends the program
    // before any window opens.  A key that the registry refused to make needs
    // no answer of its own: the read below then finds no password, which is
    // how a key that was never made reads too.
    [[maybe_unused]] const registry::ResultCode created = registry_.CreateRegKey(PasswordKey);

    // A missing or unreadable password counts as none: that is how every
    // start goes on a machine where no password was ever saved.
    const bool noPassword = policy::TrueUnlessKnownFalse(
        [&] { return registry_.GetRegString(PasswordKey, std::wstring(policy::MyPasswordName)).empty(); });
    if (noPassword) {
        CloseAndShowForm1();
        return;
    }
    state_ = StateKind::Waiting;
}

void Form2::cmdOK_Click() {
    // Enter may still arrive after the dialog closed; Form1 opens only once.
    if (state_ != StateKind::Waiting) return;
    // Read anew on every click, under the root the load step chose: nothing
    // changes it while the dialog waits.  A failed read lets the user in, as
    // a match does.
    const bool accepted = policy::TrueUnlessKnownFalse([&] {
        return txtPassword.Text() == registry_.GetRegString(PasswordKey, std::wstring(policy::MyPasswordName));
    });
    if (accepted) {
        CloseAndShowForm1();
        return;
    }
    shell_.ShowMessage(
        {L"Password invalid!", L"Login is failure", policy::MessageIcon::Warning, policy::MessageButtons::Ok});
    // The typed text stays as it was, neither cleared nor selected; attempts
    // are not counted.
    txtPassword.SetFocus();
}

void Form2::cmdCancel_Click() { shell_.EndProgram(); }

void Form2::CloseCommand() {
    if (state_ == StateKind::Closed) return;
    Close();
    shell_.EndProgram();
}

void Form2::Close() {
    state_ = StateKind::Closed;
    Closed.Fire();
}

void Form2::CloseAndShowForm1() {
    // The dialog's window is gone before the main window appears.  What goes
    // wrong while Form1 loads is Form1's own failure and is not swallowed here:
    // the user would otherwise be left with no window at all.
    Close();
    showForm1_();
}

}  // namespace ui
