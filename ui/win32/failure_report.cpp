#include "ui/win32/failure_report.h"

#include <windows.h>

#include <string>

#include "ui/failure_text.h"

namespace ui {

namespace {

bool reporting = false;

[[noreturn]] void ShowAndEnd(const std::wstring& text) noexcept {
    reporting = true;
    // A quit already asked for (the main window's end, while the failure
    // unwound the windows) would end the box's modal loop at once, before
    // anyone saw it.  The program ends after the box anyway.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    // Without a window of the program the box must still come to the front.
    HWND owner = GetActiveWindow();
    const UINT withoutOwner = owner ? 0u : MB_SETFOREGROUND | MB_TASKMODAL;
    MessageBoxW(owner, text.c_str(), L"Quelvane 2", MB_OK | MB_ICONWARNING | withoutOwner);
    // Not ExitProcess: the failure may have come while the WMI warm-up thread
    // was inside the service's libraries, whose unloading could then wait for
    // a lock that the killed thread holds (Microsoft's ExitProcess page).
    // Nothing is left to save or release after a failure nobody handled.
    TerminateProcess(GetCurrentProcess(), 1);
    __builtin_unreachable();
}

}  // namespace

bool ReportingUnhandledFailure() noexcept { return reporting; }

void ReportUnhandledFailure() noexcept {
    std::wstring text = UnknownFailureText();
    try {
        throw;
    } catch (const std::exception& failure) {
        try {
            text = FailureText(failure);
        } catch (...) {}
    } catch (...) {}
    ShowAndEnd(text);
}

}  // namespace ui
