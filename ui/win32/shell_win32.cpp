#include "ui/win32/shell_win32.h"

#include <windows.h>
#include <shellapi.h>
#include <wbemcli.h>
#include <wrl/client.h>
#include <wtsapi32.h>

#include <cstdio>
#include <vector>

#include "text/path.h"
#include "win32/module.h"
#include "win32/scoped.h"
#include "win32/wine.h"
#include "win32/wmi_connection.h"

using Microsoft::WRL::ComPtr;
using win32::Bstr;
using win32::Check;
using win32::FailWithLastError;
using win32::PlatformFailure;
using win32::Variant;

namespace ui {

namespace {

// The executable's folder; a drive's root folder keeps its backslash.
std::wstring ApplicationFolder() { return text::FolderOf(win32::ExecutablePath()); }

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) FailWithLastError(L"WideCharToMultiByte");
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), size, nullptr, nullptr);
    return ansi;
}

// What the "(shutdown)" of a WMI moniker does: the privilege enabled in the
// caller's token, which the service sees through impersonation.
void EnableShutdownPrivilege() {
    win32::Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.Out()))
        FailWithLastError(L"OpenProcessToken");
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        FailWithLastError(L"LookupPrivilegeValueW(SeShutdownPrivilege)");
    // A user without the right gets ERROR_NOT_ALL_ASSIGNED with success: the
    // log-off is then refused through Win32Shutdown's result code, which
    // nobody reads, exactly as with the moniker.
    if (!AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr))
        FailWithLastError(L"AdjustTokenPrivileges");
}

// How long the announcement waits for each window's answer.  A broadcast
// gives every top-level window of the desktop the whole time in turn, so a
// few slow ones add up; SMTO_ABORTIFHUNG skips a hung one at once, and a
// window that answers at all answers a setting change in far less.
constexpr UINT AnnouncementTimeoutMs = 1000;

DWORD WINAPI BroadcastPolicyChange(void*) {
    // wParam 0, as Microsoft asks of an application that sends the message.
    // The literal lives as long as the program; nothing else is shared.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Policy"), SMTO_ABORTIFHUNG,
                        AnnouncementTimeoutMs, &ignored);
    return 0;
}

}  // namespace

ShellWin32::ShellWin32()
    : ShellWin32(win32::RunningOnWine() ? SystemLogOff([] {
          // The system's refusal shows only in the result, like a refusal of
          // Win32Shutdown: not examined, the program ends all the same.
          ExitWindowsEx(EWX_LOGOFF, 0);
      })
                                        : SystemLogOff()) {}

ShellWin32::ShellWin32(SystemLogOff systemLogOff) : systemLogOff_(std::move(systemLogOff)) {
    // Windows' service may keep the caller's token as it stood at the
    // process's first call, so the privilege is enabled now, before any.  A
    // failure here comes back from LogOff, which enables it again.
    try {
        EnableShutdownPrivilege();
    } catch (const win32::PlatformFailure&) {}
}

policy::MessageAnswer ShellWin32::ShowMessage(const policy::MessageBoxRequest& message) {
    UINT style = message.icon == policy::MessageIcon::Warning ? MB_ICONEXCLAMATION : MB_ICONINFORMATION;
    style |= message.buttons == policy::MessageButtons::YesNo ? MB_YESNO : MB_OK;
    int answer = MessageBoxW(GetActiveWindow(), message.text.c_str(), message.title.c_str(), style);
    switch (answer) {
    case IDYES: return policy::MessageAnswer::Yes;
    case IDNO: return policy::MessageAnswer::No;
    case IDOK: return policy::MessageAnswer::Ok;
    default: FailWithLastError(L"MessageBoxW");
    }
}

