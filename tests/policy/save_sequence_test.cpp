#include "tests/policy/policy_fixture.h"

using namespace policy_test;
using policy::TextControl;

namespace {

const std::wstring Rights = L"SYSTEM\\CurrentControlSet";

class SaveTest : public PolicyTest {
protected:
    void SetUp() override {
        reg.SeedKey(HKLM, Rights);
        reg.Seed(HKLM, Password, L"MyPassword", std::wstring(L"old"));
    }
    void Passwords(const std::wstring& first, const std::wstring& retype) {
        window.SetText(TextControl::txtPassword, first);
        window.SetText(TextControl::txtPassword2, retype);
    }
};

}  // namespace

TEST_F(SaveTest, TheRoadOfOneSaveFromTheButtonToTheRegistry) {
    Choose(L"Current user", 1, L"C: and D:", 1, 0);
    Passwords(L"s3cret", L"s3cret");
    config.cmdSave_Click();

    EXPECT_EQ(reg.DescribedLog(), (std::vector<std::string>{
                                      Op("HKLM", "CheckRegAccess", Rights, "=0x1"),
                                      Op("HKLM", "CheckRegAccess", Rights, "=0x2"),
                                      Op("HKLM", "CheckRegAccess", Rights, "=0x4"),
                                      Op("HKLM", "CheckRegAccess", Rights, "=0x10000"),
                                      Op("HKLM", "CreateRegKey", Settings),
                                      Op("HKLM", "SetRegDword", Settings, "|SecurityMode=1"),
                                      Op("HKLM", "SetRegString", Settings, "|Restriction=\"Current user\""),
                                      Op("HKLM", "CreateRegKey", Password),
                                      Op("HKLM", "SetRegString", Password, "|MyPassword=\"s3cret\""),
                                      Op("HKLM", "DeleteRegValue", Explorer, "|NoDrives"),
                                      Op("HKLM", "DeleteRegValue", Explorer, "|NoViewOnDrive"),
                                      // No list yet: the listing finds no subkey.
                                      Op("HKCU", "EnumRegValues", DisallowRunKey, " (failed)"),
                                      Op("HKCU", "CreateRegKey", Explorer),
                                      Op("HKCU", "SetRegDword", Explorer, "|DisallowRun=1"),
                                      Op("HKCU", "CreateRegKey", DisallowRunKey),
                                      Op("HKCU", "SetRegString", DisallowRunKey, "|1=\"cmd.exe\""),
                                      Op("HKCU", "CreateRegKey", System),
                                      Op("HKCU", "SetRegDword", System, "|DisableRegistryTools=0"),
                                      Op("HKCU", "DeleteRegValue", Explorer, "|NoViewOnDrive"),
                                      Op("HKCU", "CreateRegKey", Explorer),
                                      Op("HKCU", "SetRegDword", Explorer, "|NoDrives=12"),
                                  }));
    EXPECT_EQ(Stored(HKLM, Settings, L"SecurityMode"), Dword(1));
    EXPECT_EQ(Stored(HKLM, Settings, L"Restriction"), Sz(L"Current user"));
    EXPECT_EQ(Stored(HKLM, Password, L"MyPassword"), Sz(L"s3cret"));
    EXPECT_EQ(Stored(HKCU, Explorer, L"NoDrives"), Dword(12));
    EXPECT_TRUE(window.messages.empty());
    // The progress display runs on; it reports the end of the save itself.
    EXPECT_TRUE(window.timerRunning);
}

TEST_F(SaveTest, PreventAccessModeIsStoredAsSecurityModeZero) {
    Choose(L"All users", 0, L"A:");
    config.cmdSave_Click();
    EXPECT_EQ(Stored(HKLM, Settings, L"SecurityMode"), Dword(0));
    EXPECT_EQ(Stored(HKLM, Settings, L"Restriction"), Sz(L"All users"));
}

TEST_F(SaveTest, EmptyPasswordsAreStoredAsNoPassword) {
    Choose(L"Current user", 1, L"A:");
    config.cmdSave_Click();
    EXPECT_EQ(Stored(HKLM, Password, L"MyPassword"), Sz(L""));
}

TEST_F(SaveTest, ASaveRefusedByTheFirstRightWritesNothingAndAsksNoFurther) {
    reg.SetRights(HKLM, Rights, registry::RightSetValue | registry::RightCreateSubKey | registry::RightDelete);
    Choose(L"Current user", 1, L"C:");
    config.cmdSave_Click();

    EXPECT_EQ(reg.DescribedLog(), (std::vector<std::string>{Op("HKLM", "CheckRegAccess", Rights, "=0x1")}));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0],
              (policy::MessageBoxRequest{
                  L"Sorry, your administrator has restrict it!\r\nAlso you not running as administrator account",
                  L"Save process is failure", policy::MessageIcon::Warning, policy::MessageButtons::Ok}));
    EXPECT_FALSE(window.timerRunningAtMessage);
    EXPECT_FALSE(window.timerRunning);
    EXPECT_FALSE(reg.HasKey(HKLM, Settings));
}

TEST_F(SaveTest, TheRightsCheckStopsAtTheFirstRightThatIsMissing) {
    reg.SetRights(HKLM, Rights, registry::RightQueryValue | registry::RightSetValue | registry::RightDelete);
    Choose(L"Current user", 1, L"C:");
    config.cmdSave_Click();
    EXPECT_EQ(reg.Log().size(), 3u);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_FALSE(Stored(HKCU, Explorer, L"NoDrives"));
}

TEST_F(SaveTest, APasswordMismatchStoresEverythingButThePasswordAndAsksForTheRetype) {
    Choose(L"Current user", 1, L"C: and F:", 1, 1);
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
    EXPECT_EQ(Stored(HKLM, Password, L"MyPassword"), Sz(L"old"));
    EXPECT_EQ(Stored(HKLM, Settings, L"SecurityMode"), Dword(1));
    EXPECT_EQ(Stored(HKLM, Settings, L"Restriction"), Sz(L"Current user"));
    EXPECT_EQ(Stored(HKCU, Explorer, L"NoDrives"), Dword(36));
    EXPECT_EQ(Stored(HKCU, Explorer, L"DisallowRun"), Dword(1));
    EXPECT_EQ(Stored(HKCU, System, L"DisableRegistryTools"), Dword(1));
    EXPECT_FALSE(window.timerRunning);
}

TEST_F(SaveTest, AFailureInTheMiddleStopsTheSaveThereAndReachesTheCaller) {
    Choose(L"Current user", 1, L"C:");
    Passwords(L"new", L"new");
    reg.FailOperation(8);  // CreateRegKey of the password key
    EXPECT_THROW(config.cmdSave_Click(), registry::RegistryFailure);

    EXPECT_EQ(reg.Log().size(), 8u);
    EXPECT_EQ(Stored(HKLM, Settings, L"SecurityMode"), Dword(1));
    EXPECT_EQ(Stored(HKLM, Settings, L"Restriction"), Sz(L"Current user"));
    EXPECT_EQ(Stored(HKLM, Password, L"MyPassword"), Sz(L"old"));
    EXPECT_FALSE(Stored(HKCU, Explorer, L"NoDrives"));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(SaveTest, AnUnreachableRegistryFailsTheSaveAtTheRightsCheck) {
    reg.SetUnreachable(true);
    Choose(L"Current user", 1, L"C:");
    EXPECT_THROW(config.cmdSave_Click(), registry::RegistryFailure);
    EXPECT_EQ(reg.Log().size(), 1u);
    EXPECT_TRUE(window.messages.empty());
}
