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
#include "ui/win32/layout_window.h"
#include "ui/win32/shell_win32.h"
#include "win32/wmi_connection.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
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
        std::unique_ptr<ui::LayoutWindow> form1Window;
        auto showForm1 = [&] {
            if (!form1Window) {
                trace.Mark(app::StartupMark::LoginLoad);
                form1 = std::make_unique<ui::Form1>(registryProvider, versionProbe, shell);
                form1Window = std::make_unique<ui::LayoutWindow>(
                    ui::Form1Layout, form1->Controls(),
                    ui::LayoutWindowEvents{.load =
                                               [&] {
                                                   trace.Mark(app::StartupMark::Form1Window);
                                                   form1->Form_Load();
                                               },
                                           // Form_Activate itself runs its step only the first time.
                                           .activated = [&] { form1->Form_Activate(); },
                                           // No question on closing: the last window of the program is gone.
                                           .destroyed = [] { PostQuitMessage(0); }},
                    IDI_QUELVANE);
                form1Window->Create();
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
        // The dialog exists, hidden, while its load runs; it is shown, and
        // only then are its controls made, when the load leaves it waiting
        // for a password.  Its window is gone before the main window appears.
        ui::LayoutWindow loginWindow(ui::Form2Layout, login.Controls(),
                                     {.load =
                                          [&] {
                                              trace.Mark(app::StartupMark::LoginWindow);
                                              login.Form_Load();
                                          },
                                      .closeCommand = [&] { login.CloseCommand(); }},
                                     IDI_QUELVANE);
        login.Closed = [&] { loginWindow.Destroy(); };
        loginWindow.Create(ui::LayoutWindow::ContentsAt::FirstShow);
        if (login.State() == ui::Form2::StateKind::Waiting) loginWindow.Show(showCommand);
        const int exitCode = ui::RunMessageLoop();
        trace.Write();
        return exitCode;
    } catch (...) {
        ui::ReportUnhandledFailure();
    }
}
