// ApplyDrivePolicy and ApplyOptionalPolicies: the Explorer and System policy
// values of one save.
#include <algorithm>
#include <cwctype>
#include <tuple>

#include "policy/drive_selection_table.h"
#include "policy/policy_configuration.h"
#include "policy/policy_keys.h"

namespace policy {

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;

namespace {

// Windows compares program names without regard to letter case.
bool IsCommandPrompt(const std::wstring& data) {
    const std::wstring_view program = DisallowRunEntryData;
    return data.size() == program.size() &&
           std::equal(data.begin(), data.end(), program.begin(), [](wchar_t a, wchar_t b) {
               return std::towlower(static_cast<wint_t>(a)) == std::towlower(static_cast<wint_t>(b));
           });
}

// The lowest number that names no value of the list yet.
std::wstring FreeEntryName(const std::vector<std::wstring>& taken) {
    for (unsigned number = 1;; ++number) {
        std::wstring name = std::to_wstring(number);
        if (std::find(taken.begin(), taken.end(), name) == taken.end()) return name;
    }
}

}  // namespace

void PolicyConfiguration::ApplyDrivePolicy() {
    ExplorerPolicyKey = ExplorerPolicyPath;

    // The drive values of the other scope go, so that only one is in force.
    // Both scopes change the current user's hive; where that is another
    // account's, it is looked for before either root changes at all.
    const std::wstring scope = window_.Text(TextControl::cboRestrict);
    if (scope == ScopeCurrentUser || scope == ScopeAllUsers) RequireCurrentUsersHive();
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
    if (window_.SecuritySelected(SecurityOption::PreventAccess)) {
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
    // Read before any change: whose each entry is decides what may change.
    const DisallowRunEntries entries = ReadDisallowRunEntries();

    if (write) {
        CreateKey(ExplorerPolicyKey);  // see ApplyDrivePolicy
        WriteDisallowRun(entries);
        CreateKey(SystemPolicyKey);
        WriteDword(SystemPolicyKey, std::wstring(DisableRegistryToolsName),
                   StoredNumber(window_.CheckStateOf(CheckControl::chkRegistry)));
    } else {
        RemoveDisallowRun(entries);
        RemoveValue(SystemPolicyKey, std::wstring(DisableRegistryToolsName));
    }
}

void PolicyConfiguration::WriteDisallowRun(const DisallowRunEntries& entries) {
    const std::wstring key = DisallowRunKey();
    const std::wstring valueName(DisallowRunName);
    const values::CheckState state = window_.CheckStateOf(CheckControl::chkCMD);
    if (entries.others.empty()) {
        WriteDword(ExplorerPolicyKey, valueName, StoredNumber(state));
        CreateKey(key);
        // Written whatever chkCMD says: DisallowRun = 0 keeps the list off.
        WriteString(key, std::wstring(DisallowRunEntryName), std::wstring(DisallowRunEntryData));
        return;
    }
    // DisallowRun switches the other editor's entries too: a ticked box turns
    // it on, an unticked one takes out only the program's entry, and a grayed
    // one, which stands for a state the box cannot show, leaves the list alone.
    if (state == values::CheckState::Checked) {
        WriteDword(ExplorerPolicyKey, valueName, StoredNumber(values::CheckState::Checked));
        if (entries.program.empty())
            WriteString(key, FreeEntryName(entries.others), std::wstring(DisallowRunEntryData));
    } else if (state == values::CheckState::Unchecked) {
        for (const std::wstring& name : entries.program) RemoveValue(key, name);
    }
}

void PolicyConfiguration::RemoveDisallowRun(const DisallowRunEntries& entries) {
    const std::wstring key = DisallowRunKey();
    const bool onlyOurs = entries.others.empty();
    if (onlyOurs) RemoveValue(ExplorerPolicyKey, std::wstring(DisallowRunName));
    for (const std::wstring& name : entries.program) RemoveValue(key, name);
    if (onlyOurs) RemoveKey(key);
}

void PolicyConfiguration::RequireCurrentUsersHive() {
    if (!registry_.CurrentUserSid) return;
    registry_.Hive = HiveCurrentUser;
    // The hive's own root key, which the redirection names by the SID alone.
    // Listing its values answers "not found" exactly when it is missing;
    // StdRegProv's access check answers a missing key and a refusal alike.
    try {
        std::ignore = registry_.EnumRegValues(L"");
    } catch (const registry::RegistryFailure& failure) {
        if (failure.Result() != registry::ResultNotFound) throw;
        throw registry::RegistryFailure(failure.Operation(), failure.RootUsed(), failure.Key(), L"",
                                        L"the signed-in user's registry is not loaded", failure.Result());
    }
}

std::wstring PolicyConfiguration::DisallowRunKey() const {
    return ExplorerPolicyKey + L"\\" + std::wstring(DisallowRunName);
}

PolicyConfiguration::DisallowRunEntries PolicyConfiguration::ReadDisallowRunEntries() {
    const std::wstring key = DisallowRunKey();
    std::vector<registry::RegistryValueInfo> values;
    try {
        values = registry_.EnumRegValues(key);
    } catch (const registry::RegistryFailure& failure) {
        if (failure.Result() != registry::ResultNotFound) throw;
    }
    DisallowRunEntries entries;
    for (const registry::RegistryValueInfo& value : values) {
        const bool program =
            value.type == registry::ValueTypeString && IsCommandPrompt(registry_.GetRegString(key, value.name));
        (program ? entries.program : entries.others).push_back(value.name);
    }
    return entries;
}

std::optional<DriveMask> PolicyConfiguration::DriveMaskForListText(const std::wstring& text) const {
    if (auto mask = DriveMaskForItem(text)) return mask;
    if (auto custom = customDriveItems_.find(text); custom != customDriveItems_.end()) return custom->second;
    return std::nullopt;
}

}  // namespace policy
