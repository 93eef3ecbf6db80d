// Windows only: how a real control stands for its model, one row per kind of
// control.  A row says which window class the kind is made of and with which
// styles, whether it is a stop of the tab order, which notification carries
// the user's input, and how the control shows its model and hands that input
// back.
//
// A new kind of control takes its enumerator in ControlKind (ui/layout.h),
// its model class (ui/controls.h) and its row here, in the enumerator's place.
// LayoutWindow (layout_window.cpp) has branches of its own for three kinds:
// frames (behind the other controls, and greying what they hold), labels
// (their colour from the model) and the timer (no window, its ticks); a kind
// like one of those needs its branch there too.
//
// Usage (LayoutWindow does this for every row of its layout):
//   const ui::ControlKindRow& kind = ui::KindRow(row.kind);
//   DWORD style = WS_CHILD | WS_VISIBLE | kind.style(row) | (kind.tabStop ? WS_TABSTOP : 0);
//   CreateWindowExW(kind.exStyle, kind.className, ..., style, ...);
//   kind.prepare(hwnd, row);                // once, after creation
//   kind.fit(hwnd, rect);                   // once its font and place are set, and after each new resolution
//   kind.sync(bound, window);               // after every change of the model
//   if (code == kind.inputNotification) kind.input(bound);   // WM_COMMAND from the control
#pragma once

#include <windows.h>

#include "ui/controls.h"
#include "ui/layout.h"

namespace ui {

// A layout row, its model and its real control.
struct BoundControl {
    const LayoutRow* row = nullptr;
    ControlModel* model = nullptr;
    HWND hwnd = nullptr;  // null for the timer, and once the window is gone
    int id = 0;           // the control's id; the timer's id at its window
    bool timerSet = false;
};

// BN_CLICKED is 0: "none" needs a value of its own.
inline constexpr int NoInputNotification = -1;

// The table writes its rows with designated initializers.  A field with a
// default here may be left out: no extended style, the row's own height, no
// tab stop, no input, and nothing to prepare, fit, show or hand back.
struct ControlKindRow {
    ControlKind kind;
    const wchar_t* className;  // null: no window of its own (the timer)
    // The row's styles beyond WS_CHILD | WS_VISIBLE and the tab stop.  WS_GROUP
    // is among them: every control starts a group of its own, but for the
    // later members of an option array.
    DWORD (*style)(const LayoutRow& row);
    DWORD exStyle = 0;
    int createdHeight = 0;  // pixels at 96 DPI the control is made with; 0 for the row's own height
    bool tabStop = false;   // made a stop of the tab order (option buttons decide that in their sync)
    int inputNotification = NoInputNotification;  // the WM_COMMAND code that carries user input
    // What the class needs after creation beyond its styles.
    void (*prepare)(HWND control, const LayoutRow& row) = [](HWND, const LayoutRow&) {};
    // Fits the control to the row's place, rect, once its font and place are
    // set: after creation and after every change of resolution.
    void (*fit)(HWND control, const RECT& rect) = [](HWND, const RECT&) {};
    // Shows the model's state in the control; window is the control's parent.
    void (*sync)(BoundControl& control, HWND window) = [](BoundControl&, HWND) {};
    // Hands the control's user input to the model.
    void (*input)(const BoundControl& control) = [](const BoundControl&) {};
};

const ControlKindRow& KindRow(ControlKind kind);

}  // namespace ui
