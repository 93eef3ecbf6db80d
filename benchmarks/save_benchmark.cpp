#include "benchmarks/save_benchmark.h"

#include <cstdio>
#include <string>

#include "benchmarks/benchmark_timing.h"
#include "benchmarks/registry_checks.h"
#include "policy/main_window_values.h"
#include "policy/policy_configuration.h"
#include "policy/policy_keys.h"
#include "registry/win32/wmi_registry_provider.h"
#include "tests/support/plain_window_values.h"
#include "tests/support/win32/registry_witness.h"
#include "text/utf.h"

namespace benchmark {

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;
using registry::WmiRegistryProvider;

namespace {

// A provider that counts the operations of one save and the routes they took:
// the registry API's for a method that the service lacks (registry_api_route.h).
class CountingProvider : public WmiRegistryProvider {
public:
    int operations = 0;
    int throughRegistryApi = 0;

protected:
    registry::ResultCode DoCreateRegKey(registry::Root root, const std::wstring& key) override {
        const registry::ResultCode result = WmiRegistryProvider::DoCreateRegKey(root, key);
        Count(false);
        return result;
    }
    registry::ResultCode DoSetRegString(registry::Root root, const std::wstring& key, const std::wstring& name,
                                        const std::wstring& data) override {
        const registry::ResultCode result = WmiRegistryProvider::DoSetRegString(root, key, name, data);
        Count(false);
        return result;
    }
    registry::ResultCode DoSetRegDword(registry::Root root, const std::wstring& key, const std::wstring& name,
                                       std::int32_t data) override {
        const registry::ResultCode result = WmiRegistryProvider::DoSetRegDword(root, key, name, data);
        Count(false);
        return result;
    }
    std::wstring DoGetRegString(registry::Root root, const std::wstring& key, const std::wstring& name) override {
        std::wstring data = WmiRegistryProvider::DoGetRegString(root, key, name);
        Count(false);
        return data;
    }
    std::int32_t DoGetRegDword(registry::Root root, const std::wstring& key, const std::wstring& name) override {
        const std::int32_t data = WmiRegistryProvider::DoGetRegDword(root, key, name);
        Count(lacksGetDword_);
        return data;
    }
    registry::ResultCode DoDeleteRegValue(registry::Root root, const std::wstring& key,
                                          const std::wstring& name) override {
        const registry::ResultCode result = WmiRegistryProvider::DoDeleteRegValue(root, key, name);
        Count(lacksDelete_);
        return result;
    }
    registry::ResultCode DoDeleteRegKey(registry::Root root, const std::wstring& key) override {
        const registry::ResultCode result = WmiRegistryProvider::DoDeleteRegKey(root, key);
        Count(false);
        return result;
    }
    bool DoCheckRegAccess(registry::Root root, const std::wstring& key, std::uint32_t rights) override {
        const bool granted = WmiRegistryProvider::DoCheckRegAccess(root, key, rights);
        Count(lacksCheckAccess_);
        return granted;
    }
    std::vector<registry::RegistryValueInfo> DoEnumRegValues(registry::Root root, const std::wstring& key) override {
        try {
            std::vector<registry::RegistryValueInfo> values = WmiRegistryProvider::DoEnumRegValues(root, key);
            Count(false);
            return values;
        } catch (const registry::RegistryFailure&) {
            Count(false);  // a first save finds no DisallowRun list: an answer of the service too
            throw;
        }
    }

private:
    void Count(bool throughTheRegistryApi) {
        ++operations;
        if (throughTheRegistryApi) ++throughRegistryApi;
    }
    const bool lacksGetDword_ = !witness::StdRegProvHasMethod(L"GetDWORDValue");
    const bool lacksDelete_ = !witness::StdRegProvHasMethod(L"DeleteValue");
    const bool lacksCheckAccess_ = !witness::StdRegProvHasMethod(L"CheckAccess");
};

// One click on Save with the choices of the main window filled in.
void Save(registry::RegistryProvider& provider) {
    using policy::TextControl;
    PlainWindowValues window;
    window.SetText(TextControl::cboRestrict, std::wstring(policy::ScopeCurrentUser));
    window.SelectSecurity(policy::SecurityOption::HideDrives);
    window.SetText(TextControl::cboDrive, L"C: and D:");
    window.SetCheckState(policy::CheckControl::chkCMD, values::CheckState::Checked);
    window.SetCheckState(policy::CheckControl::chkRegistry, values::CheckState::Unchecked);
    policy::PolicyConfiguration config(window, provider);
    config.cmdSave_Click();
    // A refused rights check or unequal passwords would end in a message box
    // and a shorter save: that is not the save being measured.
    if (!window.messages.empty()) throw Failure("the save showed a message: " + text::ToUtf8(window.messages[0].title));
}

}  // namespace

void MeasureSave(int saves) {
    const std::wstring explorer(policy::ExplorerPolicyPath);
    Require(witness::KeyExists(HiveLocalMachine, std::wstring(policy::RightsCheckPath)),
            "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet is missing: the save's rights check would fail");

    CountingProvider counting;
    Save(counting);  // also the warm-up
    WmiRegistryProvider provider;
    Save(provider);

    witness::DeleteValue(HiveCurrentUser, explorer, std::wstring(policy::NoDrivesName));
    benchmark::Samples samples;
    for (int i = 0; i < saves; ++i) {
        const benchmark::Stopwatch watch;
        Save(provider);
        samples.Add(watch.ElapsedMs());
    }
    Require(StoredNumber(HiveCurrentUser, explorer, std::wstring(policy::NoDrivesName)) == 12u &&
                StoredString(HiveCurrentUser, explorer + L"\\DisallowRun", L"1") == std::wstring(L"cmd.exe") &&
                StoredNumber(HiveLocalMachine, std::wstring(policy::SettingsPath), L"SecurityMode") == 1u,
            "the save did not store its values");

    std::printf(
        "\nWhole save through WmiRegistryProvider (scope \"Current user\", \"Hide Drives in My Computer \",\n"
        "\"C: and D:\", command prompt blocked): %d operations per save, %d through StdRegProv and %d\n"
        "through the registry API; %d saves after 2 untimed ones.\n\n",
        counting.operations, counting.operations - counting.throughRegistryApi, counting.throughRegistryApi, saves);
    std::printf("%-15s %12s %12s %12s %14s\n", "Save", "Mean ms", "Median ms", "Min ms", "Mean ms per op");
    std::printf("%-15s %12.3f %12.3f %12.3f %14.3f\n", "cmdSave_Click", samples.Mean(), samples.Median(), samples.Min(),
                samples.Mean() / counting.operations);
}

}  // namespace benchmark
