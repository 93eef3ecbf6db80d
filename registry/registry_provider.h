// The registry operations of the program and the shared root selector.
//
// Usage:
//   registry::RegistryProvider& reg = ...;       // WMI on Windows, in memory in tests
//   reg.Hive = registry::HiveLocalMachine;       // callers pick the root first
//   reg.CreateRegKey(L"Software\\Ploz\\psw");
//   std::wstring pw = reg.GetRegString(L"Software\\Ploz\\psw", L"MyPassword");
//
// Every operation acts on the root that `Hive` holds when it is called.  An
// operation called while `Hive` is unset raises RegistryFailure.  While
// `CurrentUserSid` is set, "the current user" is that account, not the one
// that the program runs as: an operation called with `Hive` at
// HiveCurrentUser acts on HKEY_USERS\<that SID>\key instead.  Writes,
// creations and deletions answer the registry's result code and raise only
// when the call itself fails: a caller that must know whether the registry
// carried the change out looks at the code.  A read that has nothing of the
// asked kind to return raises RegistryFailure; so does listing the values of
// a missing key, with ResultNotFound as its result code.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace registry {

using Root = std::int32_t;

inline constexpr Root HiveCurrentUser = static_cast<Root>(0x80000001u);
inline constexpr Root HiveLocalMachine = static_cast<Root>(0x80000002u);
// Every loaded user's hive, each under its account's SID.
inline constexpr Root HiveUsers = static_cast<Root>(0x80000003u);

// Standard registry access rights, as the rights check asks for them.
inline constexpr std::uint32_t RightQueryValue = 0x1;
inline constexpr std::uint32_t RightSetValue = 0x2;
inline constexpr std::uint32_t RightCreateSubKey = 0x4;
inline constexpr std::uint32_t RightDelete = 0x10000;

// "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS" or the number in hex.
std::wstring RootName(Root root);

// What the registry answered to a write, creation or deletion: the platform's
// error code, 0 when the change was carried out.
using ResultCode = std::uint32_t;
inline constexpr ResultCode ResultSuccess = 0;
inline constexpr ResultCode ResultNotFound = 2;      // ERROR_FILE_NOT_FOUND: no such key or value
inline constexpr ResultCode ResultAccessDenied = 5;  // ERROR_ACCESS_DENIED
// ERROR_KEY_HAS_CHILDREN: a key that was not deleted because it has a subkey.
// StdRegProv answers 5 for that, as for a refusal; the providers tell the two
// apart and answer this code for the first.
inline constexpr ResultCode ResultKeyHasSubkeys = 1020;

// "success", "not found (2)", "access denied (5)", ... for reports.
std::wstring ResultText(ResultCode code);

// A value's type as the registry numbers it.
using ValueType = std::uint32_t;
inline constexpr ValueType ValueTypeString = 1;  // REG_SZ
inline constexpr ValueType ValueTypeDword = 4;   // REG_DWORD

// One value of a key, as listing the key's values names it.
struct RegistryValueInfo {
    std::wstring name;  // empty for the key's unnamed value
    ValueType type = 0;
    bool operator==(const RegistryValueInfo&) const = default;
};

// The failure of one registry operation: which operation, on which root, key
// and value, and why.  what() holds the whole sentence in UTF-8.
class RegistryFailure : public std::runtime_error {
public:
    // result: the registry's own answer, where the provider learnt one, so
    // that a caller can tell a missing key from a refusal or a broken service.
    RegistryFailure(std::wstring operation, std::optional<Root> root, std::wstring key, std::wstring valueName,
                    std::wstring reason, std::optional<ResultCode> result = std::nullopt);

    const std::wstring& Operation() const { return operation_; }
    std::optional<Root> RootUsed() const { return root_; }
    const std::wstring& Key() const { return key_; }
    const std::wstring& ValueName() const { return valueName_; }
    const std::wstring& Reason() const { return reason_; }
    std::optional<ResultCode> Result() const { return result_; }
    // The whole report as a wide string, for a message box.
    std::wstring Describe() const;

