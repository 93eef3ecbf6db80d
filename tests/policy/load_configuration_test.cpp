#include "tests/policy/policy_fixture.h"

using namespace policy_test;
using policy::CheckControl;
using policy::EnableControl;
using policy::TextControl;

namespace {

class LoadTest : public PolicyTest {
protected:
    std::wstring Shown(TextControl control) const { return window.Text(control); }
    int Reads(const std::string& line) const {
        int count = 0;
        for (const auto& entry : reg.DescribedLog()) count += entry == line;
        return count;
    }
};

}  // namespace

TEST_F(LoadTest, NothingStoredShowsTheDefaults) {
    config.LoadHandler();
    EXPECT_TRUE(window.SecuritySelected(PreventAccess));
    EXPECT_EQ(config.DrivePolicyValueName, L"NoViewOnDrive");
    EXPECT_EQ(Shown(TextControl::cboRestrict), L"Current user");
    EXPECT_EQ(Shown(TextControl::cboDrive), L"No selected");
    EXPECT_EQ(Shown(TextControl::txtPassword), L"");
    EXPECT_EQ(Shown(TextControl::txtPassword2), L"");
    EXPECT_TRUE(window.Enabled(EnableControl::fraOptional));
    EXPECT_TRUE(window.Enabled(EnableControl::chkCMD));
    EXPECT_TRUE(window.Enabled(EnableControl::chkRegistry));
    EXPECT_EQ(window.CheckStateOf(CheckControl::chkCMD), Unchecked);
    EXPECT_EQ(reg.Hive, HKCU);
}

TEST_F(LoadTest, HideModeShowsTheUsersNoDrivesMask) {
    reg.Seed(HKLM, SettingsKey, L"SecurityMode", std::int32_t{1});
    reg.Seed(HKCU, ExplorerKey, L"NoDrives", Mask(L"C: and F:"));
    config.LoadHandler();
    EXPECT_TRUE(window.SecuritySelected(HideDrives));
    EXPECT_EQ(config.DrivePolicyValueName, L"NoDrives");
    EXPECT_EQ(Shown(TextControl::cboDrive), L"C: and F:");
    // The mode is read a second time to test for 1.
    EXPECT_EQ(Reads(Op("HKLM", "GetRegDword", SettingsKey, "|SecurityMode")), 2);
}

TEST_F(LoadTest, TheValueOfTheOtherModeOrTheOtherRootIsNotShown) {
    reg.Seed(HKLM, SettingsKey, L"SecurityMode", std::int32_t{0});
    reg.Seed(HKCU, ExplorerKey, L"NoDrives", std::int32_t{12});
    reg.Seed(HKLM, ExplorerKey, L"NoViewOnDrive", std::int32_t{12});
    config.LoadHandler();
    EXPECT_TRUE(window.SecuritySelected(PreventAccess));
    EXPECT_EQ(Shown(TextControl::cboDrive), L"No selected");
}

TEST_F(LoadTest, AllUsersShowsTheMachineMaskAndLeavesTheOptionalPoliciesAlone) {
    reg.Seed(HKLM, SettingsKey, L"Restriction", std::wstring(L"All users"));
    reg.Seed(HKLM, ExplorerKey, L"NoViewOnDrive", Mask(L"All drives"));
    reg.Seed(HKCU, ExplorerKey, L"DisallowRun", std::int32_t{1});
    config.LoadHandler();
    EXPECT_EQ(Shown(TextControl::cboRestrict), L"All users");
    EXPECT_EQ(Shown(TextControl::cboDrive), L"All drives");
    EXPECT_FALSE(window.Enabled(EnableControl::fraOptional));
    EXPECT_FALSE(window.Enabled(EnableControl::chkCMD));
    EXPECT_EQ(window.CheckStateOf(CheckControl::chkCMD), Unchecked);
    EXPECT_EQ(Reads(Op("HKCU", "GetRegDword", ExplorerKey, "|DisallowRun")), 0);
    EXPECT_EQ(reg.Hive, HKLM);
}

TEST_F(LoadTest, AnUnknownSecurityModeChangesNoOptionAndReadsTheUnnamedValue) {
    reg.Seed(HKLM, SettingsKey, L"SecurityMode", std::int32_t{2});
    reg.Seed(HKCU, ExplorerKey, L"", std::int32_t{12});
    window.SelectSecurity(HideDrives);
    config.LoadHandler();
    EXPECT_TRUE(window.SecuritySelected(HideDrives));
    EXPECT_EQ(config.DrivePolicyValueName, L"");
    EXPECT_EQ(Reads(Op("HKCU", "GetRegDword", ExplorerKey, "|")), 1);
    EXPECT_EQ(Shown(TextControl::cboDrive), L"C: and D:");
}

