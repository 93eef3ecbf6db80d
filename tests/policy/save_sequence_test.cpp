#include "tests/policy/policy_fixture.h"

using namespace policy_test;
using policy::TextControl;

namespace {

class SaveTest : public PolicyTest {
protected:
    void SetUp() override {
        reg.SeedKey(HKLM, RightsKey);
        reg.Seed(HKLM, PasswordKey, L"MyPassword", std::wstring(L"old"));
    }
    void Passwords(const std::wstring& first, const std::wstring& retype) {
        window.SetText(TextControl::txtPassword, first);
        window.SetText(TextControl::txtPassword2, retype);
    }
};

}  // namespace

TEST_F(SaveTest, TheRoadOfOneSaveFromTheButtonToTheRegistry) {
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"C: and D:", .cmd = Checked});
    Passwords(L"s3cret", L"s3cret");
    config.cmdSave_Click();

    const std::vector<std::string> log = reg.DescribedLog();
    ASSERT_GE(log.size(), 9u);
    // The rights, one at a time, then the settings.
    std::vector<std::string> settings;
    for (const char* right : {"0x1", "0x2", "0x4", "0x10000"})
        settings.push_back(Op("HKLM", "CheckRegAccess", RightsKey, std::string("=") + right));
    settings.insert(settings.end(), {
                                        Op("HKLM", "CreateRegKey", SettingsKey),
                                        Op("HKLM", "SetRegDword", SettingsKey, "|SecurityMode=1"),
                                        Op("HKLM", "SetRegString", SettingsKey, "|Restriction=\"Current user\""),
                                        Op("HKLM", "CreateRegKey", PasswordKey),
                                        Op("HKLM", "SetRegString", PasswordKey, "|MyPassword=\"s3cret\""),
                                    });
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 9), settings);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 9, log.end()),
              CurrentUserPolicyLog(HideDrives, L"C: and D:", false));

    EXPECT_EQ(Stored(HKLM, SettingsKey, L"SecurityMode"), Dword(1));
    EXPECT_EQ(Stored(HKLM, SettingsKey, L"Restriction"), Sz(L"Current user"));
    EXPECT_EQ(Stored(HKLM, PasswordKey, L"MyPassword"), Sz(L"s3cret"));
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoDrives"), Dword(Mask(L"C: and D:")));
    EXPECT_TRUE(window.messages.empty());
    // The progress display runs on; it reports the end of the save itself.
    EXPECT_TRUE(window.timerRunning);
}

TEST_F(SaveTest, PreventAccessModeIsStoredAsSecurityModeZero) {
    Choose({.scope = L"All users", .mode = PreventAccess, .drive = L"A:"});
    config.cmdSave_Click();
    EXPECT_EQ(Stored(HKLM, SettingsKey, L"SecurityMode"), Dword(0));
    EXPECT_EQ(Stored(HKLM, SettingsKey, L"Restriction"), Sz(L"All users"));
}

TEST_F(SaveTest, EmptyPasswordsAreStoredAsNoPassword) {
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"A:"});
    config.cmdSave_Click();
    EXPECT_EQ(Stored(HKLM, PasswordKey, L"MyPassword"), Sz(L""));
}

TEST_F(SaveTest, ASaveRefusedByTheFirstRightWritesNothingAndAsksNoFurther) {
    reg.SetRights(HKLM, RightsKey, registry::RightSetValue | registry::RightCreateSubKey | registry::RightDelete);
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"C:"});
    config.cmdSave_Click();

    EXPECT_EQ(reg.DescribedLog(), (std::vector<std::string>{Op("HKLM", "CheckRegAccess", RightsKey, "=0x1")}));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0],
              (policy::MessageBoxRequest{
                  L"Sorry, your administrator has restrict it!\r\nAlso you not running as administrator account",
                  L"Save process is failure", policy::MessageIcon::Warning, policy::MessageButtons::Ok}));
    EXPECT_FALSE(window.timerRunningAtMessage);
    EXPECT_FALSE(window.timerRunning);
    EXPECT_FALSE(reg.HasKey(HKLM, SettingsKey));
}

TEST_F(SaveTest, TheRightsCheckStopsAtTheFirstRightThatIsMissing) {
    reg.SetRights(HKLM, RightsKey, registry::RightQueryValue | registry::RightSetValue | registry::RightDelete);
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"C:"});
    config.cmdSave_Click();
    EXPECT_EQ(reg.Log().size(), 3u);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoDrives"));
}

