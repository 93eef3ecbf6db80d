#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "policy/drive_selection_table.h"
#include "tests/support/drive_masks.h"
#include "tests/support/status_texts.h"
#include "tests/support/main_window_session.h"
#include "text/utf.h"
#include "ui/form2.h"

using policy::ValueRefused;
using registry::HiveCurrentUser;
using registry::HiveLocalMachine;
using registry::StoredValue;
using values::CheckState;

using namespace keys;

namespace {

const std::wstring Compatible(status::Compatible);

class MainWindow : public ::testing::Test, protected MainWindowSession {
protected:
    // Ticks until the timer stops, at most a generous bound; returns the ticks.
    int TickUntilStopped() {
        int ticks = 0;
        while (form.tmrLoading.Running() && ticks < 1000) {
            form.tmrLoading.Elapse();
            ++ticks;
        }
        return ticks;
    }

    bool Unchanged() const {
        return !form.cmdSave.Enabled() && !form.tmrLoading.Running() && form.lblLoading.Caption() == Compatible;
    }

    // The stored value, reporting a failure when there is none (the policy
    // tests' Stored answers an optional instead).
    StoredValue ExpectStored(registry::Root root, const std::wstring& key, const std::wstring& name) const {
        auto value = reg.Value(root, key, name);
        if (!value) ADD_FAILURE() << "nothing stored as " << text::ToUtf8(key + L"|" + name);
        return value.value_or(StoredValue{});
    }
};

// Records, in order, which controls the window redrew.
class RedrawRecorder {
public:
    explicit RedrawRecorder(ui::Form1& form) {
        for (ui::ControlModel* control : form.Controls()) {
            std::wstring name(control->Row().name);
            if (control->Member() != ui::NoMember) name += L"(" + std::to_wstring(control->Member()) + L")";
            control->ViewChanged = [this, name] {
                if (recording) redrawn.push_back(text::ToUtf8(name));
            };
        }
    }
    bool recording = false;
    std::vector<std::string> redrawn;
};

}  // namespace

// ---- Created, loaded, shown ----

// The window binds the models to its layout's rows in this order; the login
// dialog's list is held to its layout in the same way.
TEST_F(MainWindow, ListsOneModelForEachRowOfEitherLayoutInTheLayoutsOrder) {
    ui::Form2 login(
        reg, shell, [] {}, [] {});
    for (const auto& [controls, layout] :
         {std::pair{form.Controls(), &ui::Form1Layout}, std::pair{login.Controls(), &ui::Form2Layout}}) {
        ASSERT_EQ(controls.size(), layout->rows.size());
        for (std::size_t i = 0; i < controls.size(); ++i)
            EXPECT_EQ(&controls[i]->Row(), &layout->rows[i]) << text::ToUtf8(std::wstring(layout->rows[i].name));
    }
}

TEST_F(MainWindow, AFreshWindowHasSaveAndTheOptionalGroupDisabledAndTheUpperOptionSelected) {
    EXPECT_FALSE(form.cmdSave.Enabled());
    EXPECT_FALSE(form.fraOptional.Enabled());
    EXPECT_FALSE(form.chkCMD.Enabled());
    EXPECT_FALSE(form.chkRegistry.Enabled());
    EXPECT_EQ(form.chkCMD.Value(), CheckState::Unchecked);
    EXPECT_EQ(form.chkRegistry.Value(), CheckState::Unchecked);
    EXPECT_EQ(form.optSecurity.Selected(), 0);
    EXPECT_EQ(form.cboDrive.Text(), L"");
    EXPECT_EQ(form.cboRestrict.Text(), L"");
    EXPECT_FALSE(form.tmrLoading.Running());
    EXPECT_EQ(form.lblLoading.Caption(), Compatible);
    EXPECT_EQ(form.lblLoading2.Caption(), L"");
    EXPECT_EQ(reg.Log().size(), 0u);  // nothing is read before the load
}

