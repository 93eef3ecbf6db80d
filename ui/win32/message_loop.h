// Windows only: the thread's message loop.  Each message passes the dialog
// manager of its top-level window first, so Tab, Shift+Tab, Enter and the
// arrow keys work in every window, as in a dialog.
#pragma once

namespace ui {

// Runs the thread's messages until WM_QUIT and returns its exit code.
int RunMessageLoop();

}  // namespace ui
