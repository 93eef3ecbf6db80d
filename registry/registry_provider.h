// The registry operations of the program and the shared root selector.
//
// Usage:
//   registry::RegistryProvider& reg = ...;       // WMI on Windows, in memory in tests
//   reg.Hive = registry::HiveLocalMachine;       // callers pick the root first
//   reg.CreateRegKey(L"Software\\Ploz\\psw");
//   std::wstring pw = reg.GetRegString(L"Software\\Ploz\\psw", L"MyPassword");
//
// Every operation acts on the root that `Hive` holds when it is called.  An
// operation called while `Hive` is unset raises RegistryFailure.  Writes,
// creations and deletions that the registry refuses pass unnoticed; a read
// that has nothing of the asked kind to return raises RegistryFailure.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace registry {

using Root = std::int32_t;

inline constexpr Root HiveCurrentUser = static_cast<Root>(0x80000001u);
inline constexpr Root HiveLocalMachine = static_cast<Root>(0x80000002u);

// Standard registry access rights, as the rights check asks for them.
inline constexpr std::uint32_t RightQueryValue = 0x1;
inline constexpr std::uint32_t RightSetValue = 0x2;
inline constexpr std::uint32_t RightCreateSubKey = 0x4;
inline constexpr std::uint32_t RightDelete = 0x10000;

// "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE" or the number in hex.
std::wstring RootName(Root root);

// The failure of one registry operation: which operation, on which root, key
// and value, and why.  what() holds the whole sentence in UTF-8.
class RegistryFailure : public std::runtime_error {
public:
    RegistryFailure(std::wstring operation, std::optional<Root> root, std::wstring key,
                    std::wstring valueName, std::wstring reason);

    const std::wstring& Operation() const { return operation_; }
    std::optional<Root> RootUsed() const { return root_; }
    const std::wstring& Key() const { return key_; }
    const std::wstring& ValueName() const { return valueName_; }
    const std::wstring& Reason() const { return reason_; }
    // The whole report as a wide string, for a message box.
    std::wstring Describe() const;

private:
    std::wstring operation_;
    std::optional<Root> root_;
    std::wstring key_;
    std::wstring valueName_;
    std::wstring reason_;
};

// The shared root.  Unset until a caller assigns it; reading it while unset is
// the caller's mistake and raises.
class HiveSelector {
public:
    HiveSelector& operator=(Root root) {
        root_ = root;
        return *this;
    }
    bool IsSet() const { return root_.has_value(); }
    std::optional<Root> Get() const { return root_; }
    void Reset() { root_.reset(); }

private:
    std::optional<Root> root_;
};

class RegistryProvider {
public:
    virtual ~RegistryProvider() = default;

    // The root of every following operation.  Shared by the whole program:
    // the one provider object is handed to every window.
    HiveSelector Hive;

    void CreateRegKey(const std::wstring& key);
    void SetRegString(const std::wstring& key, const std::wstring& valueName, const std::wstring& data);
    void SetRegDword(const std::wstring& key, const std::wstring& valueName, std::int32_t data);
    std::wstring GetRegString(const std::wstring& key, const std::wstring& valueName);
    std::int32_t GetRegDword(const std::wstring& key, const std::wstring& valueName);
    void DeleteRegValue(const std::wstring& key, const std::wstring& valueName);
    void DeleteRegKey(const std::wstring& key);
    bool CheckRegAccess(const std::wstring& key, std::uint32_t rights);

protected:
    // The implementations receive the root that was current at the call.
    virtual void DoCreateRegKey(Root root, const std::wstring& key) = 0;
    virtual void DoSetRegString(Root root, const std::wstring& key, const std::wstring& valueName,
                                const std::wstring& data) = 0;
    virtual void DoSetRegDword(Root root, const std::wstring& key, const std::wstring& valueName,
                               std::int32_t data) = 0;
    virtual std::wstring DoGetRegString(Root root, const std::wstring& key, const std::wstring& valueName) = 0;
    virtual std::int32_t DoGetRegDword(Root root, const std::wstring& key, const std::wstring& valueName) = 0;
    virtual void DoDeleteRegValue(Root root, const std::wstring& key, const std::wstring& valueName) = 0;
    virtual void DoDeleteRegKey(Root root, const std::wstring& key) = 0;
    virtual bool DoCheckRegAccess(Root root, const std::wstring& key, std::uint32_t rights) = 0;

private:
    Root RequireHive(const wchar_t* operation, const std::wstring& key, const std::wstring& valueName) const;
};

// UTF-8 form of a wide string, for exception texts and test output.
std::string ToUtf8(const std::wstring& text);

}  // namespace registry
