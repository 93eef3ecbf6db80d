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
        registry_.DeleteRegValue(ExplorerPolicyKey, std::wstring(NoDrivesName));
        registry_.DeleteRegValue(ExplorerPolicyKey, std::wstring(NoViewOnDriveName));
        registry_.Hive = HiveCurrentUser;
        ApplyOptionalPolicies(true);
    } else if (scope == ScopeAllUsers) {
        registry_.Hive = HiveCurrentUser;
        registry_.DeleteRegValue(ExplorerPolicyKey, std::wstring(NoDrivesName));
        registry_.DeleteRegValue(ExplorerPolicyKey, std::wstring(NoViewOnDriveName));
        ApplyOptionalPolicies(false);
        registry_.Hive = HiveLocalMachine;
    }

    // And the value of the other mode in the scope's own root.
    if (window_.SecuritySelected(0)) {
        registry_.DeleteRegValue(ExplorerPolicyKey, std::wstring(NoDrivesName));
        DrivePolicyValueName = NoViewOnDriveName;
    } else {
        registry_.DeleteRegValue(ExplorerPolicyKey, std::wstring(NoViewOnDriveName));
        DrivePolicyValueName = NoDrivesName;
    }

    const auto mask = DriveMaskForItem(window_.Text(TextControl::cboDrive));
    if (!mask) return;
    // A value written into a missing key is silently lost, and a new profile
    // or HKEY_LOCAL_MACHINE often has no Explorer policies key yet.
    registry_.CreateRegKey(ExplorerPolicyKey);
    registry_.SetRegDword(ExplorerPolicyKey, DrivePolicyValueName, static_cast<std::int32_t>(*mask));
}

void PolicyConfiguration::ApplyOptionalPolicies(bool write) {
    SystemPolicyKey = SystemPolicyPath;
    const std::wstring disallowRunKey = ExplorerPolicyKey + L"\\" + std::wstring(DisallowRunName);

    if (write) {
        registry_.CreateRegKey(ExplorerPolicyKey);  // see ApplyDrivePolicy
        registry_.SetRegDword(ExplorerPolicyKey, std::wstring(DisallowRunName),
                              window_.CheckState(CheckControl::chkCMD));
        registry_.CreateRegKey(disallowRunKey);
        // Written whatever chkCMD says: DisallowRun = 0 keeps the list off.
        registry_.SetRegString(disallowRunKey, std::wstring(DisallowRunEntryName),
                               std::wstring(DisallowRunEntryData));
        registry_.CreateRegKey(SystemPolicyKey);
        registry_.SetRegDword(SystemPolicyKey, std::wstring(DisableRegistryToolsName),
                              window_.CheckState(CheckControl::chkRegistry));
    } else {
        registry_.DeleteRegValue(ExplorerPolicyKey, std::wstring(DisallowRunName));
        registry_.DeleteRegValue(disallowRunKey, std::wstring(DisallowRunEntryName));
        registry_.DeleteRegKey(disallowRunKey);
        registry_.DeleteRegValue(SystemPolicyKey, std::wstring(DisableRegistryToolsName));
    }
}

}  // namespace policy
