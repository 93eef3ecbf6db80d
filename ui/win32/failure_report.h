// Windows only: the report of a failure that reached the top of the program
// unhandled.  One box, with the warning icon, says what failed, then the
// program ends with exit code 1.  Works before any window exists, too, and
// after the last one has gone and asked the message loop to quit: the box
// waits for OK all the same.
//
// Usage, in the catch of each of the program's boundaries (WinMain's and the
// window procedure's, base_window.h):
//   try { ... } catch (...) { ui::ReportUnhandledFailure(); }
#pragma once

namespace ui {

// Inside a catch block: reports the failure being handled, of any type.
[[noreturn]] void ReportUnhandledFailure() noexcept;

// True while the report is on the screen.  Its box runs a modal loop that
// still dispatches the windows' timers: no tick may redraw the window behind
// it, least of all as a success.
bool ReportingUnhandledFailure() noexcept;

}  // namespace ui
