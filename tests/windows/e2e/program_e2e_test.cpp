// The real Quelvane 2.exe, started and worked from outside as a user would.
// Each case runs as a CTest test of its own in a fresh Wine prefix that says
// Windows XP, on a private virtual display; what a case checks is what the user
// sees (windows, texts, control states, message boxes) and what lands in the
// registry and on disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "registry/registry_provider.h"
#include "styles/init_xp.h"
#include "tests/support/drive_masks.h"
#include "tests/support/registry_keys.h"
#include "tests/support/status_texts.h"
#include "tests/support/win32/registry_witness.h"
#include "tests/support/win32/stand_in.h"
#include "tests/support/win32/window_input.h"
#include "tests/windows/e2e/program_driver.h"
#include "ui/form1_layout.h"
#include "ui/form2_layout.h"

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;

using namespace keys;
using window_input::TextOf;

namespace {

constexpr std::wstring_view MainTitle = L"Quelvane 2";
constexpr std::wstring_view LoginTitle = L"Quelvane 2 - Login";
std::string Where(registry::Root root, const std::wstring& key, const std::wstring& name) {
    return e2e::Narrow(witness::RootName(root) + L"\\" + key + L" " + name);
}

// A value as the registry API and as reg.exe see it, both.
void ExpectDword(registry::Root root, const std::wstring& key, const std::wstring& name, std::uint32_t expected) {
    SCOPED_TRACE(Where(root, key, name));
    const auto api = witness::ReadValue(root, key, name);
    ASSERT_TRUE(api.has_value()) << "the registry API finds no such value";
    EXPECT_EQ(api->type, static_cast<unsigned long>(REG_DWORD));
    ASSERT_TRUE(std::holds_alternative<std::uint32_t>(api->data));
    EXPECT_EQ(std::get<std::uint32_t>(api->data), expected);

    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(expected));
    const witness::RegExeAnswer reg = witness::RegExeQuery(root, key, name);
    EXPECT_EQ(reg.exitCode, 0u) << reg.output;
    EXPECT_EQ(reg.type, "REG_DWORD") << reg.output;
    EXPECT_EQ(reg.data, hex) << reg.output;
}

void ExpectString(registry::Root root, const std::wstring& key, const std::wstring& name,
                  const std::wstring& expected) {
    SCOPED_TRACE(Where(root, key, name));
    const auto api = witness::ReadValue(root, key, name);
    ASSERT_TRUE(api.has_value()) << "the registry API finds no such value";
    EXPECT_EQ(api->type, static_cast<unsigned long>(REG_SZ));
    ASSERT_TRUE(std::holds_alternative<std::wstring>(api->data));
    EXPECT_EQ(std::get<std::wstring>(api->data), expected);

    const witness::RegExeAnswer reg = witness::RegExeQuery(root, key, name);
    EXPECT_EQ(reg.exitCode, 0u) << reg.output;
    EXPECT_EQ(reg.type, "REG_SZ") << reg.output;
    EXPECT_EQ(reg.data, e2e::Narrow(expected)) << reg.output;
}

// The user's DisallowRun list holds exactly these strings.
// The user's list of programs that may not run: switched on, and holding
// exactly these entries.
void ExpectListInForce(const std::vector<std::pair<std::wstring, std::wstring>>& entries) {
    ExpectDword(HiveCurrentUser, ExplorerKey, L"DisallowRun", 1);
    for (const auto& [name, data] : entries) ExpectString(HiveCurrentUser, DisallowRunKey, name, data);
    const auto held = witness::CountEntries(HiveCurrentUser, DisallowRunKey);
    ASSERT_TRUE(held.has_value()) << "the DisallowRun subkey is gone";
    EXPECT_EQ(held->values, entries.size());
}

void ExpectNoValue(registry::Root root, const std::wstring& key, const std::wstring& name) {
    SCOPED_TRACE(Where(root, key, name));
    EXPECT_FALSE(witness::ReadValue(root, key, name).has_value()) << "the registry API finds the value";
    const witness::RegExeAnswer reg = witness::RegExeQuery(root, key, name);
    EXPECT_NE(reg.exitCode, 0u) << reg.output;
}

// A file as it lies on disk: its bytes, attributes and last write.
struct FileState {
    std::string bytes;
    DWORD attributes = 0;
    FILETIME lastWrite{};
};

std::optional<FileState> ReadFileState(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    FileState state{std::string(data.nFileSizeLow, '\0'), data.dwFileAttributes, data.ftLastWriteTime};
    DWORD read = 0;
    const BOOL ok = ReadFile(file, state.bytes.data(), data.nFileSizeLow, &read, nullptr);
    CloseHandle(file);
    if (!ok || read != data.nFileSizeLow) return std::nullopt;
    return state;
}

