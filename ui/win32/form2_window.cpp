#include "ui/win32/form2_window.h"

#include <stdexcept>

#include "text/utf.h"
#include "ui/win32/failure_report.h"

namespace ui {

Form2Window::Form2Window(Form2& form, int iconResourceId)
    : form_(form),
      window_(
          Form2Layout, [&form](const LayoutRow& row) -> ControlModel& { return Model(form, row); },
          LayoutWindowEvents{.closeCommand = [&form] { form.CloseCommand(); }}, iconResourceId),
      closed_(form_.Closed.Subscribe([this] { window_.Destroy(); })) {}

Form2Window::~Form2Window() = default;

ControlModel& Form2Window::Model(Form2& form, const LayoutRow& row) {
    if (row.name == L"Frame1") return form.Frame1;
    if (row.name == L"txtPassword") return form.txtPassword;
    if (row.name == L"cmdCancel") return form.cmdCancel;
    if (row.name == L"cmdOK") return form.cmdOK;
    throw std::logic_error("Form2 has no control " + text::ToUtf8(std::wstring(row.name)));
}

void Form2Window::Start(int showCommand) {
    RunReportingFailures([this] { form_.Form_Load(); });
    // Without a stored password the dialog is never seen: its window is not
    // even made, which spares the start the work of a window nobody sees.
    if (form_.State() != Form2::StateKind::Waiting) return;
    window_.Create();
    window_.Show(showCommand);
}

}  // namespace ui
