// Windows only: the platform services of the windows (ui::Shell) over Win32,
// the shell and WMI.
//
// Usage, once in WinMain, shared by both windows:
//   ui::ShellWin32 shell;
//   ui::Form2 login(registry, shell, ...);
#pragma once

#include <functional>
#include <string>

#include "ui/shell.h"
#include "win32/failure.h"

namespace ui {

class ShellWin32 : public Shell {
public:
    // What logs the user off where the service has no Win32Shutdown: on Wine
    // alone, ExitWindowsEx(EWX_LOGOFF, 0) unless a test hands in its own.
    // Without one, as on Windows, a missing Win32Shutdown is a failure.
    using SystemLogOff = std::function<void()>;

    // Enables the shutdown privilege: make the shell before the process's
    // first call to the instrumentation service.
    ShellWin32();
    explicit ShellWin32(SystemLogOff systemLogOff);

    // MessageBoxW owned by the active window; raises when no box could be shown.
    policy::MessageAnswer ShowMessage(const policy::MessageBoxRequest& message) override;
    // From the executable's own version resource: ProductName of its first
    // translation, and the major and minor file version.  version.dll is
    // bound by name at the first call.
    ProductVersion ReadProductVersion() override;
    // ShellExecuteA with the default verb in the executable's folder; the
    // shell's answer is ignored.  shell32 is bound by name at the first call,
    // like version.dll above, so that a start of the program loads neither
    // library (shell32 brings more with it): only the About command needs them.
    void OpenDocument(const std::wstring& address) override;
    // WM_SETTINGCHANGE with "Policy" to every top-level window, sent by
    // SendMessageTimeoutW from a thread of its own (see shell_win32.cpp).
    void AnnouncePolicyChange() override;
    // Win32Shutdown with flags 0 on every Win32_OperatingSystem of root\cimv2,
    // with impersonation and the shutdown privilege.  Raises win32::PlatformFailure
    // when the service, the query or a call fails; a log-off that the system
    // merely refuses goes unnoticed.  Where the person at the desktop is
    // another account (below), WTSLogoffSession of the program's session.
    void LogOff() override;
    // Tells the shell that the person signed in at this desktop is another
    // account than the program's (win32/signed_in_user.h).  Win32Shutdown and
    // ExitWindowsEx log off the caller's own logon session, which is then the
    // elevated account's, not the person's; the person's session is the one
    // that the program and the shell run in.
    void SignedInUserIsAnotherAccount(bool another) { signedInElsewhere_ = another; }
    // PostQuitMessage(0): WinMain's loop ends once the handler returns, then
    // the windows go, the warm-up thread is waited for and COM is left, where
    // ExitProcess would kill that thread inside the service (see WinMain).
    void EndProgram() override;

private:
    SystemLogOff systemLogOff_;
    bool signedInElsewhere_ = false;
};

}  // namespace ui