void ExpectUnchanged(const FileState& before, const std::optional<FileState>& after) {
    ASSERT_TRUE(after.has_value()) << "the manifest is gone";
    EXPECT_EQ(after->bytes, before.bytes);
    EXPECT_EQ(after->attributes, before.attributes);
    EXPECT_EQ(CompareFileTime(&after->lastWrite, &before.lastWrite), 0) << "the manifest was written again";
}

// Whether a loaded DLL is the one of the common controls 6.0 side-by-side
// assembly of this build's processor.  Wine's copy there has a version
// resource of 5, as its plain comctl32 in the system folder has, so the path
// is what tells them apart.
bool IsCommonControls6(std::wstring path) {
#ifdef _WIN64
    const wchar_t* assembly = L"\\winsxs\\amd64_microsoft.windows.common-controls_6595b64144ccf1df_6.0.";
#else
    const wchar_t* assembly = L"\\winsxs\\x86_microsoft.windows.common-controls_6595b64144ccf1df_6.0.";
#endif
    CharLowerW(path.data());
    return path.find(assembly) != std::wstring::npos;
}

// The maker's notice as the program's own version resource carries it.
std::wstring LegalCopyrightOf(const std::wstring& executable) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(executable.c_str(), &ignored);
    std::vector<unsigned char> data(size);
    void* text = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(executable.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\LegalCopyright", &text, &length))
        return L"(no LegalCopyright in the version resource)";
    return std::wstring(static_cast<const wchar_t*>(text), length > 0 ? length - 1 : 0);
}

class ProgramEndToEnd : public ::testing::Test {
protected:
    e2e::ProgramCopy copy;
    std::optional<e2e::RunningProgram> program;

    ProgramEndToEnd() { ApplyLatency(); }

    // QUELVANE_STAND_IN_LATENCY_MS makes the stand-in answer as slowly as a
    // busy service in another process, dispatching the program's messages
    // meanwhile; it outlives a reset of the other choices.
    static void ApplyLatency() {
        if (const char* latency = std::getenv("QUELVANE_STAND_IN_LATENCY_MS"))
            stand_in::SetNumber(L"LatencyMs", static_cast<DWORD>(std::strtoul(latency, nullptr, 10)));
    }
    static void ResetStandIn() {
        stand_in::Reset();
        ApplyLatency();
    }

    void Start() { program.emplace(copy.Executable()); }

    static HWND Form1Control(HWND form1, std::wstring_view name, int member = ui::NoMember) {
        return e2e::Control(form1, ui::Form1Layout, name, member);
    }
    static HWND LoginControl(HWND login, std::wstring_view name) { return e2e::Control(login, ui::Form2Layout, name); }

    // Waits for the visible window of this title and tells whether a window
    // of the other title was visible at any poll meanwhile.
    HWND WaitForWindowWatching(std::wstring_view title, std::wstring_view watched, bool& watchedSeen) {
        HWND found = nullptr;
        const bool done = e2e::WaitUntil([&] {
            if (program->VisibleWindow(watched)) watchedSeen = true;
            found = program->VisibleWindow(title);
            return found || program->HasEnded();
        });
        if (!found)
            throw e2e::WaitFailure("no window titled \"" + e2e::Narrow(title) + "\" appeared" +
                                   (done ? ": the program ended" : " within 20 s"));
        return found;
    }

    // Starts the program, which shows its main window at once when no
    // password is stored, and waits for the window to settle.
    HWND StartToTheMainWindow() {
        Start();
        HWND form1 = program->WaitForWindow(MainTitle);
        WaitUntilSettled(form1);
        return form1;
    }

    // The window's load and activation ran once Save is disabled again.
    static void WaitUntilSettled(HWND form1) {
        HWND save = Form1Control(form1, L"cmdSave");
        if (!e2e::WaitUntil([&] { return !e2e::IsEnabled(save); }))
            throw e2e::WaitFailure("Save was still enabled 20 s after the main window appeared");
    }

    void CloseAndExpectTheEnd(HWND window) {
        e2e::Close(window);
        const std::optional<DWORD> exitCode = program->WaitForExit();
        ASSERT_TRUE(exitCode.has_value()) << "the program was still running 20 s after its last window was closed";
        EXPECT_EQ(*exitCode, 0u);
    }

