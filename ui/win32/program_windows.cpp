#include "ui/win32/program_windows.h"

namespace ui {

LayoutWindowEvents Form1WindowEvents(Form1& form) {
    return {.load = [&form] { form.Form_Load(); },
            // Form_Activate itself runs its step only the first time.
            .activated = [&form] { form.Form_Activate(); },
            // No question on closing: the last window of the program is gone.
            .destroyed = [] { PostQuitMessage(0); }};
}

ProgramWindows::ProgramWindows(registry::RegistryProvider& registry, registry::OsVersionProbe& versionProbe,
                               Shell& shell, std::function<void()> initXp, int iconResourceId)
    : registry_(registry),
      versionProbe_(versionProbe),
      shell_(shell),
      iconResourceId_(iconResourceId),
      login_(registry, shell, std::move(initXp), [this] { ShowForm1(); }),
      loginWindow_(Form2Layout, login_.Controls(),
                   {.load = [this] { login_.Form_Load(); }, .closeCommand = [this] { login_.CloseCommand(); }},
                   iconResourceId) {
    login_.Closed = [this] { loginWindow_.Destroy(); };
}

void ProgramWindows::Start(int showCommand) {
    showCommand_ = showCommand;
    loginWindow_.Create(LayoutWindow::ContentsAt::FirstShow);
    if (login_.State() == Form2::StateKind::Waiting) loginWindow_.Show(showCommand);
}

void ProgramWindows::ShowForm1() {
    if (!form1Window_) {
        form1_ = std::make_unique<Form1>(registry_, versionProbe_, shell_);
        form1Window_ = std::make_unique<LayoutWindow>(Form1Layout, form1_->Controls(), Form1WindowEvents(*form1_),
                                                      iconResourceId_);
        form1Window_->Create();
    }
    form1Window_->Show(showCommand_);
}

}  // namespace ui
