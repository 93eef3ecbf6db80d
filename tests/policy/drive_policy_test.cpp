#include "tests/policy/policy_fixture.h"

using namespace policy_test;

namespace {

// Drive and optional values of both roots, as they stood before the save.
void SeedEverywhere(registry::MemoryRegistry& reg) {
    for (auto root : {HKCU, HKLM}) {
        reg.Seed(root, ExplorerKey, L"NoDrives", std::int32_t{5});
        reg.Seed(root, ExplorerKey, L"NoViewOnDrive", std::int32_t{9});
        reg.Seed(root, ExplorerKey, L"DisallowRun", std::int32_t{1});
        reg.Seed(root, DisallowRunKey, L"1", std::wstring(L"cmd.exe"));
        reg.Seed(root, SystemKey, L"DisableRegistryTools", std::int32_t{1});
    }
}

}  // namespace

TEST_F(PolicyTest, CurrentUserPreventAccessWritesNoViewOnDriveForTheUserOnly) {
    SeedEverywhere(reg);
    Choose({.scope = L"Current user", .mode = PreventAccess, .drive = L"C: and D:", .cmd = Checked});
    config.ApplyDrivePolicy();

    EXPECT_EQ(reg.DescribedLog(), CurrentUserPolicyLog(PreventAccess, L"C: and D:", true));

    EXPECT_FALSE(Stored(HKLM, ExplorerKey, L"NoDrives"));
    EXPECT_FALSE(Stored(HKLM, ExplorerKey, L"NoViewOnDrive"));
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoDrives"));
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoViewOnDrive"), Dword(Mask(L"C: and D:")));
    // Optional policies under HKEY_LOCAL_MACHINE are never touched.
    EXPECT_EQ(Stored(HKLM, ExplorerKey, L"DisallowRun"), Dword(1));
    EXPECT_EQ(Stored(HKLM, SystemKey, L"DisableRegistryTools"), Dword(1));
    EXPECT_EQ(reg.Hive, HKCU);
    EXPECT_EQ(config.DrivePolicyValueName, L"NoViewOnDrive");
}

TEST_F(PolicyTest, CurrentUserHideWritesNoDrivesAndZeroForNoSelected) {
    SeedEverywhere(reg);
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"No selected"});
    config.ApplyDrivePolicy();

    const auto log = reg.DescribedLog();
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(LastDriveSteps(log).otherModeRemoved, Op("HKCU", "DeleteRegValue", ExplorerKey, "|NoViewOnDrive"));
    EXPECT_EQ(LastDriveSteps(log).valueWritten, Op("HKCU", "SetRegDword", ExplorerKey, "|NoDrives=0"));
    EXPECT_FALSE(Stored(HKLM, ExplorerKey, L"NoDrives"));
    EXPECT_FALSE(Stored(HKLM, ExplorerKey, L"NoViewOnDrive"));
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoViewOnDrive"));
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoDrives"), Dword(0));
}

TEST_F(PolicyTest, AllUsersPreventAccessClearsTheUserAndWritesTheMachine) {
    SeedEverywhere(reg);
    Choose({.scope = L"All users",
            .mode = PreventAccess,
            .drive = L"All drives",
            .cmd = Checked,
            .registryTools = Checked});
    config.ApplyDrivePolicy();

    EXPECT_EQ(reg.DescribedLog(),
              (std::vector<std::string>{
                  Op("HKCU", "DeleteRegValue", ExplorerKey, "|NoDrives"),
                  Op("HKCU", "DeleteRegValue", ExplorerKey, "|NoViewOnDrive"),
                  Op("HKCU", "EnumRegValues", DisallowRunKey),
                  Op("HKCU", "GetRegString", DisallowRunKey, "|1"),
                  Op("HKCU", "DeleteRegValue", ExplorerKey, "|DisallowRun"),
                  Op("HKCU", "DeleteRegValue", DisallowRunKey, "|1"),
                  Op("HKCU", "DeleteRegKey", DisallowRunKey),
                  Op("HKCU", "DeleteRegValue", SystemKey, "|DisableRegistryTools"),
                  Op("HKLM", "DeleteRegValue", ExplorerKey, "|NoDrives"),
                  Op("HKLM", "CreateRegKey", ExplorerKey),
                  Op("HKLM", "SetRegDword", ExplorerKey, "|NoViewOnDrive=" + std::to_string(Mask(L"All drives"))),
              }));
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoDrives"));
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoViewOnDrive"));
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"DisallowRun"));
    EXPECT_FALSE(reg.HasKey(HKCU, DisallowRunKey));
    EXPECT_FALSE(Stored(HKCU, SystemKey, L"DisableRegistryTools"));
    EXPECT_TRUE(reg.HasKey(HKCU, ExplorerKey));
    EXPECT_TRUE(reg.HasKey(HKCU, SystemKey));
    EXPECT_FALSE(Stored(HKLM, ExplorerKey, L"NoDrives"));
    EXPECT_EQ(Stored(HKLM, ExplorerKey, L"NoViewOnDrive"), Dword(Mask(L"All drives")));
    EXPECT_EQ(Stored(HKLM, ExplorerKey, L"DisallowRun"), Dword(1));
    EXPECT_EQ(reg.Hive, HKLM);
}