    void LogIn(const std::wstring& password) {
        HWND login = program->WaitForWindow(LoginTitle);
        e2e::TypeText(LoginControl(login, L"txtPassword"), password);
        e2e::Click(LoginControl(login, L"cmdOK"));
    }

    // Save, once a change has enabled it, until the status line reports success.
    static void SaveAndWaitForSuccess(HWND form1) {
        HWND save = Form1Control(form1, L"cmdSave");
        if (!e2e::WaitUntil([&] { return e2e::IsEnabled(save); }))
            throw e2e::WaitFailure("the changes made did not enable Save");
        e2e::Click(save);
        HWND status = Form1Control(form1, L"lblLoading");
        if (!e2e::WaitUntil([&] { return TextOf(status) == status::Successful; }))
            throw e2e::WaitFailure("the status line reads \"" + e2e::Narrow(TextOf(status)) +
                                   "\", not that the save succeeded");
    }

    // The road of one save: "Hide Drives in My Computer ", "C: and D:",
    // "Current user", the command prompt blocked, the registry tools not, and
    // the same password twice; then Save until the status line reports
    // success.  Returns the status captions in the order they were seen.
    static std::vector<std::wstring> ChooseAndSave(HWND form1, const std::wstring& password) {
        HWND save = Form1Control(form1, L"cmdSave");
        HWND status = Form1Control(form1, L"lblLoading");
        HWND percentage = Form1Control(form1, L"lblLoading2");
        HWND chkCMD = Form1Control(form1, L"chkCMD");

        e2e::Click(Form1Control(form1, L"optSecurity", 1));
        e2e::Choose(Form1Control(form1, L"cboDrive"), L"C: and D:");
        EXPECT_EQ(TextOf(Form1Control(form1, L"cboRestrict")), L"Current user");
        EXPECT_TRUE(e2e::IsEnabled(chkCMD));
        e2e::Click(chkCMD);
        e2e::TypeText(Form1Control(form1, L"txtPassword"), password);
        e2e::TypeText(Form1Control(form1, L"txtPassword2"), password);

        EXPECT_TRUE(e2e::IsChecked(Form1Control(form1, L"optSecurity", 1)));
        EXPECT_FALSE(e2e::IsChecked(Form1Control(form1, L"optSecurity", 0)));
        EXPECT_TRUE(e2e::IsChecked(chkCMD));
        EXPECT_FALSE(e2e::IsChecked(Form1Control(form1, L"chkRegistry")));
        EXPECT_TRUE(e2e::IsEnabled(save));
        EXPECT_EQ(TextOf(status), status::Compatible);
        EXPECT_EQ(TextOf(percentage), L"");

        e2e::Click(save);
        std::vector<std::wstring> seen;
        const bool succeeded = e2e::WaitUntil([&] {
            std::wstring text = TextOf(status);
            if (seen.empty() || seen.back() != text) seen.push_back(text);
            return text == status::Successful;
        });
        if (!succeeded)
            throw e2e::WaitFailure("the status line did not report success within 20 s; it reads \"" +
                                   e2e::Narrow(seen.back()) + "\"");
        // The drive value is the save's last write: a success shown while the
        // save still runs would find the old one.
        ExpectDword(HiveCurrentUser, ExplorerKey, L"NoDrives", Mask(L"C: and D:"));
        EXPECT_EQ(TextOf(percentage), L"100%");
        EXPECT_FALSE(e2e::IsEnabled(save));
        return seen;
    }
};

}  // namespace

TEST_F(ProgramEndToEnd, SaveWithoutAStoredPasswordWritesThePoliciesTheSettingsAndThePassword) {
    witness::WriteString(HiveLocalMachine, PasswordKey, L"MyPassword", L"");
    Start();
    bool loginSeen = false;
    HWND form1 = WaitForWindowWatching(MainTitle, LoginTitle, loginSeen);
    EXPECT_FALSE(loginSeen) << "the login dialog was shown although no password is stored";
    WaitUntilSettled(form1);
    ExpectNoValue(HiveCurrentUser, ExplorerKey, L"NoDrives");

    const std::vector<std::wstring> statuses = ChooseAndSave(form1, L"Tulip 7");
    ASSERT_GE(statuses.size(), 2u);
    EXPECT_EQ(statuses[statuses.size() - 2], status::Updating) << "no progress was shown before the success";

    ExpectDword(HiveCurrentUser, ExplorerKey, L"NoDrives", Mask(L"C: and D:"));
    ExpectNoValue(HiveCurrentUser, ExplorerKey, L"NoViewOnDrive");
    ExpectDword(HiveCurrentUser, ExplorerKey, L"DisallowRun", 1);
    ExpectString(HiveCurrentUser, DisallowRunKey, L"1", L"cmd.exe");
    ExpectDword(HiveCurrentUser, SystemKey, L"DisableRegistryTools", 0);
    ExpectDword(HiveLocalMachine, SettingsKey, L"SecurityMode", 1);
    ExpectString(HiveLocalMachine, SettingsKey, L"Restriction", L"Current user");
    ExpectString(HiveLocalMachine, PasswordKey, L"MyPassword", L"Tulip 7");
    ExpectNoValue(HiveLocalMachine, ExplorerKey, L"NoDrives");
    ExpectNoValue(HiveLocalMachine, ExplorerKey, L"NoViewOnDrive");

    CloseAndExpectTheEnd(form1);
}

