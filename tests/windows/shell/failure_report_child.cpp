// A program that fails before any window exists, the way start-up can: its
// failure goes to the unhandled-failure report.  "registry" raises a registry
// failure, "unknown" something that is no std::exception.
#include <windows.h>

#include <cwchar>

#include "registry/registry_provider.h"
#include "ui/win32/failure_report.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    // As WinMain's boundary catches it.
    try {
        if (std::wcsstr(commandLine, L"registry"))
            throw registry::RegistryFailure(L"CreateRegKey", registry::HiveLocalMachine, L"Software\\Ploz\\psw", L"",
                                            L"0x80041003 Access denied");
        throw 42;
    } catch (...) {
        ui::ReportUnhandledFailure();
    }
    return 0;  // not reached: the report ends the program
}
