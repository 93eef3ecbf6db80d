// A registry held in memory, with the behaviour of the platform's registry
// provider as the program relies on it.  It stands in for the platform on
// Linux and is the reference that the WMI provider is tested against.
//
// Test seams:
//   MemoryRegistry reg;
//   reg.Seed(HiveCurrentUser, L"Software\\X", L"V", std::int32_t{3});  // no log entry
//   reg.SetRights(HiveLocalMachine, L"SYSTEM\\CurrentControlSet", RightQueryValue);
//   reg.FailOperation(3);        // the third operation from now raises
//   reg.SetUnreachable(true);    // every operation raises
//   reg.Log();                   // what was asked, in order
#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "registry/registry_provider.h"

namespace registry {

using StoredValue = std::variant<std::wstring, std::int32_t>;

// One operation as it was asked of the registry.
struct OperationRecord {
    std::wstring operation;
    Root root = 0;
    std::wstring key;
    std::wstring valueName;  // empty where the operation takes none
    std::wstring data;       // string data, number in decimal, rights in hex; empty where none
    bool failed = false;     // raised RegistryFailure

    // "HKCU SetRegDword Software\...\Explorer|NoDrives=12", readable in test failures.
    std::string Describe() const;
};

class MemoryRegistry : public RegistryProvider {
public:
    MemoryRegistry();

    // Test set-up and inspection; none of these is logged.
    void Seed(Root root, const std::wstring& key, const std::wstring& valueName, const StoredValue& value);
    void SeedKey(Root root, const std::wstring& key);
    bool HasKey(Root root, const std::wstring& key) const;
    std::optional<StoredValue> Value(Root root, const std::wstring& key, const std::wstring& valueName) const;
    std::size_t ValueCount(Root root, const std::wstring& key) const;
    // Rights held on one key; keys without an entry grant every right.
    void SetRights(Root root, const std::wstring& key, std::uint32_t granted);

    void SetUnreachable(bool unreachable) { unreachable_ = unreachable; }
    // The nth operation from now (1 = the next one) raises instead of acting.
    void FailOperation(int nth) { failCountdown_ = nth; }

    const std::vector<OperationRecord>& Log() const { return log_; }
    std::vector<std::string> DescribedLog() const;
    void ClearLog() { log_.clear(); }

protected:
    void DoCreateRegKey(Root root, const std::wstring& key) override;
    void DoSetRegString(Root root, const std::wstring& key, const std::wstring& valueName,
                        const std::wstring& data) override;
    void DoSetRegDword(Root root, const std::wstring& key, const std::wstring& valueName,
                       std::int32_t data) override;
    std::wstring DoGetRegString(Root root, const std::wstring& key, const std::wstring& valueName) override;
    std::int32_t DoGetRegDword(Root root, const std::wstring& key, const std::wstring& valueName) override;
    void DoDeleteRegValue(Root root, const std::wstring& key, const std::wstring& valueName) override;
    void DoDeleteRegKey(Root root, const std::wstring& key) override;
    bool DoCheckRegAccess(Root root, const std::wstring& key, std::uint32_t rights) override;

private:
    struct NamedValue {
        std::wstring name;  // spelling of the first write
        StoredValue value;
    };
    struct Key {
        std::wstring path;                         // spelling of the creation
        std::map<std::wstring, NamedValue> values;  // by folded name
    };
    using KeyId = std::pair<Root, std::wstring>;  // root and folded path

    static std::wstring Fold(const std::wstring& text);
    Key* FindKey(Root root, const std::wstring& key);
    const Key* FindKey(Root root, const std::wstring& key) const;
    void CreateKeyPath(Root root, const std::wstring& key);
    // Logs the operation and applies the failure seams; throws when it must fail.
    void Begin(const wchar_t* operation, Root root, const std::wstring& key, const std::wstring& valueName,
               const std::wstring& data);
    [[noreturn]] void Fail(const wchar_t* operation, Root root, const std::wstring& key,
                           const std::wstring& valueName, const std::wstring& reason);
    const StoredValue& ReadValue(const wchar_t* operation, Root root, const std::wstring& key,
                                 const std::wstring& valueName);

    std::map<KeyId, Key> keys_;
    std::map<KeyId, std::uint32_t> rights_;
    std::vector<OperationRecord> log_;
    bool unreachable_ = false;
    int failCountdown_ = 0;
};

}  // namespace registry
