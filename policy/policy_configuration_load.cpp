// The window's load: what a save stored is shown again.  Reading is
// forgiving: whatever is missing or unreadable leaves its control as it was.
#include "policy/drive_selection_table.h"
#include "policy/policy_configuration.h"
#include "policy/policy_keys.h"
#include "policy/tolerant.h"

namespace policy {

void PolicyConfiguration::LoadHandler() {
    window_.SetText(TextControl::cboDrive, std::wstring(NoSelectedItem));
    window_.SetText(TextControl::cboRestrict, std::wstring(ScopeCurrentUser));
    LoadSettings();
    LoadDrivePolicy();
}

void PolicyConfiguration::LoadSettings() {
    SettingsKey = SettingsPath;
    PasswordKey = PasswordPath;
    registry_.Hive = registry::HiveLocalMachine;

    const std::wstring modeName(SecurityModeName);
    const auto storedIs = [&](SecurityOption option) {
        return TrueUnlessKnownFalse(
            [&] { return registry_.GetRegDword(SettingsKey, modeName) == StoredNumber(option); });
    };
    if (storedIs(SecurityOption::PreventAccess)) {
        IgnoringFailure([&] { window_.SelectSecurity(SecurityOption::PreventAccess); });
        DrivePolicyValueName = NoViewOnDriveName;
    } else if (storedIs(SecurityOption::HideDrives)) {
        IgnoringFailure([&] { window_.SelectSecurity(SecurityOption::HideDrives); });
        DrivePolicyValueName = NoDrivesName;
    }

    IgnoringFailure([&] {
        window_.SetText(TextControl::cboRestrict, registry_.GetRegString(SettingsKey, std::wstring(RestrictionName)));
    });
    IgnoringFailure([&] {
        window_.SetText(TextControl::txtPassword, registry_.GetRegString(PasswordKey, std::wstring(MyPasswordName)));
    });
    // Both boxes match, so a save without retyping keeps the password.
    IgnoringFailure([&] { window_.SetText(TextControl::txtPassword2, window_.Text(TextControl::txtPassword)); });
}

void PolicyConfiguration::LoadDrivePolicy() {
    ExplorerPolicyKey = ExplorerPolicyPath;

    const std::wstring scope = window_.Text(TextControl::cboRestrict);
    if (scope == ScopeAllUsers) {
        registry_.Hive = registry::HiveLocalMachine;
    } else if (scope == ScopeCurrentUser) {
        registry_.Hive = registry::HiveCurrentUser;
        LoadOptionalPolicies();
    }

    IgnoringFailure([&] {
        const std::int32_t stored = registry_.GetRegDword(ExplorerPolicyKey, DrivePolicyValueName);
        if (auto item = DriveItemForMask(stored)) {
            window_.SetText(TextControl::cboDrive, std::wstring(*item));
            return;
        }
        // A mask without a row is shown as what it covers, so that the window
        // never claims that no drive is restricted and a save keeps the mask.
        const auto mask = static_cast<DriveMask>(stored);
        const std::wstring item = CustomDriveItem(mask);
        if (customDriveItems_.emplace(item, mask).second) window_.AddDriveItem(item);
        window_.SetText(TextControl::cboDrive, item);
    });
}

void PolicyConfiguration::LoadOptionalPolicies() {
    window_.SetEnabled(EnableControl::fraOptional, true);
    window_.SetEnabled(EnableControl::chkCMD, true);
    window_.SetEnabled(EnableControl::chkRegistry, true);

    IgnoringFailure([&] {
        values::CheckState state =
            CheckStateFromStored(registry_.GetRegDword(ExplorerPolicyKey, std::wstring(DisallowRunName)));
        // On turns on the whole list, which may hold only another editor's
        // entries: the box says whether the command prompt is among them.
        if (state == values::CheckState::Checked && ReadDisallowRunEntries().program.empty())
            state = values::CheckState::Unchecked;
        window_.SetCheckState(CheckControl::chkCMD, state);
    });
    SystemPolicyKey = SystemPolicyPath;
    IgnoringFailure([&] {
        window_.SetCheckState(CheckControl::chkRegistry, CheckStateFromStored(registry_.GetRegDword(
                                                             SystemPolicyKey, std::wstring(DisableRegistryToolsName))));
    });
}

}  // namespace policy
