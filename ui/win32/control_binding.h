// Windows only: how a real control stands for its model, one row per kind of
// control.  A row says which window class the kind is made of and with which
// styles, whether it is a stop of the tab order, which notification carries
// the user's input, and how the control shows its model and hands that input
// back.  Adding a kind of control means adding a row here, nothing else.
//
// Usage (LayoutWindow does this for every row of its layout):
//   const ui::ControlKindRow& kind = ui::KindRow(row.kind);
//   CreateWindowExW(kind.exStyle, kind.className, ..., WS_CHILD | WS_VISIBLE | kind.style(row), ...);
//   kind.prepare(hwnd, row, rect);          // once, after creation
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

struct ControlKindRow {
    ControlKind kind;
    const wchar_t* className;  // null: no window of its own (the timer)
    // The styles of this row beyond WS_CHILD | WS_VISIBLE | WS_GROUP.
    DWORD (*style)(const LayoutRow& row);
    DWORD exStyle;
    int createdHeight;      // pixels the control is made with; 0 for the row's own height
    bool tabStop;           // made a stop of the tab order (option buttons decide that in their sync)
    int inputNotification;  // the WM_COMMAND code that carries user input, or NoInputNotification
    bool (*fits)(ControlModel& model);
    // What the class needs after creation beyond its styles; rect is the row's place.
    void (*prepare)(HWND control, const LayoutRow& row, const RECT& rect);
    // Shows the model's state in the control; window is the control's parent.
    void (*sync)(BoundControl& control, HWND window);
    // Hands the control's user input to the model.
    void (*input)(const BoundControl& control);
};

const ControlKindRow& KindRow(ControlKind kind);

}  // namespace ui
