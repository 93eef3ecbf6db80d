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

void Form2Window::Start(int showCommand, const std::function<void()>& windowMade) {
    // The dialog exists, hidden, while its load runs, as a loaded form does;
    // it is shown only when the load leaves it waiting for a password, and
    // only then are its controls made.
    window_.Create(LayoutWindow::ContentsAt::FirstShow);
    if (windowMade) windowMade();
    RunReportingFailures([this] { form_.Form_Load(); });
    if (form_.State() == Form2::StateKind::Waiting) window_.Show(showCommand);
}

}  // namespace ui