TEST_F(ProgramEndToEnd, ASaveForAllUsersInTheContentsModeMovesThePolicyToTheMachineAndIsShownAgain) {
    ResetStandIn();
    witness::WriteString(HiveLocalMachine, PasswordKey, L"MyPassword", L"");
    // What an earlier save for the current user left.
    witness::WriteDword(HiveCurrentUser, ExplorerKey, L"NoDrives", Mask(L"C: and D:"));
    witness::WriteDword(HiveCurrentUser, ExplorerKey, L"DisallowRun", 1);
    witness::WriteString(HiveCurrentUser, DisallowRunKey, L"1", L"cmd.exe");
    witness::WriteDword(HiveCurrentUser, SystemKey, L"DisableRegistryTools", 1);
    HWND form1 = StartToTheMainWindow();

    e2e::Click(Form1Control(form1, L"optSecurity", 0));
    e2e::Choose(Form1Control(form1, L"cboRestrict"), L"All users");
    e2e::Choose(Form1Control(form1, L"cboDrive"), L"All drives");
    SaveAndWaitForSuccess(form1);

    ExpectDword(HiveLocalMachine, ExplorerKey, L"NoViewOnDrive", Mask(L"All drives"));
    ExpectNoValue(HiveLocalMachine, ExplorerKey, L"NoDrives");
    ExpectDword(HiveLocalMachine, SettingsKey, L"SecurityMode", 0);
    ExpectString(HiveLocalMachine, SettingsKey, L"Restriction", L"All users");
    for (const wchar_t* name : {L"NoDrives", L"NoViewOnDrive", L"DisallowRun"})
        ExpectNoValue(HiveCurrentUser, ExplorerKey, name);
    EXPECT_FALSE(witness::KeyExists(HiveCurrentUser, DisallowRunKey));
    ExpectNoValue(HiveCurrentUser, SystemKey, L"DisableRegistryTools");
    CloseAndExpectTheEnd(form1);

    program.reset();
    form1 = StartToTheMainWindow();
    EXPECT_TRUE(e2e::IsChecked(Form1Control(form1, L"optSecurity", 0)));
    EXPECT_FALSE(e2e::IsChecked(Form1Control(form1, L"optSecurity", 1)));
    EXPECT_EQ(TextOf(Form1Control(form1, L"cboRestrict")), L"All users");
    EXPECT_EQ(TextOf(Form1Control(form1, L"cboDrive")), L"All drives");
    CloseAndExpectTheEnd(form1);

    // Under Windows' service every registry operation of the load and the
    // save went through StdRegProv itself.
    if (stand_in::Active()) {
        for (const wchar_t* method : {L"CreateKey", L"SetStringValue", L"SetDWORDValue", L"GetStringValue",
                                      L"GetDWORDValue", L"DeleteValue", L"DeleteKey", L"CheckAccess", L"EnumValues"})
            EXPECT_FALSE(stand_in::CallsOf(L"StdRegProv." + std::wstring(method)).empty()) << e2e::Narrow(method);
    }
}

