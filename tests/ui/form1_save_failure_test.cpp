// A save that meets a failure at any of its registry operations: raised by the
// provider, or refused by the registry through its result code.  Whatever the
// scope, mode and optional choices, the window never reports success, the
// save stops at the failing operation, and the report names what it had
// already changed.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "registry/memory_registry.h"
#include "tests/support/fake_version_probe.h"
#include "tests/support/registry_keys.h"
#include "tests/ui/recording_shell.h"
#include "text/utf.h"
#include "ui/form1.h"

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;
using registry::RegistryFailure;

using namespace keys;

namespace {

const std::wstring Successful(ui::StatusSuccessful);

struct Choice {
    std::wstring scope;
    int mode;
    int cmd;
    int registryTools;
    bool otherEditor = false;  // the DisallowRun list is another editor's
};

std::string Describe(const Choice& choice) {
    return text::ToUtf8(choice.scope) + ", mode " + std::to_string(choice.mode) + ", options " +
           std::to_string(choice.cmd) + std::to_string(choice.registryTools) +
           (choice.otherEditor ? ", another editor's list" : "");
}

// One window over its own registry, in the state a user leaves it before Save.
struct Session {
    registry::MemoryRegistry reg;
    FakeVersionProbe probe{L"5.1.2600"};
    RecordingShell shell;
    ui::Form1 form{reg, probe, shell};

    explicit Session(const Choice& choice) {
        reg.SeedKey(HiveLocalMachine, RightsKey);
        // Values of both scopes and modes, so that every deletion has
        // something to remove, and an old DisallowRun list.
        for (registry::Root root : {HiveCurrentUser, HiveLocalMachine}) {
            reg.Seed(root, ExplorerKey, L"NoDrives", std::int32_t{1});
            reg.Seed(root, ExplorerKey, L"NoViewOnDrive", std::int32_t{2});
        }
        reg.Seed(HiveCurrentUser, ExplorerKey, L"DisallowRun", std::int32_t{1});
        reg.Seed(HiveCurrentUser, DisallowRunKey, L"1", std::wstring(choice.otherEditor ? L"notepad.exe" : L"cmd.exe"));
        form.Form_Load();
        form.Form_Activate();
        form.cboRestrict.SetText(choice.scope);
        form.optSecurity[choice.mode].Select();
        form.cboDrive.SetText(L"C: and D:");
        if (form.chkCMD.Enabled()) form.chkCMD.SetValue(static_cast<ui::CheckState>(choice.cmd));
        if (form.chkRegistry.Enabled()) form.chkRegistry.SetValue(static_cast<ui::CheckState>(choice.registryTools));
        form.txtPassword.SetText(L"pw");
        form.txtPassword2.SetText(L"pw");
        reg.ClearLog();
    }

    void TickPastTheEnd() {
        for (int i = 0; i < 200; ++i) form.tmrLoading.Elapse();
    }
    bool ShowsSuccess() const {
        return form.lblLoading.Caption() == Successful || form.lblLoading2.Caption() == L"100%" ||
               form.pgbLoading.Value() == form.pgbLoading.Max();
    }
};

bool IsChange(const registry::OperationRecord& record) {
    return record.operation != L"CheckRegAccess" && record.operation != L"GetRegString" &&
           record.operation != L"GetRegDword" && record.operation != L"EnumRegValues";
}

}  // namespace

TEST(SaveFailure, NoFailureAtAnyOperationEverEndsInSuccessAndTheReportListsWhatWasChanged) {
    std::vector<Choice> choices;
    for (const wchar_t* scope : {L"Current user", L"All users"})
        for (int mode : {0, 1})
            for (int options : {0, 1})
                for (bool otherEditor : {false, true}) choices.push_back({scope, mode, options, options, otherEditor});

    for (const Choice& choice : choices) {
        // The whole save first, to know its operations.
        std::size_t operations = 0;
        {
            Session clean(choice);
            clean.form.cmdSave.Press();
            operations = clean.reg.Log().size();
            clean.TickPastTheEnd();
            ASSERT_EQ(clean.form.lblLoading.Caption(), Successful) << Describe(choice);
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
    Session session({L"Current user", 1, 1, 0});
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
    Session session({L"All users", 0, 0, 0});
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
    Session session({L"Current user", 1, 0, 0});
    // The Explorer policies key of the user has been made read-only.
    session.reg.SetRights(HiveCurrentUser, ExplorerKey, registry::RightQueryValue);
    EXPECT_THROW(session.form.cmdSave.Press(), RegistryFailure);
    EXPECT_FALSE(session.form.tmrLoading.Running());
    session.TickPastTheEnd();
    EXPECT_FALSE(session.ShowsSuccess());
    EXPECT_EQ(session.reg.Value(HiveCurrentUser, ExplorerKey, L"NoDrives"), registry::StoredValue(std::int32_t{1}));
}

TEST(SaveFailure, DeletingWhatIsMissingAndAKeyThatKeepsASubkeyAreNoFailure) {
    Session session({L"All users", 1, 0, 0});
    // Nothing of the user's to remove, and a DisallowRun list with a subkey
    // of another tool's: the key stays, as it always has.
    session.reg.Seed(HiveCurrentUser, ExplorerKey + L"\\DisallowRun\\Other", L"x", std::int32_t{1});
    EXPECT_NO_THROW(session.form.cmdSave.Press());
    EXPECT_TRUE(session.reg.HasKey(HiveCurrentUser, DisallowRunKey));
    session.TickPastTheEnd();
    EXPECT_EQ(session.form.lblLoading.Caption(), Successful);
}