    // The changes that the work in which this failure arose had already made,
    // one line each, for a report that must say what state it left behind.
    // Set by that work as the failure passes through it; Describe() lists them.
    void SetChangesBefore(std::vector<std::wstring> changes) { changesBefore_ = std::move(changes); }
    const std::optional<std::vector<std::wstring>>& ChangesBefore() const { return changesBefore_; }

private:
    std::wstring operation_;
    std::optional<Root> root_;
    std::wstring key_;
    std::wstring valueName_;
    std::wstring reason_;
    std::optional<ResultCode> result_;
    std::optional<std::vector<std::wstring>> changesBefore_;
};

class RegistryProvider {
public:
    virtual ~RegistryProvider() = default;

    // The root of every following operation.  Shared by the whole program:
    // the one provider object is handed to every window.  Unset until a
    // caller assigns it; an operation while it is unset is the caller's
    // mistake and raises.
    std::optional<Root> Hive;
    // The SID ("S-1-5-21-...") of the account whose hive "the current user"
    // means, where that is not the account that the program runs as (see
    // win32/signed_in_user.h); unset, HKEY_CURRENT_USER is the current user.
    std::optional<std::wstring> CurrentUserSid;

    // Where an operation called now on the key acts: the root and the key
    // relative to it, after the redirection above.  Unset while Hive is.
    struct Location {
        Root root;
        std::wstring key;
    };
    std::optional<Location> Where(const std::wstring& key) const;

    [[nodiscard]] ResultCode CreateRegKey(const std::wstring& key);
    [[nodiscard]] ResultCode SetRegString(const std::wstring& key, const std::wstring& valueName,
                                          const std::wstring& data);
    [[nodiscard]] ResultCode SetRegDword(const std::wstring& key, const std::wstring& valueName, std::int32_t data);
    std::wstring GetRegString(const std::wstring& key, const std::wstring& valueName);
    std::int32_t GetRegDword(const std::wstring& key, const std::wstring& valueName);
    [[nodiscard]] ResultCode DeleteRegValue(const std::wstring& key, const std::wstring& valueName);
    [[nodiscard]] ResultCode DeleteRegKey(const std::wstring& key);
    bool CheckRegAccess(const std::wstring& key, std::uint32_t rights);
    // The names and types of the key's values, in no promised order.
    std::vector<RegistryValueInfo> EnumRegValues(const std::wstring& key);

protected:
    // The implementations receive the root that was current at the call.
    [[nodiscard]] virtual ResultCode DoCreateRegKey(Root root, const std::wstring& key) = 0;
    [[nodiscard]] virtual ResultCode DoSetRegString(Root root, const std::wstring& key, const std::wstring& valueName,
                                                    const std::wstring& data) = 0;
    [[nodiscard]] virtual ResultCode DoSetRegDword(Root root, const std::wstring& key, const std::wstring& valueName,
                                                   std::int32_t data) = 0;
    virtual std::wstring DoGetRegString(Root root, const std::wstring& key, const std::wstring& valueName) = 0;
    virtual std::int32_t DoGetRegDword(Root root, const std::wstring& key, const std::wstring& valueName) = 0;
    [[nodiscard]] virtual ResultCode DoDeleteRegValue(Root root, const std::wstring& key,
                                                      const std::wstring& valueName) = 0;
    [[nodiscard]] virtual ResultCode DoDeleteRegKey(Root root, const std::wstring& key) = 0;
    virtual bool DoCheckRegAccess(Root root, const std::wstring& key, std::uint32_t rights) = 0;
    virtual std::vector<RegistryValueInfo> DoEnumRegValues(Root root, const std::wstring& key) = 0;

private:
    Location RequireHive(const wchar_t* operation, const std::wstring& key, const std::wstring& valueName) const;
};

}  // namespace registry
