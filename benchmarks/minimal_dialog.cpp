// The yardstick of the start-up benchmark: about the least a Win32 GUI program
// does before its window is up, one top-level window with a title and a
// button, and a message loop.  Closing the window ends it.  Windows only.
#include <windows.h>

namespace {

const wchar_t ClassName[] = L"QuelvaneBenchmarkMinimalDialog";
// startup_benchmark looks the window up by this title.
const wchar_t Title[] = L"Minimal Dialog";
const int OkButton = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == OkButton) DestroyWindow(window);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    if (!RegisterClassExW(&windowClass)) return 1;

    HWND window = CreateWindowExW(0, ClassName, Title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 240, 120, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    if (!CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 80, 40, 75, 23,
                         window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(OkButton)), instance, nullptr))
        return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
