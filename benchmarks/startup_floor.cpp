// The floor of the start-up benchmark: a minimal window that does the start-up
// work the platform asks of Quelvane 2 and nothing of the program's own making.
// Windows only; startup_benchmark starts it next to the program.  The WMI and
// registry calls are written out plainly (benchmarks/bare_std_reg_prov.h and
// the version query below), not through the program's helpers, so that the
// floor does not grow with them.
//
// The work, in the program's order, on a machine where nothing was saved yet:
// - COM on this thread with the security that the program sets;
// - the common controls' progress bar and tooltip classes;
// - the login dialog's load: CreateKey of the password key, then the password
//   read, each StdRegProv call on a connection of its own;
// - the main window's load: the seven reads that its load makes when nothing
//   is stored, again each on a fresh connection (where the platform's
//   StdRegProv has no GetDWORDValue, a number is read as the program reads
//   it: the connection and the class first, then the registry API);
// - two Win32_OperatingSystem queries, one for the load, one for the first
//   activation, each on its own connection;
// - one top-level window with a button, shown.
// Built as startup_floor_windows.exe (QUELVANE_FLOOR_PROGRAM_WINDOWS), it
// makes the program's two windows plainly instead, where the program makes
// them (benchmarks/plain_windows.h): the login dialog's frame, hidden, before
// the login's load and gone after it, then the main window with every
// control before the main window's load.  That is the floor plus the
// platform's price for those windows; what the program takes beyond it is
// the program's own.
// startup_benchmark writes the program's manifest next to this executable, so
// the same common controls load.  Closing the window ends it with code 0; a
// failed step ends it with code 1 before any window is shown.  It passes the
// program's start-up marks that fit its steps (QUELVANE_STARTUP_TRACE).
#include <windows.h>
#include <commctrl.h>
#include <wbemidl.h>
#include <wrl/client.h>

#include <string>
#include <tuple>

#include "benchmarks/startup_trace.h"
#include "benchmarks/bare_std_reg_prov.h"
#include "benchmarks/minimal_window.h"
#include "benchmarks/plain_windows.h"
#include "policy/policy_keys.h"
#include "registry/registry_provider.h"
#include "tests/support/win32/com.h"
#include "win32/scoped.h"

using Microsoft::WRL::ComPtr;

namespace {

#ifdef QUELVANE_FLOOR_PROGRAM_WINDOWS
constexpr bool WithProgramWindows = true;
constexpr wchar_t Title[] = L"Startup Floor Windows";
#else
constexpr bool WithProgramWindows = false;
constexpr wchar_t Title[] = L"Startup Floor";
#endif

// One version query as plainly as it can be written: its own connection, the
// query, the Version of every instance.  Empty when any step fails.
std::wstring QueryVersion() {
    ComPtr<IWbemLocator> locator;
    ComPtr<IWbemServices> services;
    ComPtr<IEnumWbemClassObject> instances;
    std::wstring version;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&locator))) ||
        FAILED(locator->ConnectServer(win32::Bstr(L"\\\\.\\root\\cimv2").Get(), nullptr, nullptr, nullptr, 0, nullptr,
                                      nullptr, &services)) ||
        FAILED(CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                 RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)) ||
        FAILED(services->ExecQuery(win32::Bstr(L"WQL").Get(), win32::Bstr(L"Select * from Win32_OperatingSystem").Get(),
                                   WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr, &instances)))
        return version;
    for (;;) {
        ComPtr<IWbemClassObject> instance;
        ULONG delivered = 0;
        if (FAILED(instances->Next(WBEM_INFINITE, 1, &instance, &delivered)) || delivered == 0) break;
        win32::Variant value;
        if (SUCCEEDED(instance->Get(L"Version", 0, value.Out(), nullptr, nullptr)) && value->vt == VT_BSTR &&
            value->bstrVal)
            version.assign(value->bstrVal, SysStringLen(value->bstrVal));
    }
    return version.substr(0, 8);
}

