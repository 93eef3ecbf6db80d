// Answers a message box from a second thread (or another process): waits for
// a dialog box with the given title, notes what it shows and presses a button.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

struct SeenMessageBox {
    bool found = false;
    std::wstring text;
    bool yes = false, no = false, ok = false;  // the buttons shown
    HICON icon = nullptr;                      // the icon shown, as a shared system icon handle
};

class MessageBoxWatch {
public:
    // Starts watching at once; presses `button` (IDYES, IDNO, IDOK) on the box.
    MessageBoxWatch(std::wstring title, int button);
    // Waits for the watch to end (the box answered, or ten seconds gone).
    ~MessageBoxWatch();
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    const SeenMessageBox& Seen();

private:
    struct State;
    static DWORD WINAPI Run(void* state);
    std::unique_ptr<State> state_;
    HANDLE thread_;
};
