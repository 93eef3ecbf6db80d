// Working a window from a test: finding a layout row's control, reading a
// control's text and class, pressing a key, and running this thread's
// messages as the program's loop does while waiting.  TextOf and ClassOf read
// another program's windows too.  Every time limit that a test sets passes
// through OnThisHost, which the build stretches where Windows code runs under
// an emulator.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <algorithm>
#include <cwctype>
#include <string>
#include <string_view>
#include <vector>

#include "text/utf.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/win32/layout_window.h"

namespace window_input {

// A time limit as this host needs it: the limit on a host that runs the code
// natively, times QUELVANE_WAIT_FACTOR (1 when unset), which the build sets
// where 32-bit Wine runs under qemu.  Raises std::runtime_error for a factor
// that is not a whole number from 1 to 99.
inline std::chrono::milliseconds OnThisHost(std::chrono::milliseconds limit) {
    static const int factor = [] {
        wchar_t text[4] = {};
        const DWORD length = GetEnvironmentVariableW(L"QUELVANE_WAIT_FACTOR", text, 4);
        if (length == 0) return 1;
        const int value = length < 3 && wcsspn(text, L"0123456789") == length ? _wtoi(text) : 0;
        if (value < 1) throw std::runtime_error("QUELVANE_WAIT_FACTOR must be a whole number from 1 to 99");
        return value;
    }();
    return limit * factor;
}

// The control that a row of the layout made in the window, found as the
// dialog manager finds it, by its id; null for the timer, or before the
// window made its controls.
inline HWND ControlOf(HWND window, const ui::WindowLayout& layout, std::wstring_view name, int member = ui::NoMember) {
    const ui::LayoutRow& row = ui::FindRow(layout, name, member);
    return GetDlgItem(window, ui::FirstControlId + static_cast<int>(&row - layout.rows.data()));
}

// Raises std::runtime_error when the window's thread does not answer within 5 s
// (on this host).
inline std::wstring TextOf(HWND hwnd) {
    const auto send = [hwnd](UINT message, WPARAM wParam, LPARAM lParam) {
        const auto limit = OnThisHost(std::chrono::seconds(5));
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, static_cast<UINT>(limit.count()), &result))
            throw std::runtime_error("a window did not tell its text within " + std::to_string(limit.count() / 1000) +
                                     " s");
        return static_cast<std::size_t>(result);
    };
    const std::size_t length = send(WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(length + 1, L'\0');
    text.resize(std::min(send(WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())), length));
    return text;
}

// A window's class name in lower case: the system's own classes are spelt
// differently from one version to another ("Button", "BUTTON").
inline std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    std::wstring lower(name);
    for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
    return lower;
}

// The class, as ClassOf gives it, of the control that a layout row of this kind makes.
inline std::wstring ExpectedClass(ui::ControlKind kind) {
    switch (kind) {
    case ui::ControlKind::Label: return L"static";
    case ui::ControlKind::TextBox: return L"edit";
    case ui::ControlKind::ComboList: return L"combobox";
    case ui::ControlKind::ProgressBar: return L"msctls_progress32";
    default: return L"button";
    }
}

// The name that Active Accessibility gives a text box or a list: the nearest static before it in the
// Z order, looking no further back than a control with both WS_GROUP and WS_TABSTOP; empty for none.
inline std::wstring AccessibleName(HWND control) {
    for (HWND sibling = GetWindow(control, GW_HWNDPREV); sibling; sibling = GetWindow(sibling, GW_HWNDPREV)) {
        if (ClassOf(sibling) == L"static") return TextOf(sibling);
        if ((GetWindowLongW(sibling, GWL_STYLE) & (WS_GROUP | WS_TABSTOP)) == (WS_GROUP | WS_TABSTOP)) break;
    }
    return L"";
}

// What a window lays out, a line each: its size, every control's font and place (a list's field and
// item heights too), its tooltip's font.
inline std::vector<std::string> LayoutOf(HWND window, const ui::WindowLayout& layout) {
    const auto fontOf = [](HWND hwnd) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
        return " font " + std::to_string(font.lfHeight) + " " + std::to_string(font.lfWeight);
    };
    RECT rect;
    GetWindowRect(window, &rect);
    std::vector<std::string> lines{std::to_string(rect.right - rect.left) + " " +
                                   std::to_string(rect.bottom - rect.top)};
    for (const ui::LayoutRow& row : layout.rows) {
        HWND control = ControlOf(window, layout, row.name, row.member);
        if (!control) continue;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        std::string line = text::ToUtf8(std::wstring(row.name)) + fontOf(control);
        for (LONG edge : {rect.left, rect.top, rect.right, rect.bottom}) line += " " + std::to_string(edge);
        if (row.kind == ui::ControlKind::ComboList)
            for (WPARAM item : {static_cast<WPARAM>(-1), WPARAM{0}})
                line += " " + std::to_string(SendMessageW(control, CB_GETITEMHEIGHT, item, 0));
        lines.push_back(line);
    }
    HWND tooltip = nullptr;  // a top-level window that the window owns
    do tooltip = FindWindowExW(nullptr, tooltip, L"tooltips_class32", nullptr);
    while (tooltip && GetWindow(tooltip, GW_OWNER) != window);
    lines.push_back("tooltip" + fontOf(tooltip));
    return lines;
}

// Handles this thread's messages until the condition holds or the time is up,
// each through the dialog manager of its top-level window first, as the
// program's loop does; whether it held.
inline bool PumpUntil(const std::function<bool()>& condition, std::chrono::steady_clock::time_point end) {
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Left in the queue for whoever runs the real loop.
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
            if (root && IsDialogMessageW(root, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return true;
}

inline bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    return PumpUntil(condition, std::chrono::steady_clock::now() + OnThisHost(limit));
}

// A pause of this length on every host: not a limit.
inline void PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, std::chrono::steady_clock::now() + time);
}

// A key as the keyboard would deliver it to the focused control of this thread.
inline void PressKey(WPARAM key) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageW(GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    PumpFor(std::chrono::milliseconds(50));
}

}  // namespace window_input
