#include "ui/win32/failure_report.h"

#include <windows.h>

#include <string>

#include "ui/failure_text.h"

namespace ui {

namespace {

bool reporting = false;

[[noreturn]] void ShowAndEnd(const std::wstring& text) noexcept {
    reporting = true;
    // Without a window of the program the box must still come to the front.
    HWND owner = GetActiveWindow();
    const UINT withoutOwner = owner ? 0u : MB_SETFOREGROUND | MB_TASKMODAL;
    MessageBoxW(owner, text.c_str(), L"Quelvane 2", MB_OK | MB_ICONWARNING | withoutOwner);
    ExitProcess(1);
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