TEST_F(PolicyTest, AllUsersHideKeepsNothingButNoDrivesOnTheMachine) {
    SeedEverywhere(reg);
    Choose({.scope = L"All users", .mode = HideDrives, .drive = L"B:, C:, and E:"});
    config.ApplyDrivePolicy();

    const auto log = reg.DescribedLog();
    ASSERT_EQ(log.size(), 11u);
    EXPECT_EQ(LastDriveSteps(log).otherModeRemoved, Op("HKLM", "DeleteRegValue", ExplorerKey, "|NoViewOnDrive"));
    EXPECT_EQ(LastDriveSteps(log).valueWritten,
              Op("HKLM", "SetRegDword", ExplorerKey, "|NoDrives=" + std::to_string(Mask(L"B:, C:, and E:"))));
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoDrives"));
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoViewOnDrive"));
    EXPECT_FALSE(Stored(HKLM, ExplorerKey, L"NoViewOnDrive"));
    EXPECT_EQ(Stored(HKLM, ExplorerKey, L"NoDrives"), Dword(Mask(L"B:, C:, and E:")));
    EXPECT_EQ(config.DrivePolicyValueName, L"NoDrives");
}

TEST_F(PolicyTest, ChangingScopeOrModeRemovesTheEarlierSavesValue) {
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"C:"});
    config.ApplyDrivePolicy();
    Choose({.scope = L"All users", .mode = HideDrives, .drive = L"D:"});
    config.ApplyDrivePolicy();
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoDrives"));
    EXPECT_EQ(Stored(HKLM, ExplorerKey, L"NoDrives"), Dword(8));

    Choose({.scope = L"All users", .mode = PreventAccess, .drive = L"D:"});
    config.ApplyDrivePolicy();
    EXPECT_FALSE(Stored(HKLM, ExplorerKey, L"NoDrives"));
    EXPECT_EQ(Stored(HKLM, ExplorerKey, L"NoViewOnDrive"), Dword(8));

    Choose({.scope = L"Current user", .mode = PreventAccess, .drive = L"E:"});
    config.ApplyDrivePolicy();
    EXPECT_FALSE(Stored(HKLM, ExplorerKey, L"NoViewOnDrive"));
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoViewOnDrive"), Dword(16));
}

TEST_F(PolicyTest, ADriveTextWithoutARowWritesNoMaskButStillNamesTheValue) {
    SeedEverywhere(reg);
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"No selected"});
    window.Deselect(policy::TextControl::cboDrive);
    config.ApplyDrivePolicy();
    // The other mode's value goes; the chosen mode's value is not written.
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoViewOnDrive"));
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoDrives"), Dword(5));
    EXPECT_EQ(config.DrivePolicyValueName, L"NoDrives");
    EXPECT_EQ(reg.DescribedLog().back(), Op("HKCU", "DeleteRegValue", ExplorerKey, "|NoViewOnDrive"));
}

