// The Save button: rights check, settings and password, then the policies.
#include "policy/policy_configuration.h"
#include "policy/policy_keys.h"

namespace policy {

PolicyConfiguration::PolicyConfiguration(MainWindowValues& window, registry::RegistryProvider& registry)
    : window_(window), registry_(registry) {}

void PolicyConfiguration::cmdSave_Click() {
    window_.SetTimerRunning(true);
    registry_.Hive = registry::HiveLocalMachine;

    // Asked one right at a time; the first one missing ends the check.
    const std::wstring rightsKey(RightsCheckPath);
    bool granted = true;
    for (std::uint32_t right : {registry::RightQueryValue, registry::RightSetValue, registry::RightCreateSubKey,
                                registry::RightDelete}) {
        if (!registry_.CheckRegAccess(rightsKey, right)) {
            granted = false;
            break;
        }
    }

    if (!granted) {
        window_.SetTimerRunning(false);
        window_.ShowMessage({L"Sorry, your administrator has restrict it!\r\nAlso you not running as administrator account",
                             L"Save process is failure", MessageIcon::Warning, MessageButtons::Ok});
        return;
    }
    SaveSettings();
    ApplyDrivePolicy();
}

void PolicyConfiguration::SaveSettings() {
    SettingsKey = SettingsPath;
    PasswordKey = PasswordPath;
    registry_.Hive = registry::HiveLocalMachine;

    registry_.CreateRegKey(SettingsKey);
    registry_.SetRegDword(SettingsKey, std::wstring(SecurityModeName), window_.SecuritySelected(0) ? 0 : 1);
    registry_.SetRegString(SettingsKey, std::wstring(RestrictionName), window_.Text(TextControl::cboRestrict));
    registry_.CreateRegKey(PasswordKey);

    if (window_.Text(TextControl::txtPassword2) == window_.Text(TextControl::txtPassword)) {
        registry_.SetRegString(PasswordKey, std::wstring(MyPasswordName), window_.Text(TextControl::txtPassword2));
        return;
    }
    // The old password stays; the settings and policies are still saved.
    window_.SetTimerRunning(false);
    window_.ShowMessage({L"Sorry, both password must be similiar", L"Password incorrect", MessageIcon::Warning,
                         MessageButtons::Ok});
    window_.SetText(TextControl::txtPassword2, L"");
    window_.FocusRetypeBox();
}

}  // namespace policy
