// A save that meets a failure at any of its registry operations: raised by the
// provider, or refused by the registry through its result code.  Whatever the
// scope, mode and optional choices, the window never reports success, the
// save stops at the failing operation, the report names what it had already
// changed, and the change is announced once when a policy value was among it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/drive_masks.h"
#include "tests/support/status_texts.h"
#include "tests/support/window_choice.h"
#include "tests/support/main_window_session.h"
#include "text/utf.h"

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;
using registry::RegistryFailure;

using namespace keys;
using enum policy::SecurityOption;
using enum values::CheckState;

namespace {

const std::wstring Successful(status::Successful);

// The drive item of every choice here: the failures do not depend on it.
const std::wstring Drive = L"C: and D:";

struct Choice {
    WindowChoice window;
    bool otherEditor = false;  // the DisallowRun list is another editor's
};

std::string Describe(const Choice& choice) {
    return text::ToUtf8(choice.window.scope) + ", mode " + std::to_string(policy::StoredNumber(choice.window.mode)) +
           ", options " + std::to_string(policy::StoredNumber(choice.window.cmd)) +
           std::to_string(policy::StoredNumber(choice.window.registryTools)) +
           (choice.otherEditor ? ", another editor's list" : "");
}

// One window over its own registry, in the state a user leaves it before Save.
struct Session : MainWindowSession {
    explicit Session(const Choice& choice) {
        // Values of both scopes and modes, so that every deletion has
        // something to remove, and an old DisallowRun list.
        for (registry::Root root : {HiveCurrentUser, HiveLocalMachine}) {
            reg.Seed(root, ExplorerKey, L"NoDrives", Mask(L"A:"));
            reg.Seed(root, ExplorerKey, L"NoViewOnDrive", Mask(L"B:"));
        }
        reg.Seed(HiveCurrentUser, ExplorerKey, L"DisallowRun", std::int32_t{1});
        reg.Seed(HiveCurrentUser, DisallowRunKey, L"1", std::wstring(choice.otherEditor ? L"notepad.exe" : L"cmd.exe"));
        LoadAndShow();
        form.cboRestrict.SetText(choice.window.scope);
        form.SelectSecurity(choice.window.mode);
        form.cboDrive.SetText(choice.window.drive);
        if (form.chkCMD.Enabled()) form.chkCMD.SetValue(choice.window.cmd);
        if (form.chkRegistry.Enabled()) form.chkRegistry.SetValue(choice.window.registryTools);
        form.txtPassword.SetText(L"pw");
        form.txtPassword2.SetText(L"pw");
        reg.ClearLog();
        // As on Windows, where ticks run while each call waits for the
        // service: the bar fills long before a late operation.
        reg.WhileAnswering([this] { Tick(10); });
    }

    void TickPastTheEnd() { Tick(200); }
    bool ShowsSuccess() const {
        return form.lblLoading.Caption() == Successful || form.lblLoading2.Caption() == L"100%" ||
               form.pgbLoading.Value() == form.pgbLoading.Max();
    }
};

bool IsChange(const registry::OperationRecord& record) {
    return record.operation != L"CheckRegAccess" && record.operation != L"GetRegString" &&
           record.operation != L"GetRegDword" && record.operation != L"EnumRegValues";
}

// A change that the registry carried out to a policy value or list: an empty
// key created is none, and neither are the settings and the password.
bool ChangedAPolicy(const registry::OperationRecord& record) {
    return IsChange(record) && !record.failed && record.result == registry::ResultSuccess &&
           record.operation != L"CreateRegKey" &&
           (record.key == ExplorerKey || record.key == DisallowRunKey || record.key == SystemKey);
}

}  // namespace

TEST(SaveFailure, NoFailureAtAnyOperationEverEndsInSuccessAndTheReportListsWhatWasChanged) {
    std::vector<Choice> choices;
    for (const wchar_t* scope : {L"Current user", L"All users"})
        for (policy::SecurityOption mode : {PreventAccess, HideDrives})
            for (values::CheckState options : {Unchecked, Checked})
                for (bool otherEditor : {false, true})
                    choices.push_back(
                        {.window =
                             {.scope = scope, .mode = mode, .drive = Drive, .cmd = options, .registryTools = options},
                         .otherEditor = otherEditor});

    for (const Choice& choice : choices) {
        // The whole save first, to know its operations.
        std::size_t operations = 0;
        {
            Session clean(choice);
            clean.form.cmdSave.Press();
            operations = clean.reg.Log().size();
            clean.TickPastTheEnd();
            ASSERT_EQ(clean.form.lblLoading.Caption(), Successful) << Describe(choice);
            EXPECT_EQ(clean.Announcements(), 1) << Describe(choice);
        }
        ASSERT_GE(operations, 15u) << Describe(choice);

        for (std::size_t failing = 1; failing <= operations; ++failing) {
            for (bool raised : {true, false}) {
                const std::string where =
                    Describe(choice) + ", operation " + std::to_string(failing) + (raised ? " raises" : " is refused");
                Session session(choice);
                if (raised)
                    session.reg.FailOperation(static_cast<int>(failing));
                else
                    session.reg.RefuseOperation(static_cast<int>(failing));

                std::optional<std::vector<std::wstring>> reported;
                try {
                    session.form.cmdSave.Press();
                } catch (const RegistryFailure& failure) {
                    reported = failure.ChangesBefore();
                    ASSERT_TRUE(reported.has_value()) << where;
                }
                const auto& log = session.reg.Log();
                const auto& failed = log.back();
                // A refused rights check is the rights message, not a failure;
                // a refused deletion of what is missing anyway is no failure.
                const bool expectFailure = raised || failed.operation != L"CheckRegAccess";
                EXPECT_EQ(reported.has_value(), expectFailure) << where;
                if (!expectFailure) {
                    ASSERT_EQ(session.shell.messages.size(), 1u) << where;
                    EXPECT_EQ(session.shell.messages[0].title, L"Save process is failure") << where;
                }

                EXPECT_FALSE(session.form.tmrLoading.Running()) << where;
                session.TickPastTheEnd();
                EXPECT_FALSE(session.ShowsSuccess()) << where;
                // The save stopped at the failing operation.
                EXPECT_EQ(log.size(), failing) << where;
                // Other programs hear of the policies that it changed before it.
                const bool policyChanged = std::any_of(log.begin(), log.end() - 1, ChangedAPolicy);
                EXPECT_EQ(session.Announcements(), policyChanged ? 1 : 0) << where;

                if (!reported) continue;
                // One line per change carried out before the failure, in order,
                // naming its root, key and value.
                std::vector<const registry::OperationRecord*> changes;
                for (std::size_t i = 0; i + 1 < log.size(); ++i)
                    if (IsChange(log[i]) && log[i].result == registry::ResultSuccess) changes.push_back(&log[i]);
                ASSERT_EQ(reported->size(), changes.size()) << where;
                for (std::size_t i = 0; i < changes.size(); ++i) {
                    const std::wstring& line = (*reported)[i];
                    const std::wstring place = registry::RootName(changes[i]->root) + L"\\" + changes[i]->key;
                    EXPECT_NE(line.find(place), std::wstring::npos) << where << ": " << text::ToUtf8(line);
                    if (!changes[i]->valueName.empty()) {
                        EXPECT_NE(line.find(L"\"" + changes[i]->valueName + L"\""), std::wstring::npos)
                            << where << ": " << text::ToUtf8(line);
                    }
                }
            }
        }
    }
}

