// Windows only: the thread's message loop.  Each message passes the dialog
// manager of its top-level window first, so Tab, Shift+Tab, Enter and the
// arrow keys work in every window, as in a dialog.
#pragma once

namespace ui {

// Runs the thread's messages until WM_QUIT and returns its exit code.
int RunMessageLoop();

// Handles the messages that are waiting, without blocking, as RunMessageLoop
// would; false once WM_QUIT was among them.  For tests that drive a window.
bool DispatchPendingMessages();

}  // namespace ui