TEST_F(ProgramEndToEnd, LogoffAsksFirstAndOnYesCallsWin32ShutdownOfEveryInstanceAndEndsTheProgram) {
    ASSERT_TRUE(stand_in::Active()) << "runs under the WMI stand-in only";
    const std::string logOff = "Win32_OperatingSystem.Win32Shutdown(Flags=0, Reserved=0) = ";
    ResetStandIn();
    stand_in::SetNumber(L"Instances", 2);
    stand_in::SetNumber(L"Win32Shutdown", 1191);  // the system refuses the log-off
    HWND form1 = StartToTheMainWindow();

    e2e::Click(Form1Control(form1, L"cmdLogoff"));
    e2e::MessageBoxView warning = program->WaitForMessageBox(L"Log Off Windows");
    EXPECT_EQ(warning.text, L"Close all applications before logoff.\r\n\r\nYou wanna logoff now?");
    EXPECT_EQ(warning.buttons, (std::vector<int>{IDYES, IDNO}));
    e2e::Answer(warning, IDNO);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(warning.hwnd); })) << "the warning stayed open";
    EXPECT_FALSE(program->HasEnded());
    EXPECT_TRUE(stand_in::CallsOf(L"Win32_OperatingSystem.Win32Shutdown").empty());

    e2e::Click(Form1Control(form1, L"cmdLogoff"));
    e2e::Answer(program->WaitForMessageBox(L"Log Off Windows"), IDYES);
    std::optional<DWORD> exitCode = program->WaitForExit();
    ASSERT_TRUE(exitCode.has_value()) << "the program was still running 20 s after Yes";
    EXPECT_EQ(*exitCode, 0u);
    // The refusal is the system's answer, which changes nothing; it also shows
    // that the shutdown privilege was held.
    EXPECT_EQ(stand_in::CallsOf(L"Win32_OperatingSystem.Win32Shutdown"), std::vector<std::string>(2, logOff + "1191"));

    // No instance to log off: the program ends all the same, without a call.
    ResetStandIn();
    stand_in::SetNumber(L"Instances", 0);
    program.reset();
    Start();
    // Without a version the activation takes an option away, which leaves
    // Save enabled: the window is not waited for to settle.
    form1 = program->WaitForWindow(MainTitle);
    e2e::Click(Form1Control(form1, L"cmdLogoff"));
    e2e::Answer(program->WaitForMessageBox(L"Log Off Windows"), IDYES);
    exitCode = program->WaitForExit();
    ASSERT_TRUE(exitCode.has_value()) << "the program was still running 20 s after Yes";
    EXPECT_EQ(*exitCode, 0u);
    EXPECT_TRUE(stand_in::CallsOf(L"Win32_OperatingSystem.Win32Shutdown").empty());
}

TEST_F(ProgramEndToEnd, LoginRejectsAWrongPasswordKeepsWaitingAndOpensTheMainWindowForTheStoredOne) {
    witness::WriteString(HiveLocalMachine, PasswordKey, L"MyPassword", L"Secret");
    Start();
    HWND login = program->WaitForWindow(LoginTitle);
    HWND text = LoginControl(login, L"txtPassword");
    EXPECT_EQ(program->VisibleWindow(MainTitle), nullptr);

    e2e::TypeText(text, L"secret");
    e2e::Click(LoginControl(login, L"cmdOK"));
    const e2e::MessageBoxView refusal = program->WaitForMessageBox(L"Login is failure");
    EXPECT_EQ(refusal.text, L"Password invalid!");
    EXPECT_EQ(refusal.buttons, std::vector<int>{IDOK});
    e2e::Answer(refusal, IDOK);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(refusal.hwnd); })) << "the message box stayed open";

    EXPECT_TRUE(e2e::WaitUntil([&] { return program->FocusOf(login) == text; }))
        << "the focus did not go back to the password box; " << program->DescribeFocus(login);
    EXPECT_TRUE(IsWindowVisible(login));
    EXPECT_EQ(TextOf(text), L"secret");
    EXPECT_EQ(program->VisibleWindow(MainTitle), nullptr);
    // Nothing is selected after the box: the next key adds to what was typed.
    e2e::TypeText(text, L"x");
    EXPECT_EQ(TextOf(text), L"secretx");

    e2e::ClearText(text);
    e2e::TypeText(text, L"Secret");
    e2e::Click(LoginControl(login, L"cmdOK"));
    HWND form1 = program->WaitForWindow(MainTitle);
    EXPECT_FALSE(IsWindow(login)) << "the login dialog is still there next to the main window";
    CloseAndExpectTheEnd(form1);
}

TEST_F(ProgramEndToEnd, LoginWithAOneSpacePasswordRejectsAnEmptyBoxAndAcceptsASpace) {
    witness::WriteString(HiveLocalMachine, PasswordKey, L"MyPassword", L" ");
    Start();
    HWND login = program->WaitForWindow(LoginTitle);

    e2e::Click(LoginControl(login, L"cmdOK"));
    const e2e::MessageBoxView refusal = program->WaitForMessageBox(L"Login is failure");
    EXPECT_EQ(refusal.text, L"Password invalid!");
    e2e::Answer(refusal, IDOK);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(refusal.hwnd); })) << "the message box stayed open";
    EXPECT_EQ(program->VisibleWindow(MainTitle), nullptr);

    e2e::TypeText(LoginControl(login, L"txtPassword"), L" ");
    e2e::Click(LoginControl(login, L"cmdOK"));
    CloseAndExpectTheEnd(program->WaitForWindow(MainTitle));
}

