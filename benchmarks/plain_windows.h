// The program's two windows made as plainly as Win32 allows, for the start-up
// yardstick that charges the platform's price for them (startup_floor.cpp
// built as startup_floor_windows.exe).  Windows only.
//
//   HWND login = benchmark::CreatePlainLoginWindow(instance);        // hidden, no controls
//   ...                                                              // the login dialog's load
//   DestroyWindow(login);
//   HWND main = benchmark::CreatePlainMainWindow(instance, L"Title", 1);   // hidden, every control
//   ShowWindow(main, showCommand);
//
// The controls are the main window's layout rows, made with CreateWindowExW
// straight from the rows: the same classes, styles, places, font, items and
// checks, none of the program's binding.  Closing the main window ends the
// message loop.  Both return nullptr when the platform refuses a window.
#pragma once

#include <windows.h>

namespace benchmark {

// The login dialog's frame, hidden, as the program keeps it while its load runs.
HWND CreatePlainLoginWindow(HINSTANCE instance);

// The main window with its controls and the system's application icon,
// hidden; startup_benchmark finds it by its title.
HWND CreatePlainMainWindow(HINSTANCE instance, const wchar_t* title);

}  // namespace benchmark
