// The registry keys of the program as the tests spell them out, on their own:
// a test that took them from the program would pass with a misspelt key.
#pragma once

#include <string>

namespace keys {

inline const std::wstring ExplorerKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline const std::wstring DisallowRunKey = ExplorerKey + L"\\DisallowRun";
// The upper-case "SOFTWARE" is the program's own spelling.
inline const std::wstring SystemKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
inline const std::wstring SettingsKey = L"Software\\Tessmor Software\\Quelvane 2";
inline const std::wstring PasswordKey = L"Software\\Ploz\\psw";
// Where a save checks the user's rights.
inline const std::wstring RightsKey = L"SYSTEM\\CurrentControlSet";

}  // namespace keys