TEST_F(ProgramEndToEnd, CancelInTheLoginEndsTheProgramAtOnceWithoutEverShowingTheMainWindow) {
    witness::WriteString(HiveLocalMachine, PasswordKey, L"MyPassword", L"Secret");
    // A service that never answers the program's warm-up thread.
    if (stand_in::Active()) stand_in::SetNumber(L"StallMultithreaded", 1);
    // Without a window manager Wine waits two seconds for one as a shown
    // window goes; Windows does not, and neither does Wine that manages its
    // windows itself.
    witness::WriteString(HiveCurrentUser, L"Software\\Wine\\X11 Driver", L"Managed", L"N");
    Start();
    HWND login = program->WaitForWindow(LoginTitle);

    e2e::Click(LoginControl(login, L"cmdCancel"));
    const auto clicked = std::chrono::steady_clock::now();
    bool mainSeen = false;
    const bool ended = e2e::WaitUntil([&] {
        if (program->VisibleWindow(MainTitle)) mainSeen = true;
        return program->HasEnded();
    });
    ASSERT_TRUE(ended) << "the program was still running 20 s after Cancel";
    EXPECT_LE(std::chrono::steady_clock::now() - clicked, window_input::OnThisHost(std::chrono::seconds(2)));
    EXPECT_FALSE(mainSeen);
    EXPECT_EQ(program->WaitForExit({}), std::optional<DWORD>(0));
}

TEST_F(ProgramEndToEnd, AboutShowsTheProductVersionAndNoticeAndNoReturnsToTheMainWindow) {
    HWND form1 = StartToTheMainWindow();

    e2e::Click(Form1Control(form1, L"cmdAbout"));
    const e2e::MessageBoxView about = program->WaitForMessageBox(L"About Quelvane 2");
    EXPECT_EQ(about.text, L"Quelvane v2.3\r\n\r\n\r\n\r\n" + LegalCopyrightOf(copy.Executable()) +
                              L"\r\n\r\n\r\nYou wanna visit ours homepage?");
    EXPECT_EQ(about.buttons, (std::vector<int>{IDYES, IDNO}));

    // Never Yes: that opens the maker's home page.
    e2e::Answer(about, IDNO);
    ASSERT_TRUE(e2e::WaitUntil([&] { return !IsWindow(about.hwnd); })) << "the About box stayed open";
    EXPECT_FALSE(program->HasEnded());
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::IsEnabled(form1); })) << "the main window stayed disabled";
    EXPECT_EQ(program->VisibleWindow(MainTitle), form1);
    CloseAndExpectTheEnd(form1);
}

TEST_F(ProgramEndToEnd, TheFirstStartHasVisualStylesWritesTheManifestAndTheNextStartLeavesItAlone) {
    ASSERT_FALSE(ReadFileState(copy.Manifest()).has_value());
    Start();
    HWND form1 = program->WaitForWindow(MainTitle);
    // No file was there when the program started: its embedded manifest alone
    // can have brought the common controls 6.0.
    const std::wstring comctl32 = program->LoadedModule(L"comctl32.dll");
    EXPECT_TRUE(IsCommonControls6(comctl32)) << e2e::Narrow(comctl32);
    // Written before the login decided anything, so already there now.
    EXPECT_TRUE(ReadFileState(copy.Manifest()).has_value());
    CloseAndExpectTheEnd(form1);

    const std::optional<FileState> written = ReadFileState(copy.Manifest());
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->bytes, std::string(styles::ManifestText));
    EXPECT_EQ(written->attributes, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));

    // The second start runs with the manifest applied, and must not touch it.
    program.reset();
    Start();
    CloseAndExpectTheEnd(program->WaitForWindow(MainTitle));
    ExpectUnchanged(*written, ReadFileState(copy.Manifest()));
}

