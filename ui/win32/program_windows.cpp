#include "ui/win32/program_windows.h"

#include <memory>

#include "ui/form2.h"
#include "ui/win32/message_loop.h"

namespace ui {

LayoutWindowEvents Form1WindowEvents(Form1& form) {
    return {.load = [&form] { form.Form_Load(); },
            // Form_Activate itself runs its step only the first time.
            .activated = [&form] { form.Form_Activate(); },
            // No question on closing: the last window of the program is gone.
            .destroyed = [] { PostQuitMessage(0); }};
}

int RunProgramWindows(registry::RegistryProvider& registry, registry::OsVersionProbe& versionProbe, Shell& shell,
                      std::function<void()> initXp, int iconResourceId, int showCommand) {
    // Each window goes before the models that it shows.
    std::unique_ptr<Form1> form1;
    std::unique_ptr<LayoutWindow> form1Window;
    auto showForm1 = [&] {
        if (!form1Window) {
            form1 = std::make_unique<Form1>(registry, versionProbe, shell);
            form1Window = std::make_unique<LayoutWindow>(Form1Layout, form1->Controls(), Form1WindowEvents(*form1),
                                                         iconResourceId);
            form1Window->Create();
        }
        form1Window->Show(showCommand);
    };
    Form2 login(registry, shell, std::move(initXp), showForm1);
    LayoutWindow loginWindow(Form2Layout, login.Controls(),
                             {.load = [&] { login.Form_Load(); }, .closeCommand = [&] { login.CloseCommand(); }},
                             iconResourceId);
    login.Closed = [&] { loginWindow.Destroy(); };
    loginWindow.Create(LayoutWindow::ContentsAt::FirstShow);
    if (login.State() == Form2::StateKind::Waiting) loginWindow.Show(showCommand);
    return RunMessageLoop();
}

}  // namespace ui
