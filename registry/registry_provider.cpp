#include "registry/registry_provider.h"

#include <cstdio>

namespace registry {

std::wstring RootName(Root root) {
    if (root == HiveCurrentUser) return L"HKEY_CURRENT_USER";
    if (root == HiveLocalMachine) return L"HKEY_LOCAL_MACHINE";
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

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<std::uint32_t>(text[i]);
        // wchar_t is UTF-16 on Windows: join surrogate pairs.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            auto low = static_cast<std::uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
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
                                 std::wstring valueName, std::wstring reason)
    : std::runtime_error(ToUtf8(Compose(operation, root, key, valueName, reason))),
      operation_(std::move(operation)),
      root_(root),
      key_(std::move(key)),
      valueName_(std::move(valueName)),
      reason_(std::move(reason)) {}

std::wstring RegistryFailure::Describe() const {
    std::wstring text = Compose(operation_, root_, key_, valueName_, reason_);
    if (!changesBefore_) return text;
    if (changesBefore_->empty()) return text + L"\r\n\r\nNothing had been changed in the registry before it.";
    text += L"\r\n\r\nChanges already made before it:";
    for (const std::wstring& change : *changesBefore_) text += L"\r\n- " + change;
    return text;
}

Root RegistryProvider::RequireHive(const wchar_t* operation, const std::wstring& key,
                                   const std::wstring& valueName) const {
    if (!Hive.IsSet())
        throw RegistryFailure(operation, std::nullopt, key, valueName, L"no registry root has been chosen");
    return *Hive.Get();
}

ResultCode RegistryProvider::CreateRegKey(const std::wstring& key) {
    return DoCreateRegKey(RequireHive(L"CreateRegKey", key, L""), key);
}

ResultCode RegistryProvider::SetRegString(const std::wstring& key, const std::wstring& valueName,
                                    const std::wstring& data) {
    return DoSetRegString(RequireHive(L"SetRegString", key, valueName), key, valueName, data);
}

ResultCode RegistryProvider::SetRegDword(const std::wstring& key, const std::wstring& valueName, std::int32_t data) {
    return DoSetRegDword(RequireHive(L"SetRegDword", key, valueName), key, valueName, data);
}

std::wstring RegistryProvider::GetRegString(const std::wstring& key, const std::wstring& valueName) {
    return DoGetRegString(RequireHive(L"GetRegString", key, valueName), key, valueName);
}

std::int32_t RegistryProvider::GetRegDword(const std::wstring& key, const std::wstring& valueName) {
    return DoGetRegDword(RequireHive(L"GetRegDword", key, valueName), key, valueName);
}

ResultCode RegistryProvider::DeleteRegValue(const std::wstring& key, const std::wstring& valueName) {
    return DoDeleteRegValue(RequireHive(L"DeleteRegValue", key, valueName), key, valueName);
}

ResultCode RegistryProvider::DeleteRegKey(const std::wstring& key) {
    return DoDeleteRegKey(RequireHive(L"DeleteRegKey", key, L""), key);
}

bool RegistryProvider::CheckRegAccess(const std::wstring& key, std::uint32_t rights) {
    return DoCheckRegAccess(RequireHive(L"CheckRegAccess", key, L""), key, rights);
}

}  // namespace registry
