// Windows only: the GDI and USER owners of the windows, under the names the
// window code knows them by.  They live with the other scoped owners in
// win32/scoped.h.
#pragma once

#include "win32/scoped.h"

namespace ui {

using win32::ScreenDc;
using win32::UniqueFont;
using win32::UniqueIcon;

}  // namespace ui