TEST_F(PolicyTest, AnUnknownScopeTouchesOnlyTheRootThatHiveAlreadyHolds) {
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"C:"});
    window.Deselect(policy::TextControl::cboRestrict);
    reg.Hive = HKLM;
    config.ApplyDrivePolicy();
    EXPECT_EQ(reg.DescribedLog(),
              (std::vector<std::string>{
                  Op("HKLM", "DeleteRegValue", ExplorerKey, "|NoViewOnDrive"),
                  Op("HKLM", "CreateRegKey", ExplorerKey),
                  Op("HKLM", "SetRegDword", ExplorerKey, "|NoDrives=" + std::to_string(Mask(L"C:"))),
              }));
}

TEST_F(PolicyTest, OptionalPoliciesAreWrittenAsZeroWhenUncheckedAndRemovedCompletely) {
    config.ExplorerPolicyKey = ExplorerKey;
    reg.Hive = HKCU;
    window.SetCheckState(policy::CheckControl::chkCMD, Unchecked);
    window.SetCheckState(policy::CheckControl::chkRegistry, Unchecked);
    config.ApplyOptionalPolicies(true);
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"DisallowRun"), Dword(0));
    EXPECT_EQ(Stored(HKCU, DisallowRunKey, L"1"), Sz(L"cmd.exe"));
    EXPECT_EQ(Stored(HKCU, SystemKey, L"DisableRegistryTools"), Dword(0));

    window.SetCheckState(policy::CheckControl::chkCMD, Checked);
    window.SetCheckState(policy::CheckControl::chkRegistry, Checked);
    config.ApplyOptionalPolicies(true);
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"DisallowRun"), Dword(1));
    EXPECT_EQ(Stored(HKCU, SystemKey, L"DisableRegistryTools"), Dword(1));
    EXPECT_EQ(config.SystemPolicyKey, SystemKey);

    config.ApplyOptionalPolicies(false);
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"DisallowRun"));
    EXPECT_FALSE(reg.HasKey(HKCU, DisallowRunKey));
    EXPECT_FALSE(Stored(HKCU, SystemKey, L"DisableRegistryTools"));
    EXPECT_TRUE(reg.HasKey(HKCU, ExplorerKey));
    EXPECT_TRUE(reg.HasKey(HKCU, SystemKey));
    EXPECT_FALSE(reg.HasKey(HKLM, ExplorerKey));
}

// Only the program's entry is the program's to change, and DisallowRun only
// to switch it on: the other editor's entries need DisallowRun as stored.
TEST_F(PolicyTest, AnotherEditorsEntriesAndTheSwitchThatTheyNeedOutliveEverySave) {
    const registry::StoredValue notepad = Sz(L"notepad.exe"), regedit = Sz(L"regedit.exe"), cmd = Sz(L"cmd.exe");
    struct Case {
        bool write;
        values::CheckState box;
        std::optional<std::int32_t> stored;
        ListEntries before, after;
        std::optional<registry::StoredValue> switched;
    };
    const ListEntries theirs{{L"1", notepad}, {L"2", regedit}};
    const std::vector<Case> cases{
        {true, Checked, 1, theirs, {{L"1", notepad}, {L"2", regedit}, {L"3", cmd}}, 1},
        {true, Checked, 0, {{L"1", notepad}, {L"3", regedit}}, {{L"1", notepad}, {L"2", cmd}, {L"3", regedit}}, 1},
        {true, Unchecked, 1, theirs, theirs, 1},
        {true, Unchecked, 1, {{L"1", cmd}, {L"2", regedit}}, {{L"2", regedit}}, 1},
        {true, Grayed, 2, {{L"1", notepad}, {L"2", cmd}}, {{L"1", notepad}, {L"2", cmd}}, 2},  // grayed: as stored
        {false, Unchecked, 1, {{L"1", notepad}, {L"2", cmd}, {L"3", Sz(L"Cmd.Exe")}}, {{L"1", notepad}}, 1},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        registry::MemoryRegistry fresh;
        PlainWindowValues shown;
        policy::PolicyConfiguration configuration(shown, fresh);
        configuration.ExplorerPolicyKey = ExplorerKey;
        fresh.Hive = HKCU;
        SeedList(fresh, cases[i].stored, cases[i].before);
        shown.SetCheckState(policy::CheckControl::chkCMD, cases[i].box);
        configuration.ApplyOptionalPolicies(cases[i].write);
        EXPECT_EQ(fresh.ValueCount(HKCU, DisallowRunKey), cases[i].after.size()) << "case " << i;
        for (const auto& [name, value] : cases[i].after)
            EXPECT_EQ(fresh.Value(HKCU, DisallowRunKey, name), value)
                << "case " << i << ", entry " << text::ToUtf8(name);
        EXPECT_EQ(fresh.Value(HKCU, ExplorerKey, L"DisallowRun"), cases[i].switched) << "case " << i;
    }
}