TEST_F(MainWindow, DisablingTheOptionalFrameLeavesTheCheckBoxesAsTheyWere) {
    policy::MainWindowValues& values = form;
    values.SetEnabled(policy::EnableControl::chkRegistry, true);

    values.SetEnabled(policy::EnableControl::fraOptional, true);
    EXPECT_FALSE(form.chkCMD.Enabled());  // enabling the frame enables nothing on it
    EXPECT_TRUE(form.chkRegistry.Enabled());

    values.SetEnabled(policy::EnableControl::fraOptional, false);
    EXPECT_FALSE(form.fraOptional.Enabled());
    EXPECT_TRUE(form.chkRegistry.Enabled());
}

TEST_F(MainWindow, ShownOnAKnownVersionWithNothingStoredItIsUnchangedAndOffersEveryChoice) {
    LoadAndShow();

    EXPECT_TRUE(Unchanged());
    EXPECT_EQ(form.cboDrive.Text(), L"No selected");
    EXPECT_EQ(form.cboRestrict.Text(), L"Current user");
    EXPECT_TRUE(form.optSecurity[0].Enabled());
    EXPECT_EQ(form.optSecurity.Selected(), 0);
    EXPECT_TRUE(form.fraOptional.Enabled());
    EXPECT_TRUE(form.chkCMD.Enabled());
    EXPECT_TRUE(form.chkRegistry.Enabled());
}

TEST_F(MainWindow, ShowsAStoredConfigurationAfterLoadAndActivationWithSaveDisabled) {
    reg.Seed(HiveLocalMachine, SettingsKey, L"SecurityMode", std::int32_t{1});
    reg.Seed(HiveLocalMachine, SettingsKey, L"Restriction", std::wstring(L"Current user"));
    reg.Seed(HiveLocalMachine, PasswordKey, L"MyPassword", std::wstring(L"Tulip"));
    reg.Seed(HiveCurrentUser, ExplorerKey, L"NoDrives", Mask(L"C: and F:"));
    reg.Seed(HiveCurrentUser, ExplorerKey, L"DisallowRun", std::int32_t{1});
    reg.Seed(HiveCurrentUser, DisallowRunKey, L"1", std::wstring(L"cmd.exe"));

    form.Form_Load();
    EXPECT_TRUE(form.cmdSave.Enabled());  // the load's own changes count as changes...
    form.Form_Activate();
    EXPECT_TRUE(Unchanged());  // ...until the window is shown

    EXPECT_EQ(form.optSecurity.Selected(), 1);
    EXPECT_EQ(form.cboDrive.Text(), L"C: and F:");
    EXPECT_EQ(form.cboRestrict.Text(), L"Current user");
    EXPECT_EQ(form.chkCMD.Value(), CheckState::Checked);
    EXPECT_EQ(form.chkRegistry.Value(), CheckState::Unchecked);
    EXPECT_EQ(form.txtPassword.Text(), L"Tulip");
    EXPECT_EQ(form.txtPassword2.Text(), L"Tulip");
    EXPECT_TRUE(form.chkCMD.Enabled());
}

TEST_F(MainWindow, ActivationRestoresTheUnchangedStateOnlyTheFirstTime) {
    LoadAndShow();
    form.chkRegistry.SetValue(CheckState::Checked);
    form.Form_Activate();  // back from a message box or another program
    EXPECT_TRUE(form.cmdSave.Enabled());
}

// ---- The running version ----

TEST_F(MainWindow, AnUnrecognisedVersionTakesAwayTheUpperOptionAndTheCommandPromptBox) {
    probe.answer = L"6.1.7601";
    reg.Seed(HiveCurrentUser, ExplorerKey, L"DisallowRun", std::int32_t{1});
    reg.Seed(HiveCurrentUser, SystemKey, L"DisableRegistryTools", std::int32_t{1});
    LoadAndShow();

    EXPECT_FALSE(form.optSecurity[0].Enabled());
    EXPECT_EQ(form.optSecurity.Selected(), 1);
    EXPECT_TRUE(form.fraOptional.Enabled());
    EXPECT_FALSE(form.chkCMD.Enabled());
    EXPECT_EQ(form.chkCMD.Value(), CheckState::Unchecked);
    EXPECT_TRUE(form.chkRegistry.Enabled());
    EXPECT_EQ(form.chkRegistry.Value(), CheckState::Checked);  // never cleared by the version
    // The program's own corrections are changes that still need a save.
    EXPECT_TRUE(form.cmdSave.Enabled());
    EXPECT_EQ(form.lblLoading.Caption(), Compatible);
}

