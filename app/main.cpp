// Quelvane 2.exe: the program starts by creating the login dialog; everything
// else follows from the dialog's and the main window's handlers.  Windows only.
#include <windows.h>

#include <memory>

#include "app/startup_trace.h"
#include "app/traced_services.h"
#include "registry/win32/wmi_os_version.h"
#include "resource_ids.h"
#include "styles/win32/manifest_file_system_win32.h"
#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/win32/failure_report.h"
#include "ui/win32/form1_window.h"
#include "ui/win32/form2_window.h"
#include "ui/win32/shell_win32.h"
#include "win32/dll_search.h"
#include "win32/wmi_connection.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // Before anything can load a DLL: none may come from the folder that the
    // program was started from (a Downloads folder, say).
    win32::LimitDllSearch();
    app::StartupTrace trace;
    trace.Mark(app::StartupMark::WinMain);
    try {
        // Joins this thread to COM, which the version probe and the log-off
        // use as well.
        app::TracedRegistryProvider registryProvider(trace);
        registry::WmiOsVersionProbe versionProbe;
        // Before the first WMI call: the log-off's privilege (shell_win32.h).
        ui::ShellWin32 shell;
        trace.Mark(app::StartupMark::Com);
        // The first WMI connection's one-time cost runs alongside the making of
        // the login dialog, before its load connects.
        win32::WmiWarmUp warmUp(registry::WmiRegistryProvider::LocalNamespace,
                                registry::WmiRegistryProvider::ProviderClass);

        // The main window is made the first time the login dialog asks for it;
        // closing it ends the message loop and so the program.
        std::unique_ptr<ui::Form1> form1;
        std::unique_ptr<ui::Form1Window> form1Window;
        auto showForm1 = [&] {
            if (!form1Window) {
                trace.Mark(app::StartupMark::LoginLoad);
                form1 = std::make_unique<ui::Form1>(registryProvider, versionProbe, shell);
                form1Window = std::make_unique<ui::Form1Window>(*form1, IDI_QUELVANE);
                form1Window->Create([&] { trace.Mark(app::StartupMark::Form1Window); });
                trace.Mark(app::StartupMark::Form1Load);
            }
            form1Window->Show(showCommand);
            trace.Mark(app::StartupMark::Shown);
        };

        ui::Form2 login(
            registryProvider, shell,
            [&] {
                styles::InitXp();
                trace.Mark(app::StartupMark::InitXp);
            },
            showForm1);
        ui::Form2Window loginWindow(login, IDI_QUELVANE);
        loginWindow.Start(showCommand, [&] { trace.Mark(app::StartupMark::LoginWindow); });
        const int exitCode = ui::RunMessageLoop();
        trace.Write();
        return exitCode;
    } catch (...) {
        ui::ReportUnhandledFailure();
    }
}
