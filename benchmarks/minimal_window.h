// The one top-level window of the start-up benchmark's yardsticks: a title and
// an OK button that ends it, and a message loop.  Windows only.
//
//   HWND window = benchmark::ShowMinimalWindow(instance, L"ClassName", L"Title", showCommand);
//   if (!window) return 1;
//   return benchmark::RunMessages(window);
#pragma once

#include <windows.h>

namespace benchmark {

// Registers a window class of the yardsticks: the arrow cursor, the button
// face behind, no icon.  False when the platform refuses it.
bool RegisterPlainClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure);

// Registers the class, makes the window and shows it; nullptr when the
// platform refuses either.  startup_benchmark looks the window up by its title.
HWND ShowMinimalWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title, int showCommand);

// Runs the thread's messages until the window is closed; the exit code.
int RunMessages(HWND window);

}  // namespace benchmark
