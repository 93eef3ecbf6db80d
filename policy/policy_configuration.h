// The main window's save and load procedures, over the window's values.
//
// Usage (the main window owns one and forwards its events):
//   policy::PolicyConfiguration config(windowValues, registryProvider);
//   config.LoadHandler();      // when the window loads
//   config.cmdSave_Click();    // when Save is clicked
//
// Registry failures of the save pass to the caller; the load ignores them
// step by step and leaves each control as it was.
#pragma once

#include <string>

#include "policy/main_window_values.h"
#include "registry/registry_provider.h"

namespace policy {

class PolicyConfiguration {
public:
    PolicyConfiguration(MainWindowValues& window, registry::RegistryProvider& registry);

    // The save sequence behind Save.
    void cmdSave_Click();
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
    MainWindowValues& window_;
    registry::RegistryProvider& registry_;
};

}  // namespace policy
