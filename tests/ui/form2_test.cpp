#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "tests/support/memory_registry.h"
#include "tests/support/registry_keys.h"
#include "tests/support/login_session.h"
#include "text/utf.h"

using registry::HiveLocalMachine;
using State = ui::Form2::StateKind;
using Calls = std::vector<std::string>;

namespace {

using keys::PasswordKey;
const Calls Rejected = {"ShowMessage Login is failure", "Focus txtPassword"};
const Calls Accepted = {"Closed", "ShowForm1"};

// The dialog over an in-memory registry.  The shell's record holds, in one
// sequence, the shell's calls and what the dialog asks of its host.
class LoginDialog : public ::testing::Test, protected LoginSession {
protected:
    std::size_t registryCallsBeforeInitXp = 99;

    void Create() {
        auto record = [this](const char* call) { return [this, call] { shell.calls.push_back(call); }; };
        form = std::make_unique<ui::Form2>(
            reg, shell,
            [this] {
                registryCallsBeforeInitXp = reg.Log().size();
                shell.calls.push_back("InitXp");
            },
            record("ShowForm1"));
        form->Closed = record("Closed");
        form->txtPassword.FocusRequested = record("Focus txtPassword");
    }

    void Start() {
        Create();
        form->Form_Load();
    }

    // Types the text, presses OK and answers what the click did.
    Calls TryPassword(const std::wstring& text) {
        form->txtPassword.SetText(text);
        shell.calls.clear();
        form->cmdOK.Press();
        return shell.calls;
    }
};

}  // namespace

TEST_F(LoginDialog, OpensForm1AtOnceWithoutShowingItselfWhenNoPasswordCanBeRead) {
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"empty password", [this] { StorePassword(std::wstring()); }},
        {"no value", [this] { reg.SeedKey(HiveLocalMachine, PasswordKey); }},
        {"no key at all", [] {}},
        {"a number instead of a string", [this] { StorePassword(std::int32_t{1234}); }},
    };
    for (const auto& [situation, arrange] : cases) {
        reg = registry::MemoryRegistry();
        shell = RecordingShell();
        arrange();
        Start();

        EXPECT_EQ(form->State(), State::Closed) << situation;
        EXPECT_EQ(shell.calls, (Calls{"InitXp", "Closed", "ShowForm1"})) << situation;
    }
}

TEST_F(LoginDialog, RunsInitXpBeforeAnyRegistryCallThenCreatesThePasswordKeyUnderLocalMachine) {
    reg.Hive = registry::HiveCurrentUser;
    Start();

    EXPECT_EQ(registryCallsBeforeInitXp, 0u);
    EXPECT_TRUE(reg.HasKey(HiveLocalMachine, L"Software\\Ploz"));
    EXPECT_EQ(reg.DescribedLog(),
              (std::vector<std::string>{"HKLM CreateRegKey Software\\Ploz\\psw",
                                        "HKLM GetRegString Software\\Ploz\\psw|MyPassword (failed)"}));
}

TEST_F(LoginDialog, WaitsForAStoredPasswordAndRejectsEveryInexactTextAsOftenAsItIsTried) {
    StorePassword(std::wstring(L"Secret"));
    Start();
    EXPECT_EQ(form->State(), State::Waiting);
    EXPECT_EQ(shell.calls, Calls{"InitXp"});

    // The last wrong text twice: a repeated attempt is checked again.
    for (const wchar_t* wrong :
         {L"", L"secret", L"SECRET", L" Secret", L"Secret ", L"Secre", L"Secret\t", L"Secret\t"}) {
        EXPECT_EQ(TryPassword(wrong), Rejected) << text::ToUtf8(wrong);
        EXPECT_EQ(form->txtPassword.Text(), wrong) << "the typed text stays";
    }
    EXPECT_EQ(shell.messages.back(),
              (policy::MessageBoxRequest{L"Password invalid!", L"Login is failure", policy::MessageIcon::Warning,
                                         policy::MessageButtons::Ok}));
    EXPECT_EQ(TryPassword(L"Secret"), Accepted) << "no lock-out after any number of attempts";
    EXPECT_EQ(TryPassword(L"Secret"), Calls{}) << "a late Enter opens Form1 no second time";
}

TEST_F(LoginDialog, AOneSpacePasswordRejectsAnEmptyBoxAndAcceptsASingleSpace) {
    StorePassword(std::wstring(L" "));
    Start();
    EXPECT_EQ(TryPassword(L""), Rejected);
    EXPECT_EQ(TryPassword(L"  "), Rejected);
    EXPECT_EQ(TryPassword(L" "), Accepted);
}

TEST_F(LoginDialog, ComparesWithThePasswordAsItIsAtTheClick) {
    StorePassword(std::wstring(L"old"));
    Start();
    StorePassword(std::wstring(L"new"));
    EXPECT_EQ(TryPassword(L"old"), Rejected);

    reg.Hive = HiveLocalMachine;
    EXPECT_EQ(reg.DeleteRegValue(PasswordKey, L"MyPassword"), registry::ResultSuccess);
    EXPECT_EQ(TryPassword(L"anything"), Accepted) << "an unreadable password lets any text in";
}

TEST_F(LoginDialog, AnUnreachableRegistryRaisesOutOfTheLoadAndOpensNothing) {
    reg.SetUnreachable(true);
    Create();
    EXPECT_THROW(form->Form_Load(), registry::RegistryFailure);
    EXPECT_EQ(shell.calls, Calls{"InitXp"});
    EXPECT_EQ(form->State(), State::Loading);
}

TEST_F(LoginDialog, CancelEndsTheProgramWithoutEverShowingForm1) {
    StorePassword(std::wstring(L"pw"));
    Start();
    form->txtPassword.SetText(L"pw");
    form->cmdCancel.Press();
    EXPECT_EQ(shell.calls, (Calls{"InitXp", "EndProgram"}));
}

TEST_F(LoginDialog, TheCloseCommandClosesTheDialogAndEndsTheProgramWithoutForm1) {
    StorePassword(std::wstring(L"pw"));
    Start();
    form->CloseCommand();
    EXPECT_EQ(shell.calls, (Calls{"InitXp", "Closed", "EndProgram"}));
}