TEST_F(MainWindow, AnUnrecognisedVersionLeavesSaveDisabledWhenTheStoredChoicesAlreadyFitIt) {
    probe.answer = L"";  // the probe learnt nothing
    reg.Seed(HiveLocalMachine, SettingsKey, L"SecurityMode", std::int32_t{1});
    reg.Seed(HiveCurrentUser, ExplorerKey, L"DisallowRun", std::int32_t{0});
    LoadAndShow();

    EXPECT_EQ(form.optSecurity.Selected(), 1);
    EXPECT_FALSE(form.optSecurity[0].Enabled());
    EXPECT_TRUE(Unchanged());
}

TEST_F(MainWindow, VersionsAreComparedExactlyAgainstTheThreeKnownOnes) {
    for (const wchar_t* known : {L"5.1.2600", L"5.0.2195", L"4.9.3000"}) {
        FakeVersionProbe knownProbe(known);
        ui::Form1 window(reg, knownProbe, shell);
        window.Form_Load();
        window.Form_Activate();
        EXPECT_TRUE(window.optSecurity[0].Enabled()) << text::ToUtf8(known);
    }
    for (const wchar_t* other : {L"5.1.2601", L"5.1.260", L" 5.1.2600"}) {
        FakeVersionProbe otherProbe(other);
        ui::Form1 window(reg, otherProbe, shell);
        window.Form_Load();
        window.Form_Activate();
        EXPECT_FALSE(window.optSecurity[0].Enabled()) << text::ToUtf8(other);
    }
}

TEST_F(MainWindow, RestrictsTheOptionsInTheOrderOfTheDecisionTable) {
    probe.answer = L"unknown";
    LoadAndShow();
    form.chkCMD.SetEnabled(true);  // as a known version had left it
    form.chkCMD.SetValue(CheckState::Checked);
    form.cmdSave.SetEnabled(false);  // so that MarkChanged's redraw of Save shows too
    RedrawRecorder recorder(form);
    recorder.recording = true;

    form.cboRestrict.SetText(L"All users");

    // fraOptional, chkCMD enabled, chkCMD checked, chkRegistry: the columns from left to right.
    EXPECT_EQ(recorder.redrawn,
              (std::vector<std::string>{"cboRestrict", "cmdSave", "fraOptional", "chkCMD", "chkCMD", "chkRegistry"}));
    EXPECT_EQ(form.chkCMD.Value(), CheckState::Unchecked);
}

// ---- Scope ----

TEST_F(MainWindow, SwitchingTheScopeDisablesAndReenablesTheOptionsButKeepsTheirChecks) {
    reg.Seed(HiveCurrentUser, ExplorerKey, L"DisallowRun", std::int32_t{1});
    reg.Seed(HiveCurrentUser, DisallowRunKey, L"1", std::wstring(L"cmd.exe"));
    reg.Seed(HiveCurrentUser, SystemKey, L"DisableRegistryTools", std::int32_t{1});
    LoadAndShow();

    form.cboRestrict.SetText(L"All users");
    EXPECT_FALSE(form.fraOptional.Enabled());
    EXPECT_FALSE(form.chkCMD.Enabled());
    EXPECT_FALSE(form.chkRegistry.Enabled());
    EXPECT_EQ(form.chkCMD.Value(), CheckState::Checked);
    EXPECT_EQ(form.chkRegistry.Value(), CheckState::Checked);
    EXPECT_TRUE(form.cmdSave.Enabled());

    form.cboRestrict.SetText(L"Current user");
    EXPECT_TRUE(form.fraOptional.Enabled());
    EXPECT_TRUE(form.chkCMD.Enabled());
    EXPECT_TRUE(form.chkRegistry.Enabled());
    EXPECT_EQ(form.chkCMD.Value(), CheckState::Checked);
    EXPECT_EQ(form.chkRegistry.Value(), CheckState::Checked);
}

