// Windows only: the classic BaseWindow pattern.  A static window procedure
// stores the C++ object at creation and forwards every later message to its
// HandleMessage member.  No C++ exception ever leaves the window procedure
// (it would cross the system's own frames): whatever escapes a handler is
// reported as an unhandled failure, which ends the program.  This is the one
// boundary for all that Windows calls on the windows' thread, timers
// (WM_TIMER) included; WinMain's is the other, for what runs outside it.
//
// Usage:
//   class MyWindow : public ui::BaseWindow<MyWindow> {
//   public:
//       LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);  // DefaultProcedure for the rest
//   };
// A class whose messages fall through to another procedure than
// DefWindowProcW (a dialog's DefDlgProcW) declares its own DefaultProcedure.
//   RegisterClassExW with lpfnWndProc = MyWindow::WindowProc, then
//   CreateWindowExW(..., lpParam = static_cast<MyWindow*>(this)).
#pragma once

#include <windows.h>

#include "ui/win32/failure_report.h"

namespace ui {

template <typename Derived>
class BaseWindow {
public:
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    HWND Hwnd() const { return hwnd_; }

    static LRESULT DefaultProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        try {
            return Dispatch(hwnd, message, wParam, lParam);
        } catch (...) {
            ReportUnhandledFailure();
        }
    }

protected:
    BaseWindow() = default;
    // The derived object is gone by now: the handle is detached first, so
    // that the messages of its destruction go to the default procedure.  A derived
    // class that must see WM_DESTROY destroys the window in its own destructor.
    ~BaseWindow() {
        if (!hwnd_) return;
        HWND hwnd = hwnd_;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }

    HWND hwnd_ = nullptr;

private:
    static LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            // The object is known from here on, so WM_NCCREATE and WM_CREATE
            // already reach the member.
            self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self) return Derived::DefaultProcedure(hwnd, message, wParam, lParam);

        const LRESULT result = self->HandleMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            // Messages that still arrive for the dying handle must not reach
            // an object that may be gone.
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        return result;
    }
};

}  // namespace ui
