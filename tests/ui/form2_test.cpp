#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "registry/memory_registry.h"
#include "tests/ui/recording_shell.h"
#include "ui/form2.h"

using registry::HiveLocalMachine;
using State = ui::Form2::StateKind;
using Calls = std::vector<std::string>;

namespace {

const std::wstring PasswordKey = L"Software\\Ploz\\psw";

// The dialog with an in-memory registry and a shell that records, in one
// sequence, the shell's calls and what the dialog asks of its host.
class LoginDialog : public ::testing::Test {
protected:
    registry::MemoryRegistry reg;
    RecordingShell shell;
    std::unique_ptr<ui::Form2> form;

    void StorePassword(const registry::StoredValue& value) { reg.Seed(HiveLocalMachine, PasswordKey, L"MyPassword", value); }

    void Create() {
        form = std::make_unique<ui::Form2>(
            reg, shell, [this] { Record("InitXp"); }, [this] { Record("ShowForm1"); });
        form->Closed.Subscribe([this] { Record("Closed"); });
        form->txtPassword.FocusRequested.Subscribe([this] { Record("Focus txtPassword"); });
    }

    void Start() {
        Create();
        form->Form_Load();
    }

    // Types the text and presses OK; answers the calls that the click made.
    Calls TryPassword(const std::wstring& text) {
        form->txtPassword.SetText(text);
        shell.calls.clear();
        form->cmdOK.Press();
        return shell.calls;
    }

    void Record(const char* call) {
        shell.calls.push_back(call);
        if (call == std::string("InitXp")) initXpSawRegistryCalls = reg.Log().size();
    }

    std::size_t initXpSawRegistryCalls = 0;
};

const Calls Rejected = {"ShowMessage Login is failure", "Focus txtPassword"};
const Calls Accepted = {"Closed", "ShowForm1"};

}  // namespace