ProductVersion ShellWin32::ReadProductVersion() {
    static auto* const infoSize =
        win32::SystemProcedure<decltype(GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
    static auto* const info =
        win32::SystemProcedure<decltype(GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
    static auto* const queryValue = win32::SystemProcedure<decltype(VerQueryValueW)>(L"version.dll", "VerQueryValueW");

    const std::wstring path = win32::ExecutablePath();
    DWORD ignored = 0;
    DWORD size = infoSize(path.c_str(), &ignored);
    if (size == 0) FailWithLastError(L"GetFileVersionInfoSizeW");
    std::vector<unsigned char> data(size);
    if (!info(path.c_str(), 0, size, data.data())) FailWithLastError(L"GetFileVersionInfoW");

    ProductVersion version;
    void* block = nullptr;
    UINT length = 0;
    if (!queryValue(data.data(), L"\\", &block, &length) || length < sizeof(VS_FIXEDFILEINFO))
        throw PlatformFailure(L"VerQueryValueW(\\)", HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    version.major = HIWORD(fixed->dwFileVersionMS);
    version.minor = LOWORD(fixed->dwFileVersionMS);

    struct Translation {
        WORD language;
        WORD codePage;
    };
    if (!queryValue(data.data(), L"\\VarFileInfo\\Translation", &block, &length) || length < sizeof(Translation))
        throw PlatformFailure(L"VerQueryValueW(Translation)", HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND));
    const auto* translation = static_cast<const Translation*>(block);
    wchar_t key[64];
    std::swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\ProductName", translation->language, translation->codePage);
    if (!queryValue(data.data(), key, &block, &length) || length == 0)
        throw PlatformFailure(std::wstring(L"VerQueryValueW(") + key + L")",
                              HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
    version.productName = static_cast<const wchar_t*>(block);
    return version;
}

void ShellWin32::OpenDocument(const std::wstring& address) {
    static auto* const shellExecute = win32::SystemProcedure<decltype(ShellExecuteA)>(L"shell32.dll", "ShellExecuteA");
    // The shell may run COM-based handlers for the address: WinMain joined
    // this thread to COM.
    const std::string file = ToAnsi(address);
    const std::string folder = ToAnsi(ApplicationFolder());
    shellExecute(GetActiveWindow(), nullptr, file.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL);
}

// The broadcast returns only when every window has answered or run out of
// time, seconds where other programs are busy: on the window's thread it
// would freeze the window and hold back the success it reports.  So a thread
// of its own makes it, never waited for.  Should the program end first,
// ExitProcess ends that thread wherever it is; it holds nothing of the
// program's, and the windows not yet told keep their cached policies until
// the log-off, as without an announcement.
void ShellWin32::AnnouncePolicyChange() {
    const win32::Handle thread(CreateThread(nullptr, 0, BroadcastPolicyChange, nullptr, 0, nullptr));
    // No thread to be had: the window waits rather than leave the change untold.
    if (!thread.IsValid()) BroadcastPolicyChange(nullptr);
}

void ShellWin32::LogOff() {
    if (signedInElsewhere_) {
        // Not on Windows 2000 without Terminal Services, whose wtsapi32 is
        // missing: the failure says so, rather than a log-off of the wrong
        // session.  bWait FALSE: the program ends through its loop meanwhile.
        static auto* const logOffSession =
            win32::SystemProcedure<decltype(WTSLogoffSession)>(L"wtsapi32.dll", "WTSLogoffSession");
        if (!logOffSession(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, FALSE))
            FailWithLastError(L"WTSLogoffSession");
        return;
    }
    EnableShutdownPrivilege();

    // Wine's Win32_OperatingSystem has no Win32Shutdown (GetMethod answers
    // WBEM_E_NOT_FOUND).  There, and only there (the system log-off is handed
    // in on Wine alone), the log-off goes through ExitWindowsEx, so that the
    // command still does what it says; every other failure of the service,
    // and a missing method anywhere else, raises.  Flags 0 is a log-off; the
    // in-parameters are filled once, for every instance.
    const ComPtr<IWbemServices> services = win32::ConnectWmi(L"\\\\.\\root\\cimv2");
    const win32::WmiMethod win32Shutdown(services, L"Win32_OperatingSystem", L"Win32Shutdown", {{L"Flags", 0}},
                                         static_cast<bool>(systemLogOff_));

    ComPtr<IEnumWbemClassObject> instances;
    Check(services->ExecQuery(Bstr(L"WQL").Get(), Bstr(L"Select * from Win32_OperatingSystem").Get(),
                              WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &instances),
          L"ExecQuery(Select * from Win32_OperatingSystem)");
    // The enumerator is a proxy of its own.
    Check(win32::SetImpersonation(instances.Get()), L"CoSetProxyBlanket(Win32_OperatingSystem query)");

    bool anyInstance = false;
    for (;;) {
        ComPtr<IWbemClassObject> instance;
        ULONG returned = 0;
        Check(instances->Next(static_cast<long>(WBEM_INFINITE), 1, &instance, &returned),
              L"Next(Win32_OperatingSystem)");
        if (returned == 0) break;
        anyInstance = true;
        if (win32Shutdown.Missing()) continue;

        Variant path;
        Check(instance->Get(L"__PATH", 0, path.Out(), nullptr, nullptr), L"Get(__PATH)");
        if (path->vt != VT_BSTR) throw PlatformFailure(L"Get(__PATH)", static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH));
        // The method's result code is not read: a refused log-off passes
        // unnoticed and the program ends anyway.
        win32Shutdown.Run(path->bstrVal);
    }
    // No instance, no log-off: the same on both roads.
    if (win32Shutdown.Missing() && anyInstance) systemLogOff_();
}

void ShellWin32::EndProgram() { PostQuitMessage(0); }

}  // namespace ui
