#include "benchmarks/minimal_window.h"

namespace benchmark {

namespace {

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

bool RegisterPlainClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass) != 0;
}

HWND ShowMinimalWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title, int showCommand) {
    if (!RegisterPlainClass(instance, className, WindowProc)) return nullptr;

    HWND window = CreateWindowExW(0, className, title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 240, 120, nullptr, nullptr, instance, nullptr);
    if (!window) return nullptr;
    if (!CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 80, 40, 75, 23,
                         window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(OkButton)), instance, nullptr))
        return nullptr;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return window;
}

int RunMessages(HWND window) {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace benchmark
