#include "benchmarks/plain_windows.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <string>
#include <vector>

#include "benchmarks/minimal_window.h"
#include "ui/controls.h"
#include "ui/form1_layout.h"
#include "ui/form2_layout.h"
#include "ui/layout.h"
#include "win32/scoped.h"

namespace benchmark {

namespace {

using enum ui::ControlKind;

constexpr wchar_t LoginClass[] = L"QuelvaneBenchmarkPlainLogin";
constexpr wchar_t MainClass[] = L"QuelvaneBenchmarkPlainMain";
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int DroppedListPixels = 200;

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Dpi() {
    const win32::ScreenDc screen;
    return GetDeviceCaps(screen.Get(), LOGPIXELSY);
}

HWND CreateTopLevel(HINSTANCE instance, const wchar_t* className, const ui::WindowLayout& layout,
                    const std::wstring& title, int dpi) {
    RECT frame{0, 0, ui::TwipsToPixels(layout.clientWidth, dpi), ui::TwipsToPixels(layout.clientHeight, dpi)};
    AdjustWindowRectEx(&frame, WindowStyle, FALSE, 0);
    return CreateWindowExW(0, className, title.c_str(), WindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                           frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
}

// The row's class, styles and extended styles, as the program makes them.
struct Made {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle = 0;
};

Made MadeOf(const ui::LayoutRow& row) {
    const DWORD text = row.multiLine ? ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL;
    const DWORD button = row.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    switch (row.kind) {
    case Frame: return {L"BUTTON", BS_GROUPBOX};
    case Label: return {L"STATIC", SS_LEFT};
    case TextBox: return {L"EDIT", text | (row.password ? ES_PASSWORD : 0u) | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case CheckBox: return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP};
    case OptionButton: return {L"BUTTON", BS_AUTORADIOBUTTON};
    case ComboList: return {L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
    case Button: return {L"BUTTON", button | WS_TABSTOP};
    case ProgressBar: return {PROGRESS_CLASSW, 0};
    case Timer: break;
    }
    return {nullptr, 0};
}

bool CreateControls(HWND window, HINSTANCE instance, const ui::WindowLayout& layout, int dpi, HFONT font) {
    // In tab order, the frames last, as the program makes them.
    std::vector<const ui::LayoutRow*> rows;
    for (const ui::LayoutRow& row : layout.rows)
        if (row.kind != Timer) rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(), [](const ui::LayoutRow* a, const ui::LayoutRow* b) {
        if ((a->kind == Frame) != (b->kind == Frame)) return b->kind == Frame;
        return a->tabIndex < b->tabIndex;
    });
    int id = 100;
    for (const ui::LayoutRow* row : rows) {
        int left = row->left, top = row->top;
        if (!row->container.empty()) {
            const ui::LayoutRow& frame = ui::FindRow(layout, row->container);
            left += frame.left;
            top += frame.top;
        }
        const Made made = MadeOf(*row);
        const std::wstring text(row->text);
        const int height = row->kind == ComboList ? DroppedListPixels : ui::TwipsToPixels(row->height, dpi);
        HWND control = CreateWindowExW(made.exStyle, made.className, text.c_str(),
                                       WS_CHILD | WS_VISIBLE | WS_GROUP | made.style, ui::TwipsToPixels(left, dpi),
                                       ui::TwipsToPixels(top, dpi), ui::TwipsToPixels(row->width, dpi), height, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        if (!control) return false;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (!row->enabled) EnableWindow(control, FALSE);
        if (row->checked) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
        if (row->password) SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
        if (row->inputMethodDisabled) ImmAssociateContext(control, nullptr);
        if (row->kind == ComboList) {
            // The closed box takes the row's height, as in the program.
            RECT box;
            GetWindowRect(control, &box);
            const int field = static_cast<int>(SendMessageW(control, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
            const int missing = ui::TwipsToPixels(row->height, dpi) - (box.bottom - box.top);
            if (missing != 0 && field + missing > 0)
                SendMessageW(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + missing);
            for (std::wstring_view item : row->items)
                SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::wstring(item).c_str()));
            SendMessageW(control, CB_SETCURSEL, 0, 0);
        }
        if (row->kind == ProgressBar) SendMessageW(control, PBM_SETRANGE32, row->minimum, row->maximum);
    }
    return true;
}

}  // namespace

HWND CreatePlainLoginWindow(HINSTANCE instance) {
    if (!RegisterPlainClass(instance, LoginClass, DefWindowProcW)) return nullptr;
    return CreateTopLevel(instance, LoginClass, ui::Form2Layout, std::wstring(ui::Form2Layout.caption), Dpi());
}

HWND CreatePlainMainWindow(HINSTANCE instance, const wchar_t* title) {
    if (!RegisterPlainClass(instance, MainClass, MainProc)) return nullptr;
    const int dpi = Dpi();
    HWND window = CreateTopLevel(instance, MainClass, ui::Form1Layout, title, dpi);
    if (!window) return nullptr;
    // The system's application icon stands for the program's own, in both sizes.
    const auto icon = [](int width, int height) {
        return reinterpret_cast<LPARAM>(LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, GetSystemMetrics(width),
                                                   GetSystemMetrics(height), LR_SHARED));
    };
    SendMessageW(window, WM_SETICON, ICON_BIG, icon(SM_CXICON, SM_CYICON));
    SendMessageW(window, WM_SETICON, ICON_SMALL, icon(SM_CXSMICON, SM_CYSMICON));

    // "MS Sans Serif" 8 pt, as the program's; the font lives as long as the process.
    LOGFONTW font{};
    font.lfHeight = -MulDiv(8, dpi, 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    lstrcpynW(font.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
    HFONT made = CreateFontIndirectW(&font);
    if (!made) made = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!CreateControls(window, instance, ui::Form1Layout, dpi, made)) {
        DestroyWindow(window);
        return nullptr;
    }
    return window;
}

}  // namespace benchmark
