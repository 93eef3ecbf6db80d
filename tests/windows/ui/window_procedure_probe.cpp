// Whatever escapes a window's handler is reported and ends the program with
// exit code 1; it never unwinds through the system's frames of the window
// procedure.  The probe starts a copy of itself whose handler throws, and
// checks how that copy ended.  Run without a display, the report's box cannot
// show and returns at once, as a user's OK would.
#include <windows.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "tests/support/win32/window_input.h"
#include "ui/win32/base_window.h"

namespace {

constexpr UINT ThrowingMessage = WM_APP + 7;

class ThrowingWindow : public ui::BaseWindow<ThrowingWindow> {
public:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == ThrowingMessage) throw std::runtime_error("a handler failed");
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
};

int RunThrowingWindow() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ThrowingWindow::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuelvaneThrowingWindow";
    if (!RegisterClassExW(&windowClass)) return 10;
    ThrowingWindow window;
    if (!CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                         &window))
        return 11;
    SendMessageW(window.Hwnd(), ThrowingMessage, 0, 0);
    return 0;  // the failure was swallowed: no report, no end
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1 && std::wstring(argv[1]) == L"--throw") return RunThrowingWindow();

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --throw";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("could not start the throwing copy\n");
        return 2;
    }
    const auto limit = window_input::OnThisHost(std::chrono::seconds(30));
    const DWORD waited = WaitForSingleObject(process.hProcess, static_cast<DWORD>(limit.count()));
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (waited != WAIT_OBJECT_0) {
        std::printf("the throwing copy did not end within %d s\n", static_cast<int>(limit.count() / 1000));
        return 3;
    }
    std::printf("the throwing copy ended with exit code %lu (1 expected: reported, then ended)\n",
                static_cast<unsigned long>(exitCode));
    return exitCode == 1 ? 0 : 1;
}