TEST_F(MainWindow, AnEmptyScopeRunsOnlyTheVersionStepAndLeavesTheOptionsAsTheyAre) {
    probe.answer = L"4.0";
    LoadAndShow();
    form.cboRestrict.SetText(L"All users");
    form.optSecurity[0].Select();  // the program may still select it
    ASSERT_FALSE(form.fraOptional.Enabled());

    form.cboRestrict.SetListIndex(-1);

    EXPECT_EQ(form.optSecurity.Selected(), 1);  // the version step ran
    EXPECT_FALSE(form.fraOptional.Enabled());   // the table's last row kept the rest
    EXPECT_FALSE(form.chkRegistry.Enabled());
}

// ---- Change tracking ----

TEST_F(MainWindow, TypingTheFirstPasswordIsNoChangeButTypingTheRetypeIs) {
    LoadAndShow();

    form.txtPassword.SetText(L"Tulip");
    EXPECT_FALSE(form.cmdSave.Enabled());

    form.txtPassword2.SetText(L"T");
    EXPECT_TRUE(form.cmdSave.Enabled());
}

TEST_F(MainWindow, EveryChoiceMarksTheWindowChanged) {
    LoadAndShow();
    auto expectChangedBy = [&](const char* what, auto change) {
        form.cmdSave.SetEnabled(false);
        change();
        EXPECT_TRUE(form.cmdSave.Enabled()) << what;
    };
    expectChangedBy("cboDrive", [&] { form.cboDrive.SetText(L"A:"); });
    expectChangedBy("cboRestrict", [&] { form.cboRestrict.SetText(L"All users"); });
    expectChangedBy("optSecurity", [&] { form.optSecurity[1].Select(); });
    expectChangedBy("chkRegistry", [&] { form.chkRegistry.SetValue(CheckState::Checked); });
    expectChangedBy("chkCMD", [&] { form.chkCMD.SetValue(CheckState::Checked); });
    expectChangedBy("txtPassword2 cleared by the program", [&] {
        policy::MainWindowValues& values = form;
        values.SetText(policy::TextControl::txtPassword2, L"x");
        form.cmdSave.SetEnabled(false);
        values.SetText(policy::TextControl::txtPassword2, L"");
    });
}

TEST_F(MainWindow, AChangeDrawsTheResetOfTheStatusDisplayInItsFixedOrder) {
    LoadAndShow();
    form.cboDrive.SetText(L"A:");
    form.cmdSave.Press();
    TickUntilStopped();
    RedrawRecorder recorder(form);
    recorder.recording = true;

    form.chkRegistry.SetValue(CheckState::Checked);

    EXPECT_EQ(recorder.redrawn,
              (std::vector<std::string>{"chkRegistry", "cmdSave", "lblLoading", "lblLoading2", "pgbLoading"}));
    EXPECT_EQ(form.lblLoading.Caption(), Compatible);
    EXPECT_EQ(form.lblLoading2.Caption(), L"");
    EXPECT_EQ(form.pgbLoading.Value(), form.pgbLoading.Min());
}

TEST_F(MainWindow, RefusedValuesLeaveTheControlsAsTheyWere) {
    LoadAndShow();
    policy::MainWindowValues& values = form;

    EXPECT_THROW(values.SetText(policy::TextControl::cboDrive, L"Z:"), ValueRefused);
    EXPECT_THROW(values.SetText(policy::TextControl::cboRestrict, L"current user"), ValueRefused);
    EXPECT_THROW(values.SetCheckState(policy::CheckControl::chkCMD, static_cast<values::CheckState>(5)), ValueRefused);
    EXPECT_EQ(form.cboDrive.Text(), L"No selected");
    EXPECT_EQ(form.cboRestrict.Text(), L"Current user");
    EXPECT_EQ(form.chkCMD.Value(), CheckState::Unchecked);
    EXPECT_TRUE(Unchanged());
}

// ---- Save and the progress display ----