// The login dialog's registry work: CreateKey of the password key, then the
// password read; raises BareFailure when a call fails or a password is stored.
void LoadLoginLikeTheProgram(const benchmark::BareStdRegProv& bare, benchmark::StartupTrace& trace) {
    const std::wstring passwordKey(policy::PasswordPath);
    bare.CreateKey(registry::HiveLocalMachine, passwordKey);
    trace.Mark(benchmark::StartupMark::FirstWmi);
    if (bare.ReadStringValue(registry::HiveLocalMachine, passwordKey, std::wstring(policy::MyPasswordName))
            .value_or(L"") != L"")
        throw benchmark::BareFailure("a password is stored: the program would wait in its login dialog");
    trace.Mark(benchmark::StartupMark::LoginLoad);
}

// The main window's registry work and the first version query; raises
// BareFailure when a call fails.
void LoadMainLikeTheProgram(const benchmark::BareStdRegProv& bare, benchmark::StartupTrace& trace) {
    using registry::HiveCurrentUser;
    using registry::HiveLocalMachine;
    const std::wstring settingsKey(policy::SettingsPath);
    const std::wstring explorerKey(policy::ExplorerPolicyPath);
    const std::wstring systemKey(policy::SystemPolicyPath);
    const std::wstring mode(policy::SecurityModeName);

    // The security mode, asked twice when it is neither 0 nor 1, the scope and
    // the password, then, for the current user, both options and the drive
    // mask under the value name that no stored mode chose.
    for (int ask = 0; ask < 2; ++ask) bare.ReadDwordValue(HiveLocalMachine, settingsKey, mode);
    bare.ReadStringValue(HiveLocalMachine, settingsKey, std::wstring(policy::RestrictionName));
    bare.ReadStringValue(HiveLocalMachine, std::wstring(policy::PasswordPath), std::wstring(policy::MyPasswordName));
    bare.ReadDwordValue(HiveCurrentUser, explorerKey, std::wstring(policy::DisallowRunName));
    bare.ReadDwordValue(HiveCurrentUser, systemKey, std::wstring(policy::DisableRegistryToolsName));
    bare.ReadDwordValue(HiveCurrentUser, explorerKey, L"");
    // The version decides nothing here, but an empty one means a failed query.
    if (QueryVersion().empty()) throw benchmark::BareFailure("the version query failed");
    trace.Mark(benchmark::StartupMark::Form1Load);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    benchmark::StartupTrace trace;
    trace.Mark(benchmark::StartupMark::WinMain);
    // COM joined as the program's WinMain joins it.
    const com::Apartment apartment;
    std::ignore = com::InitializeSecurity();
    trace.Mark(benchmark::StartupMark::Com);

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
    if (!InitCommonControlsEx(&controls)) return 1;
    trace.Mark(benchmark::StartupMark::InitXp);

    HWND window = nullptr;
    try {
        const benchmark::BareStdRegProv bare{benchmark::BareStdRegProv::WithoutLookUp{}};
        if constexpr (WithProgramWindows) {
            HWND login = benchmark::CreatePlainLoginWindow(instance);
            if (!login) return 1;
            trace.Mark(benchmark::StartupMark::LoginWindow);
            LoadLoginLikeTheProgram(bare, trace);
            DestroyWindow(login);
            window = benchmark::CreatePlainMainWindow(instance, Title);
            if (!window) return 1;
            trace.Mark(benchmark::StartupMark::Form1Window);
            LoadMainLikeTheProgram(bare, trace);
            ShowWindow(window, showCommand);
            UpdateWindow(window);
        } else {
            LoadLoginLikeTheProgram(bare, trace);
            LoadMainLikeTheProgram(bare, trace);
            window = benchmark::ShowMinimalWindow(instance, L"QuelvaneBenchmarkStartupFloor", Title, showCommand);
            if (!window) return 1;
        }
    } catch (const benchmark::BareFailure&) {
        return 1;
    }

    // The program's first activation asks for the version once more.
    if (QueryVersion().empty()) return 1;
    trace.Mark(benchmark::StartupMark::Shown);

    const int exitCode = benchmark::RunMessages(window);
    trace.Write();
    return exitCode;
}
