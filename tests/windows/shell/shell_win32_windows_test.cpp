// The shell services on the real platform.  Runs on Wine's null display:
// message boxes exist there and are answered by a watching thread.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "message_box_watch.h"
#include "registry/registry_provider.h"
#include "ui/win32/shell_win32.h"

using policy::MessageAnswer;
using policy::MessageBoxRequest;
using policy::MessageButtons;
using policy::MessageIcon;

namespace {

bool RunningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

std::wstring ThisProgram() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

// Runs the failing child program with an argument; answers its error box with
// OK.  Returns the box as seen and the child's exit code.
std::pair<SeenMessageBox, DWORD> RunFailingChild(const std::wstring& how) {
    std::wstring commandLine = L"\"" + Folder(ThisProgram()) + L"\\failure_report_child.exe\" " + how;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return {SeenMessageBox{}, 0xFFFFFFFFu};
    SeenMessageBox seen;
    {
        MessageBoxWatch watch(L"Quelvane 2", IDOK);
        seen = watch.Seen();
    }
    DWORD exitCode = 0xFFFFFFFFu;
    if (WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &exitCode);
    else TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {seen, exitCode};
}

}  // namespace

TEST(ShellWin32, ReadsNameAndVersionFromThisProgramsVersionResource) {
    ui::ShellWin32 shell;
    const ui::ProductVersion version = shell.ReadProductVersion();
    EXPECT_EQ(version.productName, L"Quelvane 2");
    EXPECT_EQ(version.major, 2);
    EXPECT_EQ(version.minor, 3);
}

TEST(ShellWin32, ShowsTheExactTextTitleIconAndButtonsAndAnswersTheButtonPressed) {
    ui::ShellWin32 shell;
    const MessageBoxRequest logoff{L"Close all applications before logoff.\r\n\r\nYou wanna logoff now?",
                                   L"Log Off Windows", MessageIcon::Warning, MessageButtons::YesNo};
    for (auto [button, answer] : {std::pair{IDYES, MessageAnswer::Yes}, std::pair{IDNO, MessageAnswer::No}}) {
        MessageBoxWatch watch(logoff.title, button);
        EXPECT_EQ(shell.ShowMessage(logoff), answer);
        const SeenMessageBox& seen = watch.Seen();
        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.text, logoff.text);
        EXPECT_TRUE(seen.yes && seen.no && !seen.ok);
        EXPECT_EQ(seen.icon, LoadIcon(nullptr, IDI_EXCLAMATION));
    }

    const MessageBoxRequest invalid{L"Password invalid!", L"Login is failure", MessageIcon::Information,
                                    MessageButtons::Ok};
    MessageBoxWatch watch(invalid.title, IDOK);
    EXPECT_EQ(shell.ShowMessage(invalid), MessageAnswer::Ok);
    const SeenMessageBox& seen = watch.Seen();
    EXPECT_EQ(seen.text, L"Password invalid!");
    EXPECT_TRUE(seen.ok && !seen.yes && !seen.no);
    EXPECT_EQ(seen.icon, LoadIcon(nullptr, IDI_ASTERISK));
}

TEST(ShellWin32, LogsOffThroughTheSystemWhereWmiHasNoWin32Shutdown) {
    if (!RunningUnderWine()) GTEST_SKIP() << "on Windows this would really log the user off";
    int systemLogOffs = 0;
    ui::ShellWin32 shell([&] { ++systemLogOffs; });
    EXPECT_NO_THROW(shell.LogOff());
    EXPECT_EQ(systemLogOffs, 1);
}

TEST(FailureReport, ShowsARegistryFailureInOneErrorBoxAndEndsWithExitCodeOne) {
    auto [seen, exitCode] = RunFailingChild(L"registry");
    ASSERT_TRUE(seen.found) << "no error box titled Quelvane 2";
    EXPECT_NE(seen.text.find(L"CreateRegKey failed on HKEY_LOCAL_MACHINE\\Software\\Ploz\\psw"), std::wstring::npos)
        << registry::ToUtf8(seen.text);
    EXPECT_NE(seen.text.find(L"0x80041003"), std::wstring::npos) << registry::ToUtf8(seen.text);
    EXPECT_TRUE(seen.ok && !seen.yes);
    // Icon handles of another process do not compare: that one is shown is enough.
    EXPECT_NE(seen.icon, nullptr);
    EXPECT_EQ(exitCode, 1u);
}

TEST(FailureReport, ReportsEvenAFailureThatIsNoStandardException) {
    auto [seen, exitCode] = RunFailingChild(L"unknown");
    ASSERT_TRUE(seen.found);
    EXPECT_NE(seen.text.find(L"no description"), std::wstring::npos) << registry::ToUtf8(seen.text);
    EXPECT_EQ(exitCode, 1u);
}