TEST_F(MainWindow, SaveWritesTheChosenConfigurationThroughTheButton) {
    LoadAndShow();
    form.optSecurity[1].Select();
    form.cboDrive.SetText(L"C: and D:");
    form.chkCMD.SetValue(CheckState::Checked);
    form.txtPassword.SetText(L"Tulip");
    form.txtPassword2.SetText(L"Tulip");
    EXPECT_EQ(Announcements(), 0);  // the load changed nothing

    form.cmdSave.Press();

    EXPECT_EQ(Announcements(), 1);  // at once, before any tick
    EXPECT_EQ(ExpectStored(HiveLocalMachine, SettingsKey, L"SecurityMode"), StoredValue{std::int32_t{1}});
    EXPECT_EQ(ExpectStored(HiveLocalMachine, SettingsKey, L"Restriction"), StoredValue{std::wstring(L"Current user")});
    EXPECT_EQ(ExpectStored(HiveLocalMachine, PasswordKey, L"MyPassword"), StoredValue{std::wstring(L"Tulip")});
    EXPECT_EQ(ExpectStored(HiveCurrentUser, ExplorerKey, L"NoDrives"), StoredValue{Mask(L"C: and D:")});
    EXPECT_EQ(ExpectStored(HiveCurrentUser, ExplorerKey, L"DisallowRun"), StoredValue{std::int32_t{1}});
    EXPECT_EQ(ExpectStored(HiveCurrentUser, SystemKey, L"DisableRegistryTools"), StoredValue{std::int32_t{0}});
    EXPECT_TRUE(form.tmrLoading.Running());
    EXPECT_TRUE(form.cmdSave.Enabled());
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(MainWindow, ASaveCountsFromOnePercentToOneHundredAndThenReportsSuccess) {
    LoadAndShow();
    form.cboDrive.SetText(L"A:");
    std::vector<std::wstring> percentages;
    form.lblLoading2.ViewChanged = [&] { percentages.push_back(form.lblLoading2.Caption()); };
    form.cmdSave.Press();

    form.tmrLoading.Elapse();
    EXPECT_EQ(form.lblLoading.Caption(), status::Updating);
    EXPECT_EQ(form.lblLoading.ForeColour(), ui::ColourHighlight);
    const int ticks = 1 + TickUntilStopped();

    EXPECT_EQ(ticks, 100);
    ASSERT_EQ(percentages.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(percentages[i], std::to_wstring(i + 1) + L"%");
    EXPECT_EQ(form.lblLoading.Caption(), status::Successful);
    EXPECT_FALSE(form.cmdSave.Enabled());
    EXPECT_EQ(form.pgbLoading.Value(), form.pgbLoading.Max());
}

// Ticks run while each registry call waits for the service; a save that
// outlasts the bar is reported only once it has returned.
TEST_F(MainWindow, ASaveThatOutlastsTheBarReportsSuccessOnlyOnceItHasReturned) {
    LoadAndShow();
    form.cboDrive.SetText(L"A:");
    std::vector<std::wstring> seenDuringTheSave;
    reg.WhileAnswering([&] {
        Tick(30);
        seenDuringTheSave.push_back(form.lblLoading.Caption() + L" " + form.lblLoading2.Caption());
    });
    form.cmdSave.Press();

    ASSERT_GE(seenDuringTheSave.size(), 5u);
    EXPECT_EQ(seenDuringTheSave.back(), std::wstring(status::Updating) + L" 100%");
    EXPECT_EQ(form.pgbLoading.Value(), form.pgbLoading.Max());
    EXPECT_EQ(form.lblLoading.Caption(), status::Successful);
    EXPECT_FALSE(form.cmdSave.Enabled());
    EXPECT_FALSE(form.tmrLoading.Running());
}

TEST_F(MainWindow, AChangeAfterACompletedSaveEnablesSaveAndEmptiesThePercentage) {
    LoadAndShow();
    form.cboDrive.SetText(L"A:");
    form.cmdSave.Press();
    TickUntilStopped();

    form.cboDrive.SetText(L"B:");

    EXPECT_TRUE(form.cmdSave.Enabled());
    EXPECT_FALSE(form.tmrLoading.Running());
    EXPECT_EQ(form.lblLoading.Caption(), Compatible);
    EXPECT_EQ(form.lblLoading2.Caption(), L"");
    EXPECT_EQ(form.pgbLoading.Value(), 0.0f);
}

TEST_F(MainWindow, AChangeWhileTheBarRunsRestartsItAndKeepsSaveAvailableForThatChange) {
    LoadAndShow();
    form.cboDrive.SetText(L"A:");
    form.cmdSave.Press();
    Tick(40);

    form.cboDrive.SetText(L"B:");  // not in the save that is being shown
    EXPECT_TRUE(form.tmrLoading.Running());
    EXPECT_EQ(form.lblLoading2.Caption(), L"");
    EXPECT_EQ(form.pgbLoading.Value(), 0.0f);

    form.tmrLoading.Elapse();
    EXPECT_EQ(form.lblLoading2.Caption(), L"1%");
    EXPECT_EQ(form.lblLoading.Caption(), status::Updating);
    EXPECT_EQ(1 + TickUntilStopped(), 100);
    EXPECT_EQ(form.lblLoading.Caption(), status::Successful);
    EXPECT_TRUE(form.cmdSave.Enabled());
    EXPECT_EQ(reg.Value(HiveCurrentUser, ExplorerKey, L"NoViewOnDrive"), StoredValue{Mask(L"A:")});

    // Saving the pending change runs a whole display of its own and ends it.
    form.cmdSave.Press();
    EXPECT_EQ(reg.Value(HiveCurrentUser, ExplorerKey, L"NoViewOnDrive"), StoredValue{Mask(L"B:")});
    EXPECT_EQ(TickUntilStopped(), 100);
    EXPECT_FALSE(form.cmdSave.Enabled());
    EXPECT_EQ(Announcements(), 2);  // one for each save
}

TEST_F(MainWindow, ASecondSaveWhileTheBarRunsLetsItRunOn) {
    LoadAndShow();
    form.cboDrive.SetText(L"A:");
    form.cmdSave.Press();
    Tick(40);

    form.cmdSave.Press();
    EXPECT_EQ(form.pgbLoading.Value(), 40.0f);
    EXPECT_EQ(TickUntilStopped(), 60);
    EXPECT_EQ(form.lblLoading.Caption(), status::Successful);
    EXPECT_FALSE(form.cmdSave.Enabled());
}

// ---- Stored values that no item shows ----

TEST_F(MainWindow, AStoredEmptyScopeLeavesCurrentUserAndTheNextSaveKeepsToIt) {
    reg.Seed(HiveLocalMachine, SettingsKey, L"SecurityMode", std::int32_t{1});
    reg.Seed(HiveLocalMachine, SettingsKey, L"Restriction", std::wstring());
    reg.Seed(HiveCurrentUser, ExplorerKey, L"NoDrives", Mask(L"C:"));
    LoadAndShow();
    EXPECT_EQ(form.cboRestrict.Text(), L"Current user");
    EXPECT_EQ(form.cboDrive.Text(), L"C:");
    EXPECT_TRUE(form.chkCMD.Enabled());

    form.chkCMD.SetValue(CheckState::Checked);
    form.cmdSave.Press();
    EXPECT_EQ(ExpectStored(HiveLocalMachine, SettingsKey, L"Restriction"), StoredValue{std::wstring(L"Current user")});
    EXPECT_EQ(ExpectStored(HiveCurrentUser, ExplorerKey, L"NoDrives"), StoredValue{Mask(L"C:")});
    EXPECT_EQ(ExpectStored(HiveCurrentUser, ExplorerKey, L"DisallowRun"), StoredValue{std::int32_t{1}});
    EXPECT_FALSE(reg.Value(HiveLocalMachine, ExplorerKey, L"NoDrives").has_value());
}

TEST_F(MainWindow, AStoredMaskWithoutARowIsShownAsALastItemAndASaveKeepsIt) {
    const std::int32_t customMask = Mask(L"A: and B:") | Mask(L"C: and D:");  // A: to D: has no row
    reg.Seed(HiveLocalMachine, SettingsKey, L"SecurityMode", std::int32_t{1});
    reg.Seed(HiveLocalMachine, SettingsKey, L"Restriction", std::wstring(L"Current user"));
    reg.Seed(HiveCurrentUser, ExplorerKey, L"NoDrives", customMask);
    LoadAndShow();

    const std::wstring custom = L"Custom: A:, B:, C:, D:";
    ASSERT_EQ(form.cboDrive.Items().size(), 34u);
    EXPECT_EQ(form.cboDrive.Items().back(), custom);
    EXPECT_EQ(form.cboDrive.Text(), custom);
    EXPECT_TRUE(Unchanged());

    form.chkCMD.SetValue(CheckState::Checked);
    form.cmdSave.Press();
    EXPECT_EQ(ExpectStored(HiveCurrentUser, ExplorerKey, L"NoDrives"), StoredValue{customMask});
    EXPECT_EQ(TickUntilStopped(), 100);
    EXPECT_EQ(form.lblLoading.Caption(), status::Successful);

    // Another item, then the stored mask again: it stays in the list.
    form.cboDrive.SetText(L"C: and D:");
    form.cmdSave.Press();
    EXPECT_EQ(ExpectStored(HiveCurrentUser, ExplorerKey, L"NoDrives"), StoredValue{Mask(L"C: and D:")});
    TickUntilStopped();
    form.cboDrive.SetText(custom);
    form.cmdSave.Press();
    EXPECT_EQ(ExpectStored(HiveCurrentUser, ExplorerKey, L"NoDrives"), StoredValue{customMask});
    EXPECT_EQ(form.cboDrive.Items().size(), 34u);
}

TEST_F(MainWindow, AMismatchedRetypeStopsTheDisplayEmptiesAndFocusesTheRetypeBox) {
    reg.Seed(HiveLocalMachine, PasswordKey, L"MyPassword", std::wstring(L"old"));
    LoadAndShow();
    int focusRequests = 0;
    form.txtPassword2.FocusRequested = [&] { ++focusRequests; };
    form.txtPassword.SetText(L"Tulip");
    form.txtPassword2.SetText(L"tulip");
    form.cboDrive.SetText(L"D:");

    form.cmdSave.Press();

    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].title, L"Password incorrect");
    EXPECT_EQ(form.txtPassword2.Text(), L"");
    EXPECT_EQ(focusRequests, 1);
    EXPECT_FALSE(form.tmrLoading.Running());
    EXPECT_TRUE(form.cmdSave.Enabled());
    EXPECT_EQ(form.lblLoading.Caption(), Compatible);
    EXPECT_EQ(ExpectStored(HiveLocalMachine, PasswordKey, L"MyPassword"), StoredValue{std::wstring(L"old")});
    EXPECT_EQ(ExpectStored(HiveCurrentUser, ExplorerKey, L"NoViewOnDrive"), StoredValue{Mask(L"D:")});
    EXPECT_EQ(Announcements(), 1);
}

