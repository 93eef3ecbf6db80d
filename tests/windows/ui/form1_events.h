// The main window's events as the program wires them (app/main.cpp), without
// its start-up marks: what the window test and the preview share.
#pragma once

#include <windows.h>

#include "ui/form1.h"
#include "ui/win32/layout_window.h"

inline ui::LayoutWindowEvents Form1Events(ui::Form1& form) {
    return {.load = [&form] { form.Form_Load(); },
            .activated = [&form] { form.Form_Activate(); },
            .destroyed = [] { PostQuitMessage(0); }};
}