TEST_F(PolicyTest, RemovalOnAnEmptyRootChangesNothingAndRaisesNothing) {
    config.ExplorerPolicyKey = ExplorerKey;
    reg.Hive = HKCU;
    EXPECT_NO_THROW(config.ApplyOptionalPolicies(false));
    EXPECT_FALSE(reg.HasKey(HKCU, ExplorerKey));
    EXPECT_FALSE(reg.HasKey(HKCU, SystemKey));
}

// The Explorer policies key is missing on a new profile and usually under
// HKEY_LOCAL_MACHINE: one save must still store everything it reports.
TEST_F(PolicyTest, OneSaveStoresEveryValueWhereTheExplorerPoliciesKeyIsMissing) {
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"A:", .cmd = Checked, .registryTools = Checked});
    config.ApplyDrivePolicy();
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"DisallowRun"), Dword(1));
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoDrives"), Dword(1));

    Choose({.scope = L"All users", .mode = PreventAccess, .drive = L"F:"});
    config.ApplyDrivePolicy();
    EXPECT_EQ(Stored(HKLM, ExplorerKey, L"NoViewOnDrive"), Dword(32));
}

TEST_F(PolicyTest, AFailureStopsThePolicyWriteAtThatStepAndKeepsTheEarlierSteps) {
    SeedEverywhere(reg);
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"C:", .cmd = Checked, .registryTools = Checked});
    // Counted as FailOperation counts, from 1: the machine's two drive values
    // removed, the list's two reads, the Explorer key made, then DisallowRun.
    constexpr int SetDisallowRunStep = 2 + 2 + 1 + 1;
    reg.FailOperation(SetDisallowRunStep);
    EXPECT_THROW(config.ApplyDrivePolicy(), registry::RegistryFailure);
    EXPECT_EQ(reg.Log().size(), std::size_t{SetDisallowRunStep});
    EXPECT_FALSE(Stored(HKLM, ExplorerKey, L"NoDrives"));
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoViewOnDrive"), Dword(9));
}

// A stored mask that no row has, loaded into the list, in every scope and
// mode: the save writes it back unchanged where the choices say.
TEST_F(PolicyTest, ASaveWithAStoredMaskWithoutARowSelectedWritesThatMaskUnchanged) {
    struct Case {
        const wchar_t* scope;
        policy::SecurityOption mode;
        registry::Root root;
        registry::Root other;
        std::int32_t mask;
    };
    for (const Case& c :
         {Case{L"Current user", PreventAccess, HKCU, HKLM, 15}, Case{L"Current user", HideDrives, HKCU, HKLM, 0x80},
          Case{L"All users", PreventAccess, HKLM, HKCU, static_cast<std::int32_t>(0xFC000000u)},
          Case{L"All users", HideDrives, HKLM, HKCU, 13}}) {
        registry::MemoryRegistry fresh;
        PlainWindowValues shown;
        policy::PolicyConfiguration configuration(shown, fresh);
        const std::wstring valueName = c.mode == PreventAccess ? L"NoViewOnDrive" : L"NoDrives";
        const std::wstring otherName = c.mode == PreventAccess ? L"NoDrives" : L"NoViewOnDrive";
        fresh.Seed(HKLM, SettingsKey, L"SecurityMode", policy::StoredNumber(c.mode));
        fresh.Seed(HKLM, SettingsKey, L"Restriction", std::wstring(c.scope));
        fresh.Seed(c.root, ExplorerKey, valueName, c.mask);
        fresh.Seed(c.root, ExplorerKey, otherName, std::int32_t{4});
        fresh.Seed(c.other, ExplorerKey, valueName, std::int32_t{8});
        configuration.LoadHandler();
        const std::wstring item = policy::CustomDriveItem(static_cast<policy::DriveMask>(c.mask));
        ASSERT_EQ(shown.Text(policy::TextControl::cboDrive), item);

        configuration.ApplyDrivePolicy();
        const std::string where =
            text::ToUtf8(std::wstring(c.scope)) + ", mode " + std::to_string(policy::StoredNumber(c.mode));
        EXPECT_EQ(fresh.Value(c.root, ExplorerKey, valueName), Dword(c.mask)) << where;
        EXPECT_FALSE(fresh.Value(c.root, ExplorerKey, otherName)) << where;
        EXPECT_FALSE(fresh.Value(c.other, ExplorerKey, valueName)) << where;
    }
}

