// The login dialog's controls, as data.  All four are children of the dialog
// itself: the text box lies inside the frame's rectangle and is drawn in front
// of it, but the frame contains nothing.
//
// What the table cannot say and the Win32 layer must do: the dialog has a
// fixed border and the system's default position; Enter presses cmdOK unless
// cmdCancel has the focus; no button answers Escape.
#pragma once

#include "ui/layout.h"

namespace ui {

// One row per control, to be read against the design.
// clang-format off
inline constexpr LayoutRow Form2Rows[] = {
    {.name = L"Frame1", .kind = ControlKind::Frame,
     .left = 120, .top = 120, .width = 2655, .height = 855, .tabIndex = 0, .text = L"Password required",
     .labelFor = L"txtPassword"},
    {.name = L"txtPassword", .kind = ControlKind::TextBox,
     .left = 240, .top = 480, .width = 2415, .height = 285, .tabIndex = 1, .text = L"",
     .password = true, .inputMethodDisabled = true},
    {.name = L"cmdCancel", .kind = ControlKind::Button,
     .left = 120, .top = 1080, .width = 1215, .height = 375, .tabIndex = 2, .text = L"Cancel"},
    {.name = L"cmdOK", .kind = ControlKind::Button,
     .left = 1560, .top = 1080, .width = 1215, .height = 375, .tabIndex = 3, .text = L"OK",
     .defaultButton = true},
};
// clang-format on

inline constexpr WindowLayout Form2Layout{
    .name = L"Form2", .caption = L"Quelvane 2 - Login", .clientWidth = 2895, .clientHeight = 1575, .rows = Form2Rows};

}  // namespace ui
