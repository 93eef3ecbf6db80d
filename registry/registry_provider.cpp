#include "registry/registry_provider.h"

#include <cstdio>

#include "text/utf.h"

namespace registry {

std::wstring RootName(Root root) {
    if (root == HiveCurrentUser) return L"HKEY_CURRENT_USER";
    if (root == HiveLocalMachine) return L"HKEY_LOCAL_MACHINE";
    if (root == HiveUsers) return L"HKEY_USERS";
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"0x%08X", static_cast<unsigned>(root));
    return buffer;
}

std::wstring ResultText(ResultCode code) {
    const std::wstring number = L" (" + std::to_wstring(code) + L")";
    switch (code) {
    case ResultSuccess: return L"success";
    case ResultNotFound: return L"not found" + number;
    case ResultAccessDenied: return L"access denied" + number;
    case ResultKeyHasSubkeys: return L"the key has subkeys" + number;
    default: return L"error" + number;
    }
}

namespace {

std::wstring Compose(const std::wstring& operation, std::optional<Root> root, const std::wstring& key,
                     const std::wstring& valueName, const std::wstring& reason) {
    std::wstring text = operation + L" failed";
    if (root) {
        text += L" on " + RootName(*root);
        if (!key.empty()) text += L"\\" + key;
    } else if (!key.empty()) {
        text += L" on key " + key;
    }
    if (!valueName.empty()) text += L", value \"" + valueName + L"\"";
    text += L": " + reason;
    return text;
}

}  // namespace

RegistryFailure::RegistryFailure(std::wstring operation, std::optional<Root> root, std::wstring key,
                                 std::wstring valueName, std::wstring reason, std::optional<ResultCode> result)
    : std::runtime_error(text::ToUtf8(Compose(operation, root, key, valueName, reason))),
      operation_(std::move(operation)),
      root_(root),
      key_(std::move(key)),
      valueName_(std::move(valueName)),
      reason_(std::move(reason)),
      result_(result) {}

std::wstring RegistryFailure::Describe() const {
    std::wstring text = Compose(operation_, root_, key_, valueName_, reason_);
    if (!changesBefore_) return text;
    if (changesBefore_->empty()) return text + L"\r\n\r\nNothing had been changed in the registry before it.";
    text += L"\r\n\r\nChanges already made before it:";
    for (const std::wstring& change : *changesBefore_) text += L"\r\n- " + change;
    return text;
}

std::optional<RegistryProvider::Location> RegistryProvider::Where(const std::wstring& key) const {
    if (!Hive) return std::nullopt;
    if (*Hive != HiveCurrentUser || !CurrentUserSid) return Location{*Hive, key};
    return Location{HiveUsers, key.empty() ? *CurrentUserSid : *CurrentUserSid + L"\\" + key};
}

RegistryProvider::Location RegistryProvider::RequireHive(const wchar_t* operation, const std::wstring& key,
                                                         const std::wstring& valueName) const {
    auto location = Where(key);
    if (!location) throw RegistryFailure(operation, std::nullopt, key, valueName, L"no registry root has been chosen");
    return std::move(*location);
}

ResultCode RegistryProvider::CreateRegKey(const std::wstring& key) {
    const Location at = RequireHive(L"CreateRegKey", key, L"");
    return DoCreateRegKey(at.root, at.key);
}

ResultCode RegistryProvider::SetRegString(const std::wstring& key, const std::wstring& valueName,
                                          const std::wstring& data) {
    const Location at = RequireHive(L"SetRegString", key, valueName);
    return DoSetRegString(at.root, at.key, valueName, data);
}

ResultCode RegistryProvider::SetRegDword(const std::wstring& key, const std::wstring& valueName, std::int32_t data) {
    const Location at = RequireHive(L"SetRegDword", key, valueName);
    return DoSetRegDword(at.root, at.key, valueName, data);
}

std::wstring RegistryProvider::GetRegString(const std::wstring& key, const std::wstring& valueName) {
    const Location at = RequireHive(L"GetRegString", key, valueName);
    return DoGetRegString(at.root, at.key, valueName);
}

std::int32_t RegistryProvider::GetRegDword(const std::wstring& key, const std::wstring& valueName) {
    const Location at = RequireHive(L"GetRegDword", key, valueName);
    return DoGetRegDword(at.root, at.key, valueName);
}

ResultCode RegistryProvider::DeleteRegValue(const std::wstring& key, const std::wstring& valueName) {
    const Location at = RequireHive(L"DeleteRegValue", key, valueName);
    return DoDeleteRegValue(at.root, at.key, valueName);
}

ResultCode RegistryProvider::DeleteRegKey(const std::wstring& key) {
    const Location at = RequireHive(L"DeleteRegKey", key, L"");
    return DoDeleteRegKey(at.root, at.key);
}

bool RegistryProvider::CheckRegAccess(const std::wstring& key, std::uint32_t rights) {
    const Location at = RequireHive(L"CheckRegAccess", key, L"");
    return DoCheckRegAccess(at.root, at.key, rights);
}

std::vector<RegistryValueInfo> RegistryProvider::EnumRegValues(const std::wstring& key) {
    const Location at = RequireHive(L"EnumRegValues", key, L"");
    return DoEnumRegValues(at.root, at.key);
}

}  // namespace registry