TEST_F(PolicyTest, AnotherItemThenTheStoredMaskAgainWritesEachInTurn) {
    reg.Seed(HKLM, SettingsKey, L"SecurityMode", std::int32_t{1});
    reg.Seed(HKCU, ExplorerKey, L"NoDrives", std::int32_t{15});
    config.LoadHandler();
    const std::wstring custom = L"Custom: A:, B:, C:, D:";

    window.SetText(policy::TextControl::cboDrive, L"E: and F:");
    config.ApplyDrivePolicy();
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoDrives"), Dword(48));

    window.SetText(policy::TextControl::cboDrive, custom);
    config.ApplyDrivePolicy();
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoDrives"), Dword(15));
    EXPECT_EQ(window.addedDriveItems, std::vector<std::wstring>{custom});
}

// Whose hive "Current user" is: the program's own account's, or, where the
// program runs as another account, that of the person at the desktop.
class CurrentUserHiveTest : public PolicyTest, public ::testing::WithParamInterface<std::optional<std::wstring>> {};

TEST_P(CurrentUserHiveTest, SaveLoadAndFailureReportOfCurrentUserAllUseThatHive) {
    const std::optional<std::wstring> sid = GetParam();
    const std::wstring prefix = sid ? *sid + L"\\" : L"";
    reg.CurrentUserSid = sid;
    if (sid) reg.SeedKey(HKU, *sid);  // signed in: the hive is loaded
    reg.Seed(HKLM, SettingsKey, L"SecurityMode", std::int32_t{1});
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"C: and D:", .cmd = Checked});
    config.ApplyDrivePolicy();
    auto expected = CurrentUserPolicyLog(HideDrives, L"C: and D:", false, sid ? "HKU" : "HKCU", prefix);
    if (sid) expected.insert(expected.begin(), Op("HKU", "EnumRegValues", *sid));
    EXPECT_EQ(reg.DescribedLog(), expected);
    EXPECT_EQ(reg.HasKey(HKCU, L"Software"), !sid);

    PlainWindowValues shown;
    policy::PolicyConfiguration(shown, reg).LoadHandler();
    EXPECT_EQ(shown.Text(policy::TextControl::cboDrive), L"C: and D:");
    EXPECT_EQ(shown.CheckStateOf(policy::CheckControl::chkCMD), Checked);

    // A whole save (four rights, five settings, the list found this time)
    // whose last write is refused names where it went, and where the others did.
    reg.SeedKey(HKLM, RightsKey);
    reg.RefuseOperation(static_cast<int>(4 + 5 + expected.size() + 1));
    try {
        config.cmdSave_Click();
        FAIL() << "a refused write must fail the save";
    } catch (const registry::RegistryFailure& failure) {
        EXPECT_EQ(failure.RootUsed(), sid ? HKU : HKCU);
        EXPECT_EQ(failure.Key(), prefix + ExplorerKey);
        const std::wstring root = sid ? L"HKEY_USERS\\" : L"HKEY_CURRENT_USER\\";
        EXPECT_NE(failure.Describe().find(L"- created key " + root + prefix + ExplorerKey), std::wstring::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(OwnOrAnotherAccount, CurrentUserHiveTest,
                         ::testing::Values(std::nullopt, L"S-1-5-21-7-7-7-1001"));
