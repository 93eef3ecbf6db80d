// Quelvane 2.exe: the program starts by creating the login dialog; everything
// else follows from the dialog's and the main window's handlers.  Windows only.
#include <windows.h>

#include <objbase.h>

#include <optional>
#include <string>
#include <tuple>

#include "registry/win32/wmi_os_version.h"
#include "registry/win32/wmi_registry_provider.h"
#include "resource_ids.h"
#include "styles/win32/manifest_file_system_win32.h"
#include "ui/win32/failure_report.h"
#include "ui/win32/program_windows.h"
#include "ui/win32/shell_win32.h"
#include "win32/dll_search.h"
#include "win32/signed_in_user.h"
#include "win32/wmi_connection.h"

namespace {

// How long the end of the program waits for the WMI warm-up, of the two
// seconds in which it ends once asked.
constexpr DWORD WarmUpEndLimitMs = 1000;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // Before anything can load a DLL: none may come from the folder that the
    // program was started from (a Downloads folder, say).
    win32::LimitDllSearch();
    // COM, once, for this thread and the program's life: the registry
    // provider, the version probe and the log-off all assume it.  Should the
    // join fail, every WMI call reports its own failure.  Then the process's
    // security, which COM takes only before the first marshalled call; should
    // it be refused, every WMI connection still sets its own proxy blanket.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::ignore = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                       RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    int exitCode = 0;
    try {
        registry::WmiRegistryProvider registryProvider;
        registry::WmiOsVersionProbe versionProbe;
        // Before the first WMI call: the log-off's privilege (shell_win32.h).
        ui::ShellWin32 shell;
        // "Current user" is the person at this desktop, also where the program
        // runs as another account (signed_in_user.h): their hive, their log-off.
        const std::optional<std::wstring> signedIn = win32::SignedInElsewhere(win32::SystemAccountSources());
        registryProvider.CurrentUserSid = signedIn;
        shell.SignedInUserIsAnotherAccount(signedIn.has_value());
        // The first WMI connection's one-time cost runs alongside the making of
        // the login dialog, before its load connects.
        win32::WmiWarmUp warmUp(registry::WmiRegistryProvider::LocalNamespace,
                                registry::WmiRegistryProvider::ProviderClass);

        // The program ends here, through WM_QUIT, whoever asks: the main
        // window's end, the login's Cancel and close box, the log-off.  Not
        // by ExitProcess, which would kill the warm-up thread wherever it is,
        // inside the service's libraries too, and leave their unloading to
        // locks that thread may hold (Microsoft's ExitProcess page).
        exitCode = ui::RunProgramWindows(
            registryProvider, versionProbe, shell, [] { styles::InitXp(); }, IDI_QUELVANE, showCommand);

        // The windows are gone.  A warm-up still inside the service (one slow
        // to start, or that never answers) is waited for only so long: the
        // user asked the program to end, and it ends within two seconds.  Past
        // that, TerminateProcess ends it where it stands.  That is safe: every
        // registry change went to the service and was answered before its
        // click returned, no file is open for writing, and the service keeps
        // no state of this process's that needs a goodbye.  TerminateProcess,
        // unlike ExitProcess, runs no DLL's unloading, so no lock that the
        // thread holds inside the service's libraries can be waited for.
        if (!warmUp.Ended(WarmUpEndLimitMs)) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    } catch (...) {
        // The boundary of what runs outside any window procedure (whose own
        // is base_window.h's): the windows' creation and first showing, with
        // the loads and activations that run in them.
        ui::ReportUnhandledFailure();
    }
    // Every COM object of the program has gone with the block above, and
    // the warm-up thread has been waited for.
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
