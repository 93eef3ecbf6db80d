// The shell services on the real platform.  Runs on Wine's null display:
// message boxes exist there, and a second thread reads and answers them.
#include <gtest/gtest.h>
#include <windows.h>
#include <wbemcli.h>

#include <chrono>
#include <string>

#include "tests/support/win32/stand_in.h"
#include "tests/support/win32/window_input.h"
#include "text/utf.h"
#include "ui/win32/shell_win32.h"
#include "win32/wine.h"

using policy::MessageAnswer;
using policy::MessageBoxRequest;

namespace {

struct SeenBox {
    std::wstring title;
    int button = IDOK;  // pressed on the box
    bool found = false;
    std::wstring text;
    bool yes = false, no = false, ok = false;
    HICON icon = nullptr;
};

DWORD WINAPI ReadAndAnswer(void* parameter) {
    auto& seen = *static_cast<SeenBox*>(parameter);
    HWND box = nullptr;
    const auto end = std::chrono::steady_clock::now() + window_input::OnThisHost(std::chrono::seconds(10));
    for (; !(box && IsWindowVisible(box)) && std::chrono::steady_clock::now() < end; Sleep(20))
        box = FindWindowW(L"#32770", seen.title.c_str());
    if (!(seen.found = box != nullptr)) return 1;
    auto shown = [box](int id) { return IsWindowVisible(GetDlgItem(box, id)) != FALSE; };
    seen.yes = shown(IDYES), seen.no = shown(IDNO), seen.ok = shown(IDOK);
    // The text and the icon are the box's two static controls.
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[1024] = {};
        GetClassNameW(child, text, 1024);
        if (lstrcmpiW(text, L"Static") != 0) continue;
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            seen.icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        } else if (GetWindowTextW(child, text, 1024) > 0) {
            seen.text = text;
        }
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(seen.button, BN_CLICKED), 0);
    return 0;
}

// Runs `show` while a second thread reads the box of that title and presses `button`.
template <typename Show>
SeenBox Answering(const std::wstring& title, int button, Show&& show) {
    SeenBox seen;
    seen.title = title;
    seen.button = button;
    HANDLE thread = CreateThread(nullptr, 0, ReadAndAnswer, &seen, 0, nullptr);
    show();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return seen;
}

// Runs the failing child program next to this one; answers its error box.
std::pair<SeenBox, DWORD> RunFailingChild(const std::wstring& how) {
    wchar_t self[MAX_PATH];
    std::wstring folder(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    folder.resize(folder.rfind(L'\\'));
    std::wstring commandLine = L"\"" + folder + L"\\failure_report_child.exe\" " + how;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    DWORD exitCode = 0xDEAD;
    SeenBox seen = Answering(L"Quelvane 2", IDOK, [&] {
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &child))
            return;
        const auto limit = window_input::OnThisHost(std::chrono::seconds(15));
        if (WaitForSingleObject(child.hProcess, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0)
            GetExitCodeProcess(child.hProcess, &exitCode);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    });
    return {seen, exitCode};
}

}  // namespace

TEST(ShellWin32, ReadsNameAndVersionFromThisProgramsVersionResource) {
    const ui::ProductVersion version = ui::ShellWin32().ReadProductVersion();
    EXPECT_EQ(version.productName, L"Quelvane 2");
    EXPECT_EQ(version.major, 2);
    EXPECT_EQ(version.minor, 3);
}

TEST(ShellWin32, ShowsTheExactTextIconAndButtonsAndAnswersTheButtonPressed) {
    ui::ShellWin32 shell;
    const MessageBoxRequest logoff{L"Close all applications before logoff.\r\n\r\nYou wanna logoff now?",
                                   L"Log Off Windows", policy::MessageIcon::Warning, policy::MessageButtons::YesNo};
    for (auto [button, answer] : {std::pair{IDYES, MessageAnswer::Yes}, std::pair{IDNO, MessageAnswer::No}}) {
        MessageAnswer given{};
        SeenBox seen = Answering(logoff.title, button, [&] { given = shell.ShowMessage(logoff); });
        EXPECT_EQ(given, answer);
        EXPECT_EQ(seen.text, logoff.text);
        EXPECT_TRUE(seen.yes && seen.no && !seen.ok);
        EXPECT_EQ(seen.icon, LoadIcon(nullptr, IDI_EXCLAMATION));
    }

    const MessageBoxRequest about{L"Quelvane v2.3", L"About Quelvane 2", policy::MessageIcon::Information,
                                  policy::MessageButtons::Ok};
    MessageAnswer given{};
    SeenBox seen = Answering(about.title, IDOK, [&] { given = shell.ShowMessage(about); });
    EXPECT_EQ(given, MessageAnswer::Ok);
    EXPECT_TRUE(seen.ok && !seen.yes && !seen.no);
    EXPECT_EQ(seen.icon, LoadIcon(nullptr, IDI_ASTERISK));
}

