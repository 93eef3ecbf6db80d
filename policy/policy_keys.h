// Registry paths, value names and texts that the save and the load share.
#pragma once

#include <string_view>

namespace policy {

inline constexpr std::wstring_view ExplorerPolicyPath =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
// The upper-case "SOFTWARE" is how the program has always written it.
inline constexpr std::wstring_view SystemPolicyPath = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
inline constexpr std::wstring_view SettingsPath = L"Software\\Tessmor Software\\Quelvane 2";
inline constexpr std::wstring_view PasswordPath = L"Software\\Ploz\\psw";
inline constexpr std::wstring_view RightsCheckPath = L"SYSTEM\\CurrentControlSet";

inline constexpr std::wstring_view NoDrivesName = L"NoDrives";
inline constexpr std::wstring_view NoViewOnDriveName = L"NoViewOnDrive";
inline constexpr std::wstring_view DisallowRunName = L"DisallowRun";
inline constexpr std::wstring_view DisallowRunEntryName = L"1";
inline constexpr std::wstring_view DisallowRunEntryData = L"cmd.exe";
inline constexpr std::wstring_view DisableRegistryToolsName = L"DisableRegistryTools";
inline constexpr std::wstring_view SecurityModeName = L"SecurityMode";
inline constexpr std::wstring_view RestrictionName = L"Restriction";
inline constexpr std::wstring_view MyPasswordName = L"MyPassword";

inline constexpr std::wstring_view ScopeCurrentUser = L"Current user";
inline constexpr std::wstring_view ScopeAllUsers = L"All users";
inline constexpr std::wstring_view NoSelectedItem = L"No selected";

}  // namespace policy
