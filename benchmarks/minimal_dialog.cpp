// The yardstick of the start-up benchmark: about the least a Win32 GUI program
// does before its window is up, one top-level window with a title and a
// button, and a message loop.  Closing the window ends it.  Windows only.
#include <windows.h>

#include "benchmarks/minimal_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // startup_benchmark looks the window up by its title.
    HWND window =
        benchmark::ShowMinimalWindow(instance, L"QuelvaneBenchmarkMinimalDialog", L"Minimal Dialog", showCommand);
    if (!window) return 1;
    return benchmark::RunMessages(window);
}
