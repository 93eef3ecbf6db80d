// A policy configuration over a plain window and an in-memory registry.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "policy/drive_selection_table.h"
#include "policy/policy_configuration.h"
#include "tests/support/memory_registry.h"
#include "tests/support/drive_masks.h"
#include "tests/support/plain_window_values.h"
#include "tests/support/registry_keys.h"
#include "tests/support/window_choice.h"
#include "text/utf.h"

namespace policy_test {

using namespace keys;
inline constexpr registry::Root HKCU = registry::HiveCurrentUser;
inline constexpr registry::Root HKLM = registry::HiveLocalMachine;
inline constexpr registry::Root HKU = registry::HiveUsers;

// Log lines as MemoryRegistry describes them, with the long paths spelled out.
inline std::string Op(const char* root, const char* operation, const std::wstring& key, const std::string& rest = "") {
    return std::string(root) + " " + operation + " " + text::ToUtf8(key) + rest;
}

// The security options (PreventAccess, HideDrives) and the check states
// (Unchecked, Checked, Grayed) by their names.
using enum policy::SecurityOption;
using enum values::CheckState;

// What a save for "Current user" asks of the registry once the settings are
// stored: the machine's drive values go, the user's list of programs is read
// (listExisted: it held the program's "1"; else there is no subkey yet), the
// command prompt is blocked and the registry tools are not, and the drive
// value of the mode is written with the item's mask.  The user's hive is
// HKEY_CURRENT_USER, or (user "HKU", prefix "<SID>\\") another account's.
inline std::vector<std::string> CurrentUserPolicyLog(policy::SecurityOption mode, std::wstring_view drive,
                                                     bool listExisted, const char* user = "HKCU",
                                                     const std::wstring& prefix = L"") {
    const std::wstring explorer = prefix + ExplorerKey, list = prefix + DisallowRunKey, system = prefix + SystemKey;
    const std::string chosen = mode == PreventAccess ? "NoViewOnDrive" : "NoDrives";
    const std::string other = mode == PreventAccess ? "NoDrives" : "NoViewOnDrive";
    std::vector<std::string> log{Op("HKLM", "DeleteRegValue", ExplorerKey, "|NoDrives"),
                                 Op("HKLM", "DeleteRegValue", ExplorerKey, "|NoViewOnDrive")};
    if (listExisted) {
        log.push_back(Op(user, "EnumRegValues", list));
        log.push_back(Op(user, "GetRegString", list, "|1"));
    } else {
        log.push_back(Op(user, "EnumRegValues", list, " (failed)"));
    }
    for (const std::string& line :
         {Op(user, "CreateRegKey", explorer), Op(user, "SetRegDword", explorer, "|DisallowRun=1"),
          Op(user, "CreateRegKey", list), Op(user, "SetRegString", list, "|1=\"cmd.exe\""),
          Op(user, "CreateRegKey", system), Op(user, "SetRegDword", system, "|DisableRegistryTools=0"),
          Op(user, "DeleteRegValue", explorer, "|" + other), Op(user, "CreateRegKey", explorer),
          Op(user, "SetRegDword", explorer, "|" + chosen + "=" + std::to_string(Mask(drive)))})
        log.push_back(line);
    return log;
}

// The last three steps of every drive policy write, by name: the other mode's
// value removed, the key made, the chosen mode's value written.
struct DriveSteps {
    std::string otherModeRemoved, keyCreated, valueWritten;
};
inline DriveSteps LastDriveSteps(const std::vector<std::string>& log) {
    const std::size_t n = log.size();
    return n < 3 ? DriveSteps{} : DriveSteps{log[n - 3], log[n - 2], log[n - 1]};
}

// The values of the user's DisallowRun subkey by name.  The platform's own
// policy editor numbers its entries "1", "2", ... as the program does.
using ListEntries = std::map<std::wstring, registry::StoredValue>;

inline void SeedList(registry::MemoryRegistry& reg, std::optional<std::int32_t> disallowRun,
                     const ListEntries& entries) {
    if (disallowRun) reg.Seed(HKCU, ExplorerKey, L"DisallowRun", *disallowRun);
    for (const auto& [name, value] : entries) reg.Seed(HKCU, DisallowRunKey, name, value);
}

class PolicyTest : public ::testing::Test {
protected:
    void Choose(const WindowChoice& choice) {
        window.SetText(policy::TextControl::cboRestrict, choice.scope);
        window.SelectSecurity(choice.mode);
        window.SetText(policy::TextControl::cboDrive, choice.drive);
        window.SetCheckState(policy::CheckControl::chkCMD, choice.cmd);
        window.SetCheckState(policy::CheckControl::chkRegistry, choice.registryTools);
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
