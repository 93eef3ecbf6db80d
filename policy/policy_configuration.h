// The main window's save and load procedures, over the window's values.
//
// Usage (the main window owns one and forwards its events):
//   policy::PolicyConfiguration config(windowValues, registryProvider);
//   config.LoadHandler();      // when the window loads
//   config.cmdSave_Click();    // when Save is clicked
//   if (config.PolicyChanged()) ...   // after it, finished or failed
//
// Registry failures of the save pass to the caller, and so does a write,
// creation or deletion that the registry refuses: the save never goes on as
// if it had been carried out.  A failure that leaves the save has the timer
// switched off and carries the list of changes that the save had already
// made.  The load ignores failures step by step and leaves each control as it
// was.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "policy/drive_selection_table.h"
#include "policy/main_window_values.h"
#include "registry/registry_provider.h"

namespace policy {

class PolicyConfiguration {
public:
    PolicyConfiguration(MainWindowValues& window, registry::RegistryProvider& registry);

    // The save sequence behind Save.
    void cmdSave_Click();
    // Whether the last save, finished or failed, changed a policy value:
    // NoDrives, NoViewOnDrive, DisallowRun and its list, DisableRegistryTools.
    // A key created empty, the settings and the password are none.
    bool PolicyChanged() const { return policyChanged_; }
    // The window's load: the two list defaults, then the stored configuration.
    void LoadHandler();

    void SaveSettings();
    void ApplyDrivePolicy();
    void ApplyOptionalPolicies(bool write);
    void LoadSettings();
    void LoadDrivePolicy();
    void LoadOptionalPolicies();

    // Key paths and the drive value name, set right before each use.
    std::wstring ExplorerPolicyKey;
    std::wstring SystemPolicyKey;
    std::wstring SettingsKey;
    std::wstring PasswordKey;
    std::wstring DrivePolicyValueName;

private:
    // The save after the timer is on: rights check, settings, policies.
    void SaveSequence();
    // The save's registry changes.  Each raises RegistryFailure when the
    // registry does not carry the change out, except where that is the normal
    // outcome: deleting what is missing, and a key that stays because it has
    // a subkey.  What was carried out is noted in changes_.
    void CreateKey(const std::wstring& key);
    void WriteDword(const std::wstring& key, const std::wstring& valueName, std::int32_t data);
    void WriteString(const std::wstring& key, const std::wstring& valueName, const std::wstring& data,
                     bool secret = false);
    void RemoveValue(const std::wstring& key, const std::wstring& valueName);
    void RemoveKey(const std::wstring& key);
    // Notes a change that the registry carried out; raises for any other answer.
    void RequireCarriedOut(registry::ResultCode result, const wchar_t* operation, const std::wstring& key,
                           const std::wstring& valueName, std::wstring change);
    // After a carried-out change of a value or a removed key: was it a policy's?
    void NotePolicyChange(const std::wstring& key);
    // Where the current user is another account (the provider's
    // CurrentUserSid), that account's hive must be loaded under HKEY_USERS:
    // a write there would otherwise make a key that nobody's logon reads.
    // Raises RegistryFailure when it is not; leaves Hive at HiveCurrentUser.
    void RequireCurrentUsersHive();
    // The key as the report of a failure names it, with the root it went to.
    std::wstring KeyWithRoot(const std::wstring& key) const;
    // The mask that a drive list text stands for: a table row, or a stored
    // mask that the load added to the list.
    std::optional<DriveMask> DriveMaskForListText(const std::wstring& text) const;

    // The values of the DisallowRun subkey: the program's entries (strings
    // that read "cmd.exe" in any letter case) and every other editor's.
    struct DisallowRunEntries {
        std::vector<std::wstring> program;
        std::vector<std::wstring> others;
    };
    std::wstring DisallowRunKey() const;
    // A missing subkey holds no entries; any other failure to read it raises,
    // since an unreadable list is never taken for an empty one.
    DisallowRunEntries ReadDisallowRunEntries();
    // The two modes' part of ApplyOptionalPolicies for DisallowRun: another
    // editor's entries, and DisallowRun while it switches them on, are kept.
    void WriteDisallowRun(const DisallowRunEntries& entries);
    void RemoveDisallowRun(const DisallowRunEntries& entries);

    MainWindowValues& window_;
    registry::RegistryProvider& registry_;
    // What the save under way has changed, in order, for the report of a
    // failure that ends it.
    std::vector<std::wstring> changes_;
    bool policyChanged_ = false;
    // Stored masks without a row that the load added to cboDrive, by item
    // text; a save with one selected writes its mask unchanged.
    std::map<std::wstring, DriveMask> customDriveItems_;
};

}  // namespace policy