TEST_F(ProgramEndToEnd, AnExistingDifferentManifestIsLeftAsItIs) {
    const std::string other =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
        "<assemblyIdentity version=\"2.0.0.0\" processorArchitecture=\"X86\" name=\"other\" type=\"win32\"/>\r\n"
        "</assembly>\r\n";
    {
        HANDLE file = CreateFileW(copy.Manifest().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        const BOOL ok = WriteFile(file, other.data(), static_cast<DWORD>(other.size()), &written, nullptr);
        CloseHandle(file);
        ASSERT_TRUE(ok && written == other.size());
        ASSERT_TRUE(SetFileAttributesW(copy.Manifest().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    }
    const std::optional<FileState> before = ReadFileState(copy.Manifest());
    ASSERT_TRUE(before.has_value());
    ASSERT_EQ(before->bytes, other);

    Start();
    CloseAndExpectTheEnd(program->WaitForWindow(MainTitle));
    ExpectUnchanged(*before, ReadFileState(copy.Manifest()));
}

TEST_F(ProgramEndToEnd, TheSavedConfigurationIsShownAgainAfterTheLoginOfTheNextStart) {
    HWND form1 = StartToTheMainWindow();
    ChooseAndSave(form1, L"Tulip");
    CloseAndExpectTheEnd(form1);

    program.reset();
    Start();
    LogIn(L"Tulip");
    form1 = program->WaitForWindow(MainTitle);
    WaitUntilSettled(form1);

    EXPECT_FALSE(e2e::IsChecked(Form1Control(form1, L"optSecurity", 0)));
    EXPECT_TRUE(e2e::IsChecked(Form1Control(form1, L"optSecurity", 1)));
    EXPECT_EQ(TextOf(Form1Control(form1, L"cboDrive")), L"C: and D:");
    EXPECT_EQ(TextOf(Form1Control(form1, L"cboRestrict")), L"Current user");
    EXPECT_TRUE(e2e::IsChecked(Form1Control(form1, L"chkCMD")));
    EXPECT_FALSE(e2e::IsChecked(Form1Control(form1, L"chkRegistry")));
    EXPECT_EQ(TextOf(Form1Control(form1, L"txtPassword")), L"Tulip");
    EXPECT_EQ(TextOf(Form1Control(form1, L"txtPassword2")), L"Tulip");
    EXPECT_EQ(TextOf(Form1Control(form1, L"lblLoading")), status::Compatible);
    CloseAndExpectTheEnd(form1);
}

TEST_F(ProgramEndToEnd, ARefusedWriteIsReportedAsAFailureAndNeverAsASuccess) {
    witness::WriteString(HiveLocalMachine, PasswordKey, L"MyPassword", L"");
    witness::WriteDword(HiveCurrentUser, ExplorerKey, L"NoDrives", 5);
    HWND form1 = StartToTheMainWindow();
    // The administrator's own policies key turns read-only while the program runs.
    witness::MakeKeyReadOnly(HiveCurrentUser, ExplorerKey);

    e2e::Click(Form1Control(form1, L"optSecurity", 1));
    e2e::Choose(Form1Control(form1, L"cboDrive"), L"A:");
    e2e::Click(Form1Control(form1, L"cmdSave"));

    const e2e::MessageBoxView report = program->WaitForMessageBox(MainTitle);
    const std::string text = e2e::Narrow(report.text);
    EXPECT_NE(text.find("HKEY_CURRENT_USER\\" + e2e::Narrow(ExplorerKey)), std::string::npos) << text;
    EXPECT_NE(text.find("access denied (5)"), std::string::npos) << text;
    EXPECT_NE(text.find("Changes already made before it:"), std::string::npos) << text;
    EXPECT_EQ(report.buttons, std::vector<int>{IDOK});

    // Longer than the hundred ticks of a whole display: none of them runs
    // behind the report.
    HWND status = Form1Control(form1, L"lblLoading");
    HWND percentage = Form1Control(form1, L"lblLoading2");
    EXPECT_FALSE(e2e::WaitUntil([&] { return TextOf(status) == status::Successful; }, std::chrono::seconds(4)))
        << "the window reports success behind the failure";
    EXPECT_NE(TextOf(percentage), L"100%");
    ExpectDword(HiveCurrentUser, ExplorerKey, L"NoDrives", 5);

    e2e::Answer(report, IDOK);
    const std::optional<DWORD> exitCode = program->WaitForExit();
    ASSERT_TRUE(exitCode.has_value()) << "the program did not end after its failure report";
    EXPECT_EQ(*exitCode, 1u);
}

// Every top-level window hears of a save that changed a policy, once, as
// after Group Policy applies one: here the driver's own, in another process.
TEST_F(ProgramEndToEnd, ASaveThatChangedAPolicyIsAnnouncedToOtherProgramsOnceAndOneThatChangedNoneIsNot) {
    const e2e::PolicyChangeListener listener;
    witness::WriteString(HiveLocalMachine, PasswordKey, L"MyPassword", L"");
    HWND form1 = StartToTheMainWindow();

    e2e::Choose(Form1Control(form1, L"cboDrive"), L"C:");
    SaveAndWaitForSuccess(form1);
    EXPECT_TRUE(e2e::WaitUntil([&] { return listener.Notices() > 0; })) << "no announcement within 20 s";

    // The settings key turns read-only: the next save fails before any policy.
    witness::MakeKeyReadOnly(HiveLocalMachine, SettingsKey);
    e2e::Choose(Form1Control(form1, L"cboDrive"), L"D:");
    e2e::Click(Form1Control(form1, L"cmdSave"));
    const e2e::MessageBoxView report = program->WaitForMessageBox(MainTitle);
    EXPECT_NE(report.text.find(L"HKEY_LOCAL_MACHINE\\" + SettingsKey), std::wstring::npos) << e2e::Narrow(report.text);
    // Seconds longer than the first announcement took to come round.
    EXPECT_FALSE(e2e::WaitUntil([&] { return listener.Notices() > 1; }, std::chrono::seconds(3)))
        << "the failed save was announced";
    e2e::Answer(report, IDOK);
    EXPECT_EQ(program->WaitForExit(), std::optional<DWORD>(1));

    EXPECT_EQ(listener.Notices(), 1);
    ExpectDword(HiveCurrentUser, ExplorerKey, L"NoViewOnDrive", Mask(L"C:"));
}

TEST_F(ProgramEndToEnd, AStoredMaskWithoutARowIsShownAsACustomItemAndASaveKeepsIt) {
    witness::WriteString(HiveLocalMachine, PasswordKey, L"MyPassword", L"");
    witness::WriteDword(HiveLocalMachine, SettingsKey, L"SecurityMode", 1);
    witness::WriteString(HiveLocalMachine, SettingsKey, L"Restriction", L"Current user");
    witness::WriteDword(HiveCurrentUser, ExplorerKey, L"NoDrives", 15);
    HWND form1 = StartToTheMainWindow();

    HWND drives = Form1Control(form1, L"cboDrive");
    EXPECT_EQ(TextOf(drives), L"Custom: A:, B:, C:, D:");
    EXPECT_EQ(SendMessageW(drives, CB_GETCOUNT, 0, 0), 34);

    e2e::Click(Form1Control(form1, L"chkCMD"));
    SaveAndWaitForSuccess(form1);

    ExpectDword(HiveCurrentUser, ExplorerKey, L"NoDrives", 15);
    ExpectDword(HiveCurrentUser, ExplorerKey, L"DisallowRun", 1);
    ExpectNoValue(HiveCurrentUser, ExplorerKey, L"NoViewOnDrive");
    CloseAndExpectTheEnd(form1);
}

// The list as the platform's own policy editor leaves it for "Don't run
// specified Windows applications": the program's box stays its own.
TEST_F(ProgramEndToEnd, AnotherEditorsListOfProgramsIsKeptAndTheCommandPromptBoxTellsTheTruth) {
    const std::vector<std::pair<std::wstring, std::wstring>> theirs{{L"1", L"notepad.exe"}, {L"2", L"regedit.exe"}};
    witness::WriteString(HiveLocalMachine, PasswordKey, L"MyPassword", L"");
    witness::WriteDword(HiveCurrentUser, ExplorerKey, L"DisallowRun", 1);
    for (const auto& [name, data] : theirs) witness::WriteString(HiveCurrentUser, DisallowRunKey, name, data);
    HWND form1 = StartToTheMainWindow();
    EXPECT_FALSE(e2e::IsChecked(Form1Control(form1, L"chkCMD")));

    e2e::Choose(Form1Control(form1, L"cboDrive"), L"C:");
    SaveAndWaitForSuccess(form1);
    ExpectDword(HiveCurrentUser, ExplorerKey, L"NoViewOnDrive", Mask(L"C:"));
    ExpectListInForce(theirs);

    e2e::Click(Form1Control(form1, L"chkCMD"));
    SaveAndWaitForSuccess(form1);
    ExpectListInForce({theirs[0], theirs[1], {L"3", L"cmd.exe"}});
    CloseAndExpectTheEnd(form1);

    program.reset();
    form1 = StartToTheMainWindow();
    EXPECT_TRUE(e2e::IsChecked(Form1Control(form1, L"chkCMD")));

    e2e::Choose(Form1Control(form1, L"cboRestrict"), L"All users");
    SaveAndWaitForSuccess(form1);
    ExpectDword(HiveLocalMachine, ExplorerKey, L"NoViewOnDrive", Mask(L"C:"));
    ExpectListInForce(theirs);
    CloseAndExpectTheEnd(form1);
}
