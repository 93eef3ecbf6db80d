// A policy configuration over a plain window and an in-memory registry.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "policy/policy_configuration.h"
#include "registry/memory_registry.h"
#include "tests/policy/plain_window_values.h"
#include "text/utf.h"

namespace policy_test {

inline const std::wstring Explorer = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline const std::wstring DisallowRunKey = Explorer + L"\\DisallowRun";
inline const std::wstring System = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
inline const std::wstring Settings = L"Software\\Tessmor Software\\Quelvane 2";
inline const std::wstring Password = L"Software\\Ploz\\psw";
inline constexpr registry::Root HKCU = registry::HiveCurrentUser;
inline constexpr registry::Root HKLM = registry::HiveLocalMachine;

// Log lines as MemoryRegistry describes them, with the long paths spelled out.
inline std::string Op(const char* root, const char* operation, const std::wstring& key, const char* rest = "") {
    return std::string(root) + " " + operation + " " + text::ToUtf8(key) + rest;
}

// The values of the user's DisallowRun subkey by name.  The platform's own
// policy editor numbers its entries "1", "2", ... as the program does.
using ListEntries = std::map<std::wstring, registry::StoredValue>;

inline void SeedList(registry::MemoryRegistry& reg, std::optional<std::int32_t> disallowRun,
                     const ListEntries& entries) {
    if (disallowRun) reg.Seed(HKCU, Explorer, L"DisallowRun", *disallowRun);
    for (const auto& [name, value] : entries) reg.Seed(HKCU, DisallowRunKey, name, value);
}

class PolicyTest : public ::testing::Test {
protected:
    void Choose(const std::wstring& scope, int mode, const std::wstring& drive, int cmd = 0, int registryTools = 0) {
        window.SetText(policy::TextControl::cboRestrict, scope);
        window.SelectSecurity(mode);
        window.SetText(policy::TextControl::cboDrive, drive);
        window.SetCheckState(policy::CheckControl::chkCMD, cmd);
        window.SetCheckState(policy::CheckControl::chkRegistry, registryTools);
    }
    std::optional<registry::StoredValue> Stored(registry::Root root, const std::wstring& key,
                                                const std::wstring& name) const {
        return reg.Value(root, key, name);
    }
    static registry::StoredValue Dword(std::int32_t number) { return number; }
    static registry::StoredValue Sz(const std::wstring& text) { return text; }

    registry::MemoryRegistry reg;
    PlainWindowValues window;
    policy::PolicyConfiguration config{window, reg};
};

}  // namespace policy_test