TEST_F(LoadTest, AnUnknownSecurityModeWithoutAnUnnamedValueKeepsNoSelected) {
    reg.Seed(HKLM, SettingsKey, L"SecurityMode", std::int32_t{2});
    reg.Seed(HKCU, ExplorerKey, L"NoDrives", std::int32_t{12});
    config.LoadHandler();
    EXPECT_TRUE(window.SecuritySelected(PreventAccess));
    EXPECT_EQ(Shown(TextControl::cboDrive), L"No selected");
}

TEST_F(LoadTest, AStoredPasswordFillsBothBoxes) {
    reg.Seed(HKLM, PasswordKey, L"MyPassword", std::wstring(L" pass word "));
    config.LoadHandler();
    EXPECT_EQ(Shown(TextControl::txtPassword), L" pass word ");
    EXPECT_EQ(Shown(TextControl::txtPassword2), L" pass word ");
}

TEST_F(LoadTest, TheUsersOptionalPoliciesSetTheCheckBoxes) {
    reg.Seed(HKCU, ExplorerKey, L"DisallowRun", std::int32_t{1});
    reg.Seed(HKCU, DisallowRunKey, L"1", std::wstring(L"cmd.exe"));
    reg.Seed(HKCU, SystemKey, L"DisableRegistryTools", std::int32_t{0});
    window.SetCheckState(CheckControl::chkRegistry, Checked);
    config.LoadHandler();
    EXPECT_EQ(window.CheckStateOf(CheckControl::chkCMD), Checked);
    EXPECT_EQ(window.CheckStateOf(CheckControl::chkRegistry), Unchecked);
}

// DisallowRun = 1 switches on the whole list, another editor's entries too.
TEST_F(LoadTest, TheCommandPromptBoxIsCheckedOnlyWhenTheListThatIsOnHoldsItsEntry) {
    struct Case {
        std::int32_t disallowRun;
        ListEntries entries;
        bool readable;
        values::CheckState before;
        values::CheckState after;
    };
    const std::vector<Case> cases{
        {1, {{L"1", Sz(L"notepad.exe")}, {L"2", Sz(L"regedit.exe")}}, true, Checked, Unchecked},
        {1, {{L"1", Sz(L"notepad.exe")}, {L"2", Sz(L"CMD.EXE")}}, true, Unchecked, Checked},
        {1, {{L"1", Dword(1)}}, true, Checked, Unchecked},
        {1, {}, true, Checked, Unchecked},  // no subkey at all
        {2, {{L"1", Sz(L"notepad.exe")}}, true, Unchecked, Grayed},
        {1, {{L"1", Sz(L"cmd.exe")}}, false, Grayed, Grayed},  // a list that cannot be read leaves the box
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        registry::MemoryRegistry fresh;
        PlainWindowValues shown;
        policy::PolicyConfiguration configuration(shown, fresh);
        SeedList(fresh, cases[i].disallowRun, cases[i].entries);
        if (!cases[i].readable) fresh.SetRights(HKCU, DisallowRunKey, 0);
        shown.SetCheckState(CheckControl::chkCMD, cases[i].before);
        configuration.LoadHandler();
        EXPECT_EQ(shown.CheckStateOf(CheckControl::chkCMD), cases[i].after) << "case " << i;
    }
}

TEST_F(LoadTest, StoredValuesThatTheControlsRefuseLeaveThemAsTheyWere) {
    reg.Seed(HKLM, SettingsKey, L"SecurityMode", std::wstring(L"1"));  // of the other kind: counts as 0
    reg.Seed(HKLM, SettingsKey, L"Restriction", std::wstring(L"current user"));
    reg.Seed(HKCU, ExplorerKey, L"NoViewOnDrive", std::int32_t{13});
    reg.Seed(HKCU, ExplorerKey, L"DisallowRun", std::int32_t{65537});  // does not fit 16 bits
    reg.Seed(HKCU, SystemKey, L"DisableRegistryTools", std::int32_t{3});
    window.SetCheckState(CheckControl::chkCMD, Checked);
    window.SetCheckState(CheckControl::chkRegistry, Checked);
    window.SelectSecurity(HideDrives);

    EXPECT_NO_THROW(config.LoadHandler());
    EXPECT_TRUE(window.SecuritySelected(PreventAccess));
    EXPECT_EQ(Shown(TextControl::cboRestrict), L"Current user");
    // 13 has no row of its own: the list names its drives instead.
    EXPECT_EQ(Shown(TextControl::cboDrive), L"Custom: A:, C:, D:");
    EXPECT_EQ(window.CheckStateOf(CheckControl::chkCMD), Checked);
    EXPECT_EQ(window.CheckStateOf(CheckControl::chkRegistry), Checked);
}

