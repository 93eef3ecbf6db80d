// Works the real Quelvane 2.exe from another process, as a user at the screen
// would: a copy of the program in a folder of its own, its windows found by
// title, its controls found where the layout draws them, characters typed one
// by one, buttons clicked, list items chosen, message boxes read and answered.
//
// Usage:
//   e2e::ProgramCopy copy;                          // the built program, copied
//   e2e::RunningProgram program(copy.Executable());
//   HWND form1 = program.WaitForWindow(L"Quelvane 2");
//   e2e::Click(e2e::Control(form1, ui::Form1Layout, L"cmdAbout"));
//   e2e::MessageBoxView about = program.WaitForMessageBox(L"About Quelvane 2");
//   e2e::Answer(about, IDNO);
//
// Every wait polls against a deadline (the limit as this host needs it,
// window_input::OnThisHost) and raises WaitFailure with a sentence that names
// what did not happen; nothing sleeps blindly.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ui/layout.h"

namespace e2e {

inline constexpr std::chrono::milliseconds Patience{20000};

class WaitFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Polls until the condition holds or the time is up; whether it held.
[[nodiscard]] bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = Patience);

std::string Narrow(std::wstring_view text);

// The built program copied into a new folder under the temporary folder, so
// that the manifest it writes next to itself belongs to this copy alone.  The
// folder stays: the test's Wine prefix is thrown away after the run.
class ProgramCopy {
public:
    ProgramCopy();
    const std::wstring& Folder() const { return folder_; }
    const std::wstring& Executable() const { return executable_; }
    // Where Windows looks for the copy's application manifest.
    std::wstring Manifest() const { return folder_ + L"\\Quelvane 2.exe.manifest"; }

private:
    std::wstring folder_;
    std::wstring executable_;
};

// A message box of the program as the user sees it.
struct MessageBoxView {
    HWND hwnd = nullptr;
    std::wstring text;
    std::vector<int> buttons;  // IDOK, IDYES, IDNO, ... in the order of their ids
};

// One start of the program.  A program still running when the object goes is
// ended, so that the Wine server of the test can end too.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& executable);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool HasEnded() const;
    // The exit code once the program has ended within the limit.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds limit = Patience) const;

    // The program's visible top-level window of exactly this title, or nullptr.
    HWND VisibleWindow(std::wstring_view title, std::wstring_view className = {}) const;
    HWND WaitForWindow(std::wstring_view title) const;
    MessageBoxView WaitForMessageBox(std::wstring_view title) const;
    // The control that has the keyboard focus in the program's user-interface thread.
    HWND FocusOf(HWND window) const;
    // Where the window's thread has its active window and focus, in words.
    std::string DescribeFocus(HWND window) const;
    // The full path of the DLL of this file name (any case) that the program
    // has loaded, or "" when it has none; raises when the program's modules
    // cannot be listed.
    std::wstring LoadedModule(std::wstring_view fileName) const;

private:
    PROCESS_INFORMATION process_{};
};

// A hidden top-level window of the driver, on a thread of its own that does
// nothing but answer its messages: any other program's window, as a broadcast
// reaches it.  Counts the WM_SETTINGCHANGE messages that announce a policy
// change as an application sends it: wParam 0, lParam "Policy".
class PolicyChangeListener {
public:
    PolicyChangeListener();
    ~PolicyChangeListener();
    PolicyChangeListener(const PolicyChangeListener&) = delete;
    PolicyChangeListener& operator=(const PolicyChangeListener&) = delete;

    int Notices() const { return notices_; }

private:
    static DWORD WINAPI Run(void* self);
    static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::atomic<int> notices_{0};
    HWND window_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

// The child of a window that the layout row describes: the one of the row's
// window class drawn at the row's place, at the screen's resolution.
HWND Control(HWND window, const ui::WindowLayout& layout, std::wstring_view name, int member = ui::NoMember);

bool IsChecked(HWND button);
bool IsEnabled(HWND hwnd);

// Keyboard input as an edit box receives it from the keyboard: one character
// message per character, each answered before the next.
void TypeText(HWND edit, std::wstring_view text);
// Selects all of the box's text and deletes it with Backspace.
void ClearText(HWND edit);
// A mouse click on a button, check box or option button.  Returns at once,
// also when the click opens a modal message box, yet stays in order with the
// messages that the driver sends afterwards.
void Click(HWND button);
// What a user's choice in a drop-down list amounts to: the item selected and
// the list's selection-change notice to its parent.
void Choose(HWND list, std::wstring_view item);
// The close command of the window's system menu.
void Close(HWND window);
// Presses one of the message box's buttons.
void Answer(const MessageBoxView& box, int buttonId);

}  // namespace e2e
