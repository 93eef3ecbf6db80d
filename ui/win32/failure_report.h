// Windows only: the report of a failure that reached an event handler
// unhandled.  One error box says what failed, then the program ends with exit
// code 1.  Works before any window exists, too.
//
// Usage, at the top of every event handler and around the start-up:
//   ui::RunReportingFailures([&] { form.Form_Load(); });
//   try { ... } catch (...) { ui::ReportUnhandledFailure(); }
#pragma once

#include <exception>

namespace ui {

[[noreturn]] void ReportUnhandledFailure(const std::exception& failure) noexcept;
// Inside a catch block: reports the failure being handled, of any type.
[[noreturn]] void ReportUnhandledFailure() noexcept;

// True while the report is on the screen.  Its box runs a modal loop that
// still dispatches the windows' timers: no tick may redraw the window behind
// it, least of all as a success.
bool ReportingUnhandledFailure() noexcept;

// Runs the handler; whatever escapes it is reported and ends the program, so
// that no C++ exception ever crosses a window procedure.
template <typename Handler>
void RunReportingFailures(Handler&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        ReportUnhandledFailure();
    }
}

}  // namespace ui