TEST_F(LoadTest, AStoredMaskWithoutARowIsAddedToTheListAndSelected) {
    struct Case {
        std::int32_t mask;
        const wchar_t* item;
    };
    for (const Case& c : {Case{0xF, L"Custom: A:, B:, C:, D:"}, Case{0x41, L"Custom: A:, G:"},
                          Case{static_cast<std::int32_t>(0xFC000000u), L"Custom: 0xFC000000"}}) {
        registry::MemoryRegistry fresh;
        PlainWindowValues shown;
        policy::PolicyConfiguration configuration(shown, fresh);
        fresh.Seed(HKLM, SettingsKey, L"SecurityMode", std::int32_t{1});
        fresh.Seed(HKCU, ExplorerKey, L"NoDrives", c.mask);
        configuration.LoadHandler();
        EXPECT_EQ(shown.addedDriveItems, std::vector<std::wstring>{c.item});
        EXPECT_EQ(shown.Text(TextControl::cboDrive), c.item);
    }
}

TEST_F(LoadTest, MasksWithARowZeroAndAFailedReadAddNoItem) {
    for (std::optional<std::int32_t> stored : {std::optional<std::int32_t>(Mask(L"C: and F:")),
                                               std::optional<std::int32_t>(0), std::optional<std::int32_t>()}) {
        registry::MemoryRegistry fresh;
        PlainWindowValues shown;
        policy::PolicyConfiguration configuration(shown, fresh);
        if (stored) fresh.Seed(HKCU, ExplorerKey, L"NoViewOnDrive", *stored);
        configuration.LoadHandler();
        EXPECT_TRUE(shown.addedDriveItems.empty());
        EXPECT_EQ(shown.Text(TextControl::cboDrive), stored == Mask(L"C: and F:") ? L"C: and F:" : L"No selected");
    }
}

TEST_F(LoadTest, TheGrayedStateIsAStateOfTheBox) {
    reg.Seed(HKCU, SystemKey, L"DisableRegistryTools", std::int32_t{2});
    config.LoadHandler();
    EXPECT_EQ(window.CheckStateOf(CheckControl::chkRegistry), Grayed);
}

TEST_F(LoadTest, AnUnreachableRegistryLoadsTheDefaultsWithoutFailing) {
    reg.SetUnreachable(true);
    window.SelectSecurity(HideDrives);
    EXPECT_NO_THROW(config.LoadHandler());
    // A failed test of "mode is 0" counts as holding.
    EXPECT_TRUE(window.SecuritySelected(PreventAccess));
    EXPECT_EQ(config.DrivePolicyValueName, L"NoViewOnDrive");
    EXPECT_EQ(Shown(TextControl::cboRestrict), L"Current user");
    EXPECT_EQ(Shown(TextControl::cboDrive), L"No selected");
    EXPECT_EQ(Reads(Op("HKLM", "GetRegDword", SettingsKey, "|SecurityMode (failed)")), 1);
}

TEST_F(LoadTest, WhatASaveStoredIsShownAgain) {
    reg.SeedKey(HKLM, RightsKey);
    Choose({.scope = L"All users", .mode = HideDrives, .drive = L"A:, B:, and F:"});
    window.SetText(TextControl::txtPassword, L"pw");
    window.SetText(TextControl::txtPassword2, L"pw");
    config.cmdSave_Click();

    PlainWindowValues fresh;
    policy::PolicyConfiguration reloaded(fresh, reg);
    reloaded.LoadHandler();
    EXPECT_TRUE(fresh.SecuritySelected(HideDrives));
    EXPECT_EQ(fresh.Text(TextControl::cboRestrict), L"All users");
    EXPECT_EQ(fresh.Text(TextControl::cboDrive), L"A:, B:, and F:");
    EXPECT_EQ(fresh.Text(TextControl::txtPassword2), L"pw");
}
