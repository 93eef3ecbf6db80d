// The Save button: rights check, settings and password, then the policies.
#include "policy/policy_configuration.h"
#include "policy/policy_keys.h"

namespace policy {

PolicyConfiguration::PolicyConfiguration(MainWindowValues& window, registry::RegistryProvider& registry)
    : window_(window), registry_(registry) {}

void PolicyConfiguration::cmdSave_Click() {
    changes_.clear();
    policyChanged_ = false;
    window_.SetTimerRunning(true);
    try {
        SaveSequence();
    } catch (registry::RegistryFailure& failure) {
        // No tick may report success behind the failure's report, and the
        // report says what the save had already changed.
        window_.SetTimerRunning(false);
        failure.SetChangesBefore(changes_);
        throw;
    } catch (...) {
        window_.SetTimerRunning(false);
        throw;
    }
}

void PolicyConfiguration::SaveSequence() {
    registry_.Hive = registry::HiveLocalMachine;

    // Asked one right at a time; the first one missing ends the check.
    const std::wstring rightsKey(RightsCheckPath);
    bool granted = true;
    for (std::uint32_t right :
         {registry::RightQueryValue, registry::RightSetValue, registry::RightCreateSubKey, registry::RightDelete}) {
        if (!registry_.CheckRegAccess(rightsKey, right)) {
            granted = false;
            break;
        }
    }

    if (!granted) {
        window_.SetTimerRunning(false);
        window_.ShowMessage(
            {L"Sorry, your administrator has restrict it!\r\nAlso you not running as administrator account",
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

    CreateKey(SettingsKey);
    const SecurityOption option = window_.SecuritySelected(SecurityOption::PreventAccess)
                                      ? SecurityOption::PreventAccess
                                      : SecurityOption::HideDrives;
    WriteDword(SettingsKey, std::wstring(SecurityModeName), StoredNumber(option));
    WriteString(SettingsKey, std::wstring(RestrictionName), window_.Text(TextControl::cboRestrict));
    CreateKey(PasswordKey);

    if (window_.Text(TextControl::txtPassword2) == window_.Text(TextControl::txtPassword)) {
        WriteString(PasswordKey, std::wstring(MyPasswordName), window_.Text(TextControl::txtPassword2), true);
        return;
    }
    // The old password stays; the settings and policies are still saved.
    window_.SetTimerRunning(false);
    window_.ShowMessage(
        {L"Sorry, both password must be similiar", L"Password incorrect", MessageIcon::Warning, MessageButtons::Ok});
    window_.SetText(TextControl::txtPassword2, L"");
    window_.FocusRetypeBox();
}

// Where the registry really acted: HKEY_USERS\<SID> rather than
// HKEY_CURRENT_USER while the current user is another account.
std::wstring PolicyConfiguration::KeyWithRoot(const std::wstring& key) const {
    const auto at = registry_.Where(key);
    return at ? registry::RootName(at->root) + L"\\" + at->key : key;
}

void PolicyConfiguration::RequireCarriedOut(registry::ResultCode result, const wchar_t* operation,
                                            const std::wstring& key, const std::wstring& valueName,
                                            std::wstring change) {
    if (result != registry::ResultSuccess) {
        const auto at = registry_.Where(key);
        throw registry::RegistryFailure(operation, at ? std::optional(at->root) : std::nullopt, at ? at->key : key,
                                        valueName,
                                        L"the registry did not carry it out: " + registry::ResultText(result));
    }
    changes_.push_back(std::move(change));
}

void PolicyConfiguration::NotePolicyChange(const std::wstring& key) {
    if (key == ExplorerPolicyKey || key == DisallowRunKey() || key == SystemPolicyKey) policyChanged_ = true;
}

void PolicyConfiguration::CreateKey(const std::wstring& key) {
    RequireCarriedOut(registry_.CreateRegKey(key), L"CreateRegKey", key, L"", L"created key " + KeyWithRoot(key));
}

void PolicyConfiguration::WriteDword(const std::wstring& key, const std::wstring& valueName, std::int32_t data) {
    RequireCarriedOut(registry_.SetRegDword(key, valueName, data), L"SetRegDword", key, valueName,
                      L"set " + KeyWithRoot(key) + L", value \"" + valueName + L"\" to " + std::to_wstring(data));
    NotePolicyChange(key);
}

void PolicyConfiguration::WriteString(const std::wstring& key, const std::wstring& valueName, const std::wstring& data,
                                      bool secret) {
    RequireCarriedOut(registry_.SetRegString(key, valueName, data), L"SetRegString", key, valueName,
                      L"set " + KeyWithRoot(key) + L", value \"" + valueName + L"\" to " +
                          (secret ? L"the new password" : L"\"" + data + L"\""));
    NotePolicyChange(key);
}

void PolicyConfiguration::RemoveValue(const std::wstring& key, const std::wstring& valueName) {
    const registry::ResultCode result = registry_.DeleteRegValue(key, valueName);
    // A value that is not there is as removed as the save wants it.
    if (result == registry::ResultNotFound) return;
    RequireCarriedOut(result, L"DeleteRegValue", key, valueName,
                      L"removed " + KeyWithRoot(key) + L", value \"" + valueName + L"\"");
    NotePolicyChange(key);
}

void PolicyConfiguration::RemoveKey(const std::wstring& key) {
    const registry::ResultCode result = registry_.DeleteRegKey(key);
    // A missing key is removed already, and one that holds another tool's
    // subkey has always been left in place.
    if (result == registry::ResultNotFound || result == registry::ResultKeyHasSubkeys) return;
    RequireCarriedOut(result, L"DeleteRegKey", key, L"", L"removed key " + KeyWithRoot(key));
    NotePolicyChange(key);
}

}  // namespace policy
