// ApplyDrivePolicy and ApplyOptionalPolicies: the Explorer and System policy
// values of one save.
#include "policy/drive_selection_table.h"
#include "policy/policy_configuration.h"
#include "policy/policy_keys.h"

namespace policy {

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;

void PolicyConfiguration::ApplyDrivePolicy() {
    ExplorerPolicyKey = ExplorerPolicyPath;

    // The drive values of the other scope go, so that only one is in force.
    const std::wstring scope = window_.Text(TextControl::cboRestrict);
    if (scope == ScopeCurrentUser) {
        registry_.Hive = HiveLocalMachine;
        RemoveValue(ExplorerPolicyKey, std::wstring(NoDrivesName));
        RemoveValue(ExplorerPolicyKey, std::wstring(NoViewOnDriveName));
        registry_.Hive = HiveCurrentUser;
        ApplyOptionalPolicies(true);
    } else if (scope == ScopeAllUsers) {
        registry_.Hive = HiveCurrentUser;
        RemoveValue(ExplorerPolicyKey, std::wstring(NoDrivesName));
        RemoveValue(ExplorerPolicyKey, std::wstring(NoViewOnDriveName));
        ApplyOptionalPolicies(false);
        registry_.Hive = HiveLocalMachine;
    }

    // And the value of the other mode in the scope's own root.
    if (window_.SecuritySelected(0)) {
        RemoveValue(ExplorerPolicyKey, std::wstring(NoDrivesName));
        DrivePolicyValueName = NoViewOnDriveName;
    } else {
        RemoveValue(ExplorerPolicyKey, std::wstring(NoViewOnDriveName));
        DrivePolicyValueName = NoDrivesName;
    }

    const auto mask = DriveMaskForListText(window_.Text(TextControl::cboDrive));
    if (!mask) return;
    // A value written into a missing key is silently lost, and a new profile
    // or HKEY_LOCAL_MACHINE often has no Explorer policies key yet.
    CreateKey(ExplorerPolicyKey);
    WriteDword(ExplorerPolicyKey, DrivePolicyValueName, static_cast<std::int32_t>(*mask));
}

void PolicyConfiguration::ApplyOptionalPolicies(bool write) {
    SystemPolicyKey = SystemPolicyPath;
    const std::wstring disallowRunKey = ExplorerPolicyKey + L"\\" + std::wstring(DisallowRunName);

    if (write) {
        CreateKey(ExplorerPolicyKey);  // see ApplyDrivePolicy
        WriteDword(ExplorerPolicyKey, std::wstring(DisallowRunName), window_.CheckState(CheckControl::chkCMD));
        CreateKey(disallowRunKey);
        // Written whatever chkCMD says: DisallowRun = 0 keeps the list off.
        WriteString(disallowRunKey, std::wstring(DisallowRunEntryName), std::wstring(DisallowRunEntryData));
        CreateKey(SystemPolicyKey);
        WriteDword(SystemPolicyKey, std::wstring(DisableRegistryToolsName),
                   window_.CheckState(CheckControl::chkRegistry));
    } else {
        RemoveValue(ExplorerPolicyKey, std::wstring(DisallowRunName));
        RemoveValue(disallowRunKey, std::wstring(DisallowRunEntryName));
        RemoveKey(disallowRunKey);
        RemoveValue(SystemPolicyKey, std::wstring(DisableRegistryToolsName));
    }
}

std::optional<DriveMask> PolicyConfiguration::DriveMaskForListText(const std::wstring& text) const {
    if (auto mask = DriveMaskForItem(text)) return mask;
    if (auto custom = customDriveItems_.find(text); custom != customDriveItems_.end()) return custom->second;
    return std::nullopt;
}

}  // namespace policy