TEST(ShellWin32, LogsOffThroughTheSystemOnlyOnWineWhoseWmiHasNoWin32Shutdown) {
    if (!win32::RunningOnWine()) GTEST_SKIP() << "on Windows this would really log the user off";
    if (stand_in::Active()) GTEST_SKIP() << "the stand-in has Win32Shutdown, as Windows has";
    int systemLogOffs = 0;
    ui::ShellWin32 shell([&] { ++systemLogOffs; });
    EXPECT_NO_THROW(shell.LogOff());
    EXPECT_EQ(systemLogOffs, 1);

    // Without the way around, as on Windows, the missing method is a failure
    // that names it.
    try {
        ui::ShellWin32(ui::ShellWin32::SystemLogOff()).LogOff();
        ADD_FAILURE() << "a missing Win32Shutdown must raise outside Wine";
    } catch (const win32::PlatformFailure& failure) {
        EXPECT_EQ(failure.Operation(), L"GetMethod(Win32Shutdown)");
        EXPECT_EQ(failure.Result(), static_cast<HRESULT>(WBEM_E_NOT_FOUND));
    }
}

TEST(ShellWin32, LogsOffThroughWin32ShutdownOfEveryInstanceWhateverItAnswers) {
    if (!stand_in::Active()) GTEST_SKIP() << "Wine's own service has no Win32Shutdown";
    int systemLogOffs = 0;
    ui::ShellWin32 shell([&] { ++systemLogOffs; });
    // 1191: the system refuses, as when another session blocks the log-off.
    for (auto [instances, answer] : {std::pair{2u, 0u}, std::pair{1u, 1191u}, std::pair{0u, 0u}}) {
        SCOPED_TRACE(std::to_string(instances) + " instances, Win32Shutdown answering " + std::to_string(answer));
        stand_in::Reset();
        stand_in::SetNumber(L"Instances", instances);
        stand_in::SetNumber(L"Win32Shutdown", answer);
        EXPECT_NO_THROW(shell.LogOff());
        // Flags 0 is a log-off; the answer shows that the shutdown privilege was held.
        EXPECT_EQ(stand_in::CallsOf(L"Win32_OperatingSystem.Win32Shutdown"),
                  std::vector<std::string>(instances, "Win32_OperatingSystem.Win32Shutdown(Flags=0, Reserved=0) = " +
                                                          std::to_string(answer)));
    }
    EXPECT_EQ(systemLogOffs, 0);

    stand_in::SetNumber(L"Instances", 1);
    stand_in::SetFault(L"Win32Shutdown", static_cast<HRESULT>(WBEM_E_ACCESS_DENIED));
    EXPECT_THROW(shell.LogOff(), win32::PlatformFailure);
    stand_in::SetFault(L"Win32Shutdown", S_OK);
    stand_in::SetFault(L"ExecQuery", static_cast<HRESULT>(WBEM_E_FAILED));
    EXPECT_THROW(shell.LogOff(), win32::PlatformFailure);
    EXPECT_EQ(systemLogOffs, 0);
}

TEST(ShellWin32, EndsTheProgramThroughItsMessageLoopWithExitCodeZero) {
    ui::ShellWin32().EndProgram();
    MSG quit{};
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

TEST(FailureReport, ShowsWhatFailedInOneErrorBoxBeforeAnyWindowAndEndsWithExitCodeOne) {
    auto [seen, exitCode] = RunFailingChild(L"registry");
    ASSERT_TRUE(seen.found) << "no error box titled Quelvane 2";
    EXPECT_NE(seen.text.find(L"CreateRegKey failed on HKEY_LOCAL_MACHINE\\Software\\Ploz\\psw: 0x80041003"),
              std::wstring::npos)
        << text::ToUtf8(seen.text);
    EXPECT_TRUE(seen.ok && !seen.yes && seen.icon);
    EXPECT_EQ(exitCode, 1u);

    auto [unknown, unknownExitCode] = RunFailingChild(L"unknown");
    EXPECT_NE(unknown.text.find(L"no description"), std::wstring::npos) << text::ToUtf8(unknown.text);
    EXPECT_EQ(unknownExitCode, 1u);

    // The main window is gone and the loop was asked to quit: the box still waits for OK.
    auto [afterQuit, afterQuitExitCode] = RunFailingChild(L"main window");
    ASSERT_TRUE(afterQuit.found) << "the report did not stay on the screen";
    EXPECT_NE(afterQuit.text.find(L"the main window's load failed"), std::wstring::npos)
        << text::ToUtf8(afterQuit.text);
    EXPECT_EQ(afterQuitExitCode, 1u);
}