TEST_F(LoginDialog, OpensForm1AtOnceWithoutShowingItselfWhenNoPasswordCanBeRead) {
    struct Case {
        const char* situation;
        std::function<void()> arrange;
    };
    const Case cases[] = {
        {"empty password", [this] { StorePassword(std::wstring()); }},
        {"no value", [this] { reg.SeedKey(HiveLocalMachine, PasswordKey); }},
        {"no key at all", [] {}},
        {"a number instead of a string", [this] { StorePassword(std::int32_t{1234}); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        reg = registry::MemoryRegistry();
        shell = RecordingShell();
        c.arrange();
        Start();

        EXPECT_EQ(form->State(), State::Closed);
        EXPECT_EQ(shell.calls, (Calls{"InitXp", "Closed", "ShowForm1"}));
        EXPECT_TRUE(shell.messages.empty());
    }
}

TEST_F(LoginDialog, RunsInitXpFirstThenCreatesThePasswordKeyUnderLocalMachine) {
    reg.Hive = registry::HiveCurrentUser;
    Start();

    EXPECT_EQ(initXpSawRegistryCalls, 0u);
    EXPECT_EQ(reg.Hive.Get(), HiveLocalMachine);
    EXPECT_EQ(form->PasswordKey, PasswordKey);
    EXPECT_TRUE(reg.HasKey(HiveLocalMachine, L"Software\\Ploz"));
    EXPECT_TRUE(reg.HasKey(HiveLocalMachine, PasswordKey));
    EXPECT_EQ(reg.DescribedLog(), (std::vector<std::string>{"HKLM CreateRegKey Software\\Ploz\\psw",
                                                            "HKLM GetRegString Software\\Ploz\\psw|MyPassword (failed)"}));
}

TEST_F(LoginDialog, WaitsForAStoredPasswordAndOpensForm1OnlyAfterClosingOnTheExactText) {
    StorePassword(std::wstring(L"Secret"));
    Start();
    EXPECT_EQ(form->State(), State::Waiting);
    EXPECT_EQ(shell.calls, Calls{"InitXp"});

    for (const wchar_t* wrong : {L"", L"secret", L"SECRET", L" Secret", L"Secret ", L"Secre", L"Secret\t"}) {
        SCOPED_TRACE(registry::ToUtf8(wrong));
        EXPECT_EQ(TryPassword(wrong), Rejected);
        EXPECT_EQ(form->txtPassword.Text(), wrong) << "the typed text stays";
        EXPECT_EQ(form->State(), State::Waiting);
    }
    EXPECT_EQ(shell.messages.back(), (policy::MessageBoxRequest{L"Password invalid!", L"Login is failure",
                                                                 policy::MessageIcon::Warning,
                                                                 policy::MessageButtons::Ok}));

    EXPECT_EQ(TryPassword(L"Secret"), Accepted);
    EXPECT_EQ(form->State(), State::Closed);
}

TEST_F(LoginDialog, AOneSpacePasswordRejectsAnEmptyBoxAndAcceptsASingleSpace) {
    StorePassword(std::wstring(L" "));
    Start();
    ASSERT_EQ(form->State(), State::Waiting);

    EXPECT_EQ(TryPassword(L""), Rejected);
    EXPECT_EQ(TryPassword(L"  "), Rejected);
    EXPECT_EQ(TryPassword(L" "), Accepted);
}

TEST_F(LoginDialog, RejectsTheSameWrongTextAgainAndAgainWithoutLockingOut) {
    StorePassword(std::wstring(L"pw"));
    Start();
    form->txtPassword.SetText(L"nope");
    shell.calls.clear();
    for (int attempt = 0; attempt < 25; ++attempt) form->cmdOK.Press();

    EXPECT_EQ(std::count(shell.calls.begin(), shell.calls.end(), "ShowMessage Login is failure"), 25);
    EXPECT_EQ(TryPassword(L"pw"), Accepted);
}

TEST_F(LoginDialog, ReadsThePasswordAnewOnEveryClick) {
    StorePassword(std::wstring(L"old"));
    Start();
    StorePassword(std::wstring(L"new"));

    EXPECT_EQ(TryPassword(L"old"), Rejected);
    EXPECT_EQ(TryPassword(L"new"), Accepted);
}

TEST_F(LoginDialog, LetsAnyTextInWhenThePasswordCannotBeReadAtTheClick) {
    StorePassword(std::wstring(L"pw"));
    Start();
    reg.Hive = HiveLocalMachine;
    reg.DeleteRegValue(PasswordKey, L"MyPassword");
    EXPECT_EQ(TryPassword(L"anything"), Accepted);

    reg = registry::MemoryRegistry();
    StorePassword(std::wstring(L"pw"));
    Start();
    reg.SetUnreachable(true);
    EXPECT_EQ(TryPassword(L""), Accepted);
}

TEST_F(LoginDialog, OpensForm1OnlyOnceWhenOkArrivesAgainAfterClosing) {
    StorePassword(std::wstring(L"pw"));
    Start();
    EXPECT_EQ(TryPassword(L"pw"), Accepted);
    EXPECT_EQ(TryPassword(L"pw"), Calls{});
}

TEST_F(LoginDialog, AnUnreachableRegistryRaisesOutOfTheLoadAndOpensNothing) {
    reg.SetUnreachable(true);
    Create();
    EXPECT_THROW(form->Form_Load(), registry::RegistryFailure);

    EXPECT_EQ(shell.calls, Calls{"InitXp"});
    EXPECT_NE(form->State(), State::Waiting);
    EXPECT_NE(form->State(), State::Closed);
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
    EXPECT_EQ(form->State(), State::Closed);
}

TEST(Form2Layout, KeepsEveryControlInsideTheDialogAndThePasswordBoxInsideItsFrame) {
    const auto& layout = ui::Form2Layout;
    for (const auto& row : layout.rows) {
        SCOPED_TRACE(registry::ToUtf8(std::wstring(row.name)));
        EXPECT_GE(row.left, 0);
        EXPECT_GE(row.top, 0);
        EXPECT_LE(row.left + row.width, layout.clientWidth);
        EXPECT_LE(row.top + row.height, layout.clientHeight);
        EXPECT_TRUE(row.container.empty());
        EXPECT_EQ(row.defaultButton, row.name == L"cmdOK");
    }
    const auto& frame = ui::FindRow(layout, L"Frame1");
    const auto& box = ui::FindRow(layout, L"txtPassword");
    EXPECT_GT(box.left, frame.left);
    EXPECT_GT(box.top, frame.top);
    EXPECT_LT(box.left + box.width, frame.left + frame.width);
    EXPECT_LT(box.top + box.height, frame.top + frame.height);
    EXPECT_TRUE(box.password);
}
