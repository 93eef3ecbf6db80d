// A registry held in memory, with the behaviour of the platform's registry
// provider as the program relies on it.  It stands in for the platform on
// Linux and is the reference that the WMI provider is tested against.
//
// Test seams:
//   MemoryRegistry reg;
//   reg.Seed(HiveCurrentUser, L"Software\\X", L"V", std::int32_t{3});  // no log entry
//   reg.SetRights(HiveLocalMachine, L"SYSTEM\\CurrentControlSet", RightQueryValue);
//   reg.FailOperation(3);        // the third operation from now raises
//   reg.RefuseOperation(2);      // the second one from now is refused (access denied)
//   reg.SetUnreachable(true);    // every operation raises
//   reg.WhileAnswering([&] { ... });   // runs inside every operation, before its answer
//   reg.Log();                   // what was asked, in order
#pragma once

#include <functional>
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
    std::wstring valueName;             // empty where the operation takes none
    std::wstring data;                  // string data, number in decimal, rights in hex; empty where none
    bool failed = false;                // raised RegistryFailure
    ResultCode result = ResultSuccess;  // the answer of a write, creation or deletion

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
    // Rights held on one key; keys without an entry grant every right.  They
    // rule the access check and, as in the real registry, the operations on
    // that key: reading needs RightQueryValue, writing and deleting a value
    // RightSetValue, deleting the key RightDelete, and creating a subkey
    // RightCreateSubKey on the nearest existing parent.  A refused write,
    // creation or deletion answers ResultAccessDenied; a refused read raises.
    void SetRights(Root root, const std::wstring& key, std::uint32_t granted);

    void SetUnreachable(bool unreachable) { unreachable_ = unreachable; }
    // The nth operation from now (1 = the next one) raises instead of acting.
    void FailOperation(int nth) { failCountdown_ = nth; }
    // The nth operation from now is refused by the registry: it changes
    // nothing, a write, creation or deletion answers the code, a read raises
    // (a listing of values with the code) and an access check answers false.
    void RefuseOperation(int nth, ResultCode code = ResultAccessDenied) {
        refuseCountdown_ = nth;
        refusal_ = code;
    }

    // What runs inside every operation before it answers: on Windows the
    // service answers from another process, and meanwhile the caller's
    // thread dispatches its messages (timer ticks among them).
    void WhileAnswering(std::function<void()> meanwhile) { meanwhile_ = std::move(meanwhile); }

    const std::vector<OperationRecord>& Log() const { return log_; }
    std::vector<std::string> DescribedLog() const;
    void ClearLog() { log_.clear(); }

protected:
    ResultCode DoCreateRegKey(Root root, const std::wstring& key) override;
    ResultCode DoSetRegString(Root root, const std::wstring& key, const std::wstring& valueName,
                              const std::wstring& data) override;
    ResultCode DoSetRegDword(Root root, const std::wstring& key, const std::wstring& valueName,
                             std::int32_t data) override;
    std::wstring DoGetRegString(Root root, const std::wstring& key, const std::wstring& valueName) override;
    std::int32_t DoGetRegDword(Root root, const std::wstring& key, const std::wstring& valueName) override;
    ResultCode DoDeleteRegValue(Root root, const std::wstring& key, const std::wstring& valueName) override;
    ResultCode DoDeleteRegKey(Root root, const std::wstring& key) override;
    bool DoCheckRegAccess(Root root, const std::wstring& key, std::uint32_t rights) override;
    std::vector<RegistryValueInfo> DoEnumRegValues(Root root, const std::wstring& key) override;

private:
    struct NamedValue {
        std::wstring name;  // spelling of the first write
        StoredValue value;
    };
    struct Key {
        std::wstring path;                          // spelling of the creation
        std::map<std::wstring, NamedValue> values;  // by folded name
    };
    using KeyId = std::pair<Root, std::wstring>;  // root and folded path

    static std::wstring Fold(const std::wstring& text);
    Key* FindKey(Root root, const std::wstring& key);
    const Key* FindKey(Root root, const std::wstring& key) const;
    void CreateKeyPath(Root root, const std::wstring& key);
    // Logs the operation and applies the failure seams; throws when it must
    // fail, and answers whether the registry refuses it.
    [[nodiscard]] bool Begin(const wchar_t* operation, Root root, const std::wstring& key,
                             const std::wstring& valueName, const std::wstring& data);
    [[noreturn]] void Fail(const wchar_t* operation, Root root, const std::wstring& key, const std::wstring& valueName,
                           const std::wstring& reason, std::optional<ResultCode> result = std::nullopt);
    bool Holds(Root root, const std::wstring& key, std::uint32_t rights) const;
    // Records the answer of the latest operation and hands it on.
    ResultCode Answer(ResultCode code);
    const StoredValue& ReadValue(const wchar_t* operation, Root root, const std::wstring& key,
                                 const std::wstring& valueName);

    std::map<KeyId, Key> keys_;
    std::map<KeyId, std::uint32_t> rights_;
    std::vector<OperationRecord> log_;
    std::function<void()> meanwhile_;
    bool unreachable_ = false;
    int failCountdown_ = 0;
    int refuseCountdown_ = 0;
    ResultCode refusal_ = ResultAccessDenied;
};

}  // namespace registry
