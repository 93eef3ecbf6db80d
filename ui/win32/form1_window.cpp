#include "ui/win32/form1_window.h"

#include "ui/win32/failure_report.h"

namespace ui {

Form1Window::Form1Window(Form1& form, int iconResourceId)
    : form_(form),
      window_(
          Form1::Layout(),
          [&form](const LayoutRow& row) -> ControlModel& { return form.Control(row.name, row.member); },
          LayoutWindowEvents{
              // Form_Activate itself runs its step only the first time.
              .activated = [&form] { form.Form_Activate(); },
              // No question on closing: the last window of the program is gone.
              .destroyed = [] { PostQuitMessage(0); },
          },
          iconResourceId) {}

void Form1Window::Create(const std::function<void()>& windowMade) {
    window_.Create();
    if (windowMade) windowMade();
    RunReportingFailures([this] { form_.Form_Load(); });
}

void Form1Window::Show(int showCommand) {
    window_.Show(showCommand);
    // Shown without being activated (SW_SHOWNOACTIVATE, another program in
    // front): the window is still the freshly shown one.
    RunReportingFailures([this] { form_.Form_Activate(); });
}

}  // namespace ui