TEST_F(SaveTest, APasswordMismatchStoresEverythingButThePasswordAndAsksForTheRetype) {
    Choose({.scope = L"Current user",
            .mode = HideDrives,
            .drive = L"C: and F:",
            .cmd = Checked,
            .registryTools = Checked});
    Passwords(L"Secret", L"secret");
    config.cmdSave_Click();

    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0],
              (policy::MessageBoxRequest{L"Sorry, both password must be similiar", L"Password incorrect",
                                         policy::MessageIcon::Warning, policy::MessageButtons::Ok}));
    EXPECT_FALSE(window.timerRunningAtMessage);
    EXPECT_EQ(window.Text(TextControl::txtPassword2), L"");
    EXPECT_EQ(window.Text(TextControl::txtPassword), L"Secret");
    EXPECT_TRUE(window.retypeFocused);
    EXPECT_EQ(Stored(HKLM, PasswordKey, L"MyPassword"), Sz(L"old"));
    EXPECT_EQ(Stored(HKLM, SettingsKey, L"SecurityMode"), Dword(1));
    EXPECT_EQ(Stored(HKLM, SettingsKey, L"Restriction"), Sz(L"Current user"));
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"NoDrives"), Dword(Mask(L"C: and F:")));
    EXPECT_EQ(Stored(HKCU, ExplorerKey, L"DisallowRun"), Dword(1));
    EXPECT_EQ(Stored(HKCU, SystemKey, L"DisableRegistryTools"), Dword(1));
    EXPECT_FALSE(window.timerRunning);
}

TEST_F(SaveTest, AFailureInTheMiddleStopsTheSaveThereAndReachesTheCaller) {
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"C:"});
    Passwords(L"new", L"new");
    // Counted as FailOperation counts, from 1: four rights, the settings key
    // and its two values, then the password key.
    constexpr int CreatePasswordKeyStep = 4 + 3 + 1;
    reg.FailOperation(CreatePasswordKeyStep);
    EXPECT_THROW(config.cmdSave_Click(), registry::RegistryFailure);

    EXPECT_EQ(reg.Log().size(), std::size_t{CreatePasswordKeyStep});
    EXPECT_EQ(Stored(HKLM, SettingsKey, L"SecurityMode"), Dword(1));
    EXPECT_EQ(Stored(HKLM, SettingsKey, L"Restriction"), Sz(L"Current user"));
    EXPECT_EQ(Stored(HKLM, PasswordKey, L"MyPassword"), Sz(L"old"));
    EXPECT_FALSE(Stored(HKCU, ExplorerKey, L"NoDrives"));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(SaveTest, AnUnreachableRegistryFailsTheSaveAtTheRightsCheck) {
    reg.SetUnreachable(true);
    Choose({.scope = L"Current user", .mode = HideDrives, .drive = L"C:"});
    EXPECT_THROW(config.cmdSave_Click(), registry::RegistryFailure);
    EXPECT_EQ(reg.Log().size(), 1u);
    EXPECT_TRUE(window.messages.empty());
}

// The person at the desktop is another account whose hive is not loaded: a
// write there would make a key that no logon reads.
TEST_F(SaveTest, ASaveForASignedInUserWhoseHiveIsMissingFailsBeforeAnyPolicyChanges) {
    reg.CurrentUserSid = L"S-1-5-21-7-7-7-1001";
    reg.Seed(HKLM, ExplorerKey, L"NoDrives", std::int32_t{4});
    for (const wchar_t* scope : {L"Current user", L"All users"}) {
        Choose({.scope = scope, .mode = PreventAccess, .drive = L"C:"});
        try {
            config.cmdSave_Click();
            ADD_FAILURE() << "the save must fail";
        } catch (const registry::RegistryFailure& failure) {
            EXPECT_EQ(failure.what(), std::string("EnumRegValues failed on HKEY_USERS\\S-1-5-21-7-7-7-1001: "
                                                  "the signed-in user's registry is not loaded"));
            EXPECT_EQ(failure.ChangesBefore()->size(), 5u);  // the settings and the password
        }
        EXPECT_EQ(Stored(HKLM, ExplorerKey, L"NoDrives"), Dword(4));
        EXPECT_FALSE(window.timerRunning);
    }
}