TEST_F(MainWindow, ARefusedRightsCheckWritesNothingAndKeepsSaveEnabled) {
    LoadAndShow();
    form.cboDrive.SetText(L"C:");
    reg.SetRights(HiveLocalMachine, RightsKey, registry::RightQueryValue);
    reg.ClearLog();

    form.cmdSave.Press();

    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].title, L"Save process is failure");
    EXPECT_FALSE(form.tmrLoading.Running());
    EXPECT_TRUE(form.cmdSave.Enabled());
    for (const auto& operation : reg.Log()) EXPECT_EQ(operation.operation, L"CheckRegAccess");
    EXPECT_FALSE(reg.HasKey(HiveLocalMachine, SettingsKey));
    EXPECT_EQ(Announcements(), 0);
}

TEST_F(MainWindow, PressingADisabledSaveDoesNothing) {
    LoadAndShow();
    reg.ClearLog();
    form.cmdSave.Press();
    EXPECT_TRUE(reg.Log().empty());
    EXPECT_FALSE(form.tmrLoading.Running());
}

TEST_F(MainWindow, ARegistryFailureDuringSaveReachesTheCaller) {
    LoadAndShow();
    form.cboDrive.SetText(L"C:");
    reg.SetUnreachable(true);
    EXPECT_THROW(form.cmdSave.Press(), registry::RegistryFailure);
    EXPECT_EQ(Announcements(), 0);  // it changed nothing
}
