// A program that fails the way start-up can, outside any window procedure:
// its failure goes to the unhandled-failure report.  "registry" raises a
// registry failure before any window exists, "unknown" something that is no
// std::exception, "main window" a failure of the main window's load, which
// runs while the login's load opens it: the unwinding destroys the main
// window, whose end has asked the loop to quit by the time the report shows.
#include <windows.h>

#include <cwchar>
#include <stdexcept>

#include "registry/registry_provider.h"
#include "tests/support/fake_version_probe.h"
#include "tests/support/memory_registry.h"
#include "ui/win32/failure_report.h"
#include "ui/win32/program_windows.h"
#include "ui/win32/shell_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    // As WinMain's boundary catches it.
    try {
        if (std::wcsstr(commandLine, L"registry"))
            throw registry::RegistryFailure(L"CreateRegKey", registry::HiveLocalMachine, L"Software\\Ploz\\psw", L"",
                                            L"0x80041003 Access denied");
        if (std::wcsstr(commandLine, L"main window")) {
            // No password stored: the login's two operations open the main
            // window, whose load fails at its first.
            registry::MemoryRegistry reg;
            int operations = 0;
            reg.WhileAnswering([&] {
                if (++operations > 2) throw std::runtime_error("the main window's load failed");
            });
            FakeVersionProbe probe{L"5.1.2600"};
            ui::ShellWin32 shell;
            ui::RunProgramWindows(
                reg, probe, shell, [] {}, 0, SW_SHOWNORMAL);
        }
        throw 42;
    } catch (...) {
        ui::ReportUnhandledFailure();
    }
    return 0;  // not reached: the report ends the program
}
