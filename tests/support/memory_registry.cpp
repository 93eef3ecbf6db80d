#include "tests/support/memory_registry.h"

#include <cwctype>

#include "text/hex.h"
#include "text/utf.h"

namespace registry {

namespace {

std::wstring ShortRoot(Root root) {
    if (root == HiveCurrentUser) return L"HKCU";
    if (root == HiveLocalMachine) return L"HKLM";
    if (root == HiveUsers) return L"HKU";
    return RootName(root);
}

}  // namespace

std::string OperationRecord::Describe() const {
    std::wstring text = ShortRoot(root) + L" " + operation + L" " + key;
    if (!valueName.empty() || operation == L"SetRegString" || operation == L"SetRegDword" ||
        operation == L"GetRegString" || operation == L"GetRegDword" || operation == L"DeleteRegValue")
        text += L"|" + valueName;
    if (!data.empty()) text += L"=" + data;
    if (failed) text += L" (failed)";
    return text::ToUtf8(text);
}

MemoryRegistry::MemoryRegistry() = default;

std::wstring MemoryRegistry::Fold(const std::wstring& text) {
    std::wstring folded = text;
    for (auto& c : folded) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return folded;
}

MemoryRegistry::Key* MemoryRegistry::FindKey(Root root, const std::wstring& key) {
    auto it = keys_.find({root, Fold(key)});
    return it == keys_.end() ? nullptr : &it->second;
}

const MemoryRegistry::Key* MemoryRegistry::FindKey(Root root, const std::wstring& key) const {
    auto it = keys_.find({root, Fold(key)});
    return it == keys_.end() ? nullptr : &it->second;
}

void MemoryRegistry::CreateKeyPath(Root root, const std::wstring& key) {
    // Every prefix that ends before a backslash is a parent; the root itself
    // (empty path) always exists and is not stored.
    for (std::size_t end = 0; end != std::wstring::npos;) {
        end = key.find(L'\\', end + 1);
        std::wstring prefix = key.substr(0, end);
        if (prefix.empty()) continue;
        keys_.try_emplace({root, Fold(prefix)}, Key{prefix, {}});
    }
}

bool MemoryRegistry::Begin(const wchar_t* operation, Root root, const std::wstring& key, const std::wstring& valueName,
                           const std::wstring& data) {
    log_.push_back({operation, root, key, valueName, data, false});
    if (meanwhile_) meanwhile_();
    if (unreachable_) Fail(operation, root, key, valueName, L"the registry provider cannot be reached");
    if (failCountdown_ > 0 && --failCountdown_ == 0)
        Fail(operation, root, key, valueName, L"the registry provider failed the call");
    return refuseCountdown_ > 0 && --refuseCountdown_ == 0;
}

bool MemoryRegistry::Holds(Root root, const std::wstring& key, std::uint32_t rights) const {
    auto it = rights_.find({root, Fold(key)});
    const std::uint32_t granted = it == rights_.end() ? 0xFFFFFFFFu : it->second;
    return (granted & rights) == rights;
}

ResultCode MemoryRegistry::Answer(ResultCode code) {
    log_.back().result = code;
    return code;
}

void MemoryRegistry::Fail(const wchar_t* operation, Root root, const std::wstring& key, const std::wstring& valueName,
                          const std::wstring& reason, std::optional<ResultCode> result) {
    log_.back().failed = true;
    throw RegistryFailure(operation, root, key, valueName, reason, result);
}

void MemoryRegistry::Seed(Root root, const std::wstring& key, const std::wstring& valueName, const StoredValue& value) {
    CreateKeyPath(root, key);
    auto& values = FindKey(root, key)->values;
    auto [it, inserted] = values.try_emplace(Fold(valueName), NamedValue{valueName, value});
    if (!inserted) it->second.value = value;
}

void MemoryRegistry::SeedKey(Root root, const std::wstring& key) { CreateKeyPath(root, key); }

bool MemoryRegistry::HasKey(Root root, const std::wstring& key) const { return FindKey(root, key) != nullptr; }

std::optional<StoredValue> MemoryRegistry::Value(Root root, const std::wstring& key,
                                                 const std::wstring& valueName) const {
    const Key* found = FindKey(root, key);
    if (!found) return std::nullopt;
    auto it = found->values.find(Fold(valueName));
    if (it == found->values.end()) return std::nullopt;
    return it->second.value;
}

std::size_t MemoryRegistry::ValueCount(Root root, const std::wstring& key) const {
    const Key* found = FindKey(root, key);
    return found ? found->values.size() : 0;
}

void MemoryRegistry::SetRights(Root root, const std::wstring& key, std::uint32_t granted) {
    rights_[{root, Fold(key)}] = granted;
}

std::vector<std::string> MemoryRegistry::DescribedLog() const {
    std::vector<std::string> lines;
    for (const auto& record : log_) lines.push_back(record.Describe());
    return lines;
}

ResultCode MemoryRegistry::DoCreateRegKey(Root root, const std::wstring& key) {
    if (Begin(L"CreateRegKey", root, key, L"", L"")) return Answer(refusal_);
    if (FindKey(root, key)) return Answer(ResultSuccess);
    // A new key needs the right to create subkeys in the nearest parent that exists.
    for (std::size_t end = key.rfind(L'\\'); end != std::wstring::npos && end > 0; end = key.rfind(L'\\', end - 1)) {
        const std::wstring parent = key.substr(0, end);
        if (!FindKey(root, parent)) continue;
        if (!Holds(root, parent, RightCreateSubKey)) return Answer(ResultAccessDenied);
        break;
    }
    CreateKeyPath(root, key);
    return Answer(ResultSuccess);
}

ResultCode MemoryRegistry::DoSetRegString(Root root, const std::wstring& key, const std::wstring& valueName,
                                          const std::wstring& data) {
    if (Begin(L"SetRegString", root, key, valueName, L"\"" + data + L"\"")) return Answer(refusal_);
    if (!FindKey(root, key)) return Answer(ResultNotFound);
    if (!Holds(root, key, RightSetValue)) return Answer(ResultAccessDenied);
    Seed(root, key, valueName, data);
    return Answer(ResultSuccess);
}

ResultCode MemoryRegistry::DoSetRegDword(Root root, const std::wstring& key, const std::wstring& valueName,
                                         std::int32_t data) {
    if (Begin(L"SetRegDword", root, key, valueName, std::to_wstring(data))) return Answer(refusal_);
    if (!FindKey(root, key)) return Answer(ResultNotFound);
    if (!Holds(root, key, RightSetValue)) return Answer(ResultAccessDenied);
    Seed(root, key, valueName, data);
    return Answer(ResultSuccess);
}

const StoredValue& MemoryRegistry::ReadValue(const wchar_t* operation, Root root, const std::wstring& key,
                                             const std::wstring& valueName) {
    if (Begin(operation, root, key, valueName, L"")) Fail(operation, root, key, valueName, L"reading is refused");
    Key* found = FindKey(root, key);
    if (!found) Fail(operation, root, key, valueName, L"the key does not exist");
    if (!Holds(root, key, RightQueryValue)) Fail(operation, root, key, valueName, L"reading is refused");
    auto it = found->values.find(Fold(valueName));
    if (it == found->values.end()) Fail(operation, root, key, valueName, L"the value does not exist");
    return it->second.value;
}

std::wstring MemoryRegistry::DoGetRegString(Root root, const std::wstring& key, const std::wstring& valueName) {
    const StoredValue& value = ReadValue(L"GetRegString", root, key, valueName);
    if (!std::holds_alternative<std::wstring>(value))
        Fail(L"GetRegString", root, key, valueName, L"the value is not a string");
    return std::get<std::wstring>(value);
}

std::int32_t MemoryRegistry::DoGetRegDword(Root root, const std::wstring& key, const std::wstring& valueName) {
    const StoredValue& value = ReadValue(L"GetRegDword", root, key, valueName);
    if (!std::holds_alternative<std::int32_t>(value))
        Fail(L"GetRegDword", root, key, valueName, L"the value is not a 32-bit number");
    return std::get<std::int32_t>(value);
}

ResultCode MemoryRegistry::DoDeleteRegValue(Root root, const std::wstring& key, const std::wstring& valueName) {
    if (Begin(L"DeleteRegValue", root, key, valueName, L"")) return Answer(refusal_);
    Key* found = FindKey(root, key);
    if (!found) return Answer(ResultNotFound);
    if (!Holds(root, key, RightSetValue)) return Answer(ResultAccessDenied);
    return Answer(found->values.erase(Fold(valueName)) ? ResultSuccess : ResultNotFound);
}

ResultCode MemoryRegistry::DoDeleteRegKey(Root root, const std::wstring& key) {
    if (Begin(L"DeleteRegKey", root, key, L"", L"")) return Answer(refusal_);
    const std::wstring folded = Fold(key);
    auto it = keys_.find({root, folded});
    if (it == keys_.end()) return Answer(ResultNotFound);
    if (!Holds(root, key, RightDelete)) return Answer(ResultAccessDenied);
    const std::wstring childPrefix = folded + L"\\";
    auto child = keys_.lower_bound({root, childPrefix});
    const bool hasSubkey = child != keys_.end() && child->first.first == root &&
                           child->first.second.compare(0, childPrefix.size(), childPrefix) == 0;
    if (hasSubkey) return Answer(ResultKeyHasSubkeys);
    keys_.erase(it);
    return Answer(ResultSuccess);
}

bool MemoryRegistry::DoCheckRegAccess(Root root, const std::wstring& key, std::uint32_t rights) {
    if (Begin(L"CheckRegAccess", root, key, L"", text::HexNumber(rights))) return false;
    if (!FindKey(root, key)) return false;
    return Holds(root, key, rights);
}

std::vector<RegistryValueInfo> MemoryRegistry::DoEnumRegValues(Root root, const std::wstring& key) {
    const wchar_t* operation = L"EnumRegValues";
    if (Begin(operation, root, key, L"", L"")) Fail(operation, root, key, L"", L"reading is refused", refusal_);
    const Key* found = FindKey(root, key);
    if (!found) Fail(operation, root, key, L"", L"the key does not exist", ResultNotFound);
    if (!Holds(root, key, RightQueryValue)) Fail(operation, root, key, L"", L"reading is refused", ResultAccessDenied);
    std::vector<RegistryValueInfo> values;
    for (const auto& [folded, named] : found->values)
        values.push_back(
            {named.name, std::holds_alternative<std::wstring>(named.value) ? ValueTypeString : ValueTypeDword});
    return values;
}

}  // namespace registry