TEST(SaveFailure, TheReportSaysWhatTheSaveHadChangedAndHidesThePassword) {
    Session session({.window = {.scope = L"Current user", .mode = HideDrives, .drive = Drive, .cmd = Checked}});
    session.reg.FailOperation(11);  // after the all-users drive values are gone
    try {
        session.form.cmdSave.Press();
        FAIL() << "the save must fail";
    } catch (const RegistryFailure& failure) {
        const std::wstring text = failure.Describe();
        EXPECT_EQ(text.find(L"pw"), std::wstring::npos);
        EXPECT_EQ(
            text,
            L"DeleteRegValue failed on HKEY_LOCAL_MACHINE\\" + ExplorerKey +
                L", value \"NoViewOnDrive\": the registry provider failed the call\r\n\r\n"
                L"Changes already made before it:\r\n"
                L"- created key HKEY_LOCAL_MACHINE\\Software\\Tessmor Software\\Quelvane 2\r\n"
                L"- set HKEY_LOCAL_MACHINE\\Software\\Tessmor Software\\Quelvane 2, value \"SecurityMode\" to 1\r\n"
                L"- set HKEY_LOCAL_MACHINE\\Software\\Tessmor Software\\Quelvane 2, value \"Restriction\" to "
                L"\"Current user\"\r\n"
                L"- created key HKEY_LOCAL_MACHINE\\Software\\Ploz\\psw\r\n"
                L"- set HKEY_LOCAL_MACHINE\\Software\\Ploz\\psw, value \"MyPassword\" to the new password\r\n"
                L"- removed HKEY_LOCAL_MACHINE\\" +
                ExplorerKey + L", value \"NoDrives\"");
    }
}

TEST(SaveFailure, AFailureAtTheFirstOperationSaysThatNothingWasChanged) {
    Session session({.window = {.scope = L"All users", .mode = PreventAccess, .drive = Drive}});
    session.reg.SetUnreachable(true);
    try {
        session.form.cmdSave.Press();
        FAIL() << "the save must fail";
    } catch (const RegistryFailure& failure) {
        EXPECT_NE(failure.Describe().find(L"Nothing had been changed in the registry before it."), std::wstring::npos);
    }
    EXPECT_FALSE(session.form.tmrLoading.Running());
}

TEST(SaveFailure, ARefusedWriteIsAFailureAndTheStoredValueStays) {
    Session session({.window = {.scope = L"Current user", .mode = HideDrives, .drive = Drive}});
    // The Explorer policies key of the user has been made read-only.
    session.reg.SetRights(HiveCurrentUser, ExplorerKey, registry::RightQueryValue);
    EXPECT_THROW(session.form.cmdSave.Press(), RegistryFailure);
    EXPECT_FALSE(session.form.tmrLoading.Running());
    session.TickPastTheEnd();
    EXPECT_FALSE(session.ShowsSuccess());
    EXPECT_EQ(session.reg.Value(HiveCurrentUser, ExplorerKey, L"NoDrives"), registry::StoredValue(Mask(L"A:")));
}

TEST(SaveFailure, DeletingWhatIsMissingAndAKeyThatKeepsASubkeyAreNoFailure) {
    Session session({.window = {.scope = L"All users", .mode = HideDrives, .drive = Drive}});
    // Nothing of the user's to remove, and a DisallowRun list with a subkey
    // of another tool's: the key stays, as it always has.
    session.reg.Seed(HiveCurrentUser, ExplorerKey + L"\\DisallowRun\\Other", L"x", std::int32_t{1});
    EXPECT_NO_THROW(session.form.cmdSave.Press());
    EXPECT_TRUE(session.reg.HasKey(HiveCurrentUser, DisallowRunKey));
    session.TickPastTheEnd();
    EXPECT_EQ(session.form.lblLoading.Caption(), Successful);
}
