#include "registry/win32/registry_api_route.h"

#include <windows.h>

#include "win32/failure.h"
#include "win32/scoped.h"

namespace registry {

namespace {

HKEY RootKey(Root root) {
    // The predefined keys are the sign-extended 32-bit numbers that Hive holds.
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root));
}

}  // namespace

std::int32_t GetDwordThroughRegistryApi(Root root, const std::wstring& key, const std::wstring& valueName) {
    auto fail = [&](const std::wstring& reason) {
        return RegistryFailure(L"GetRegDword", root, key, valueName, reason);
    };
    win32::RegistryKey opened;
    LONG result = win32::OpenRegistryKey(RootKey(root), key, KEY_QUERY_VALUE, opened);
    if (result != ERROR_SUCCESS) throw fail(L"RegOpenKeyExW answered " + win32::Win32ErrorText(result));
    DWORD type = REG_NONE;
    DWORD number = 0;
    DWORD size = sizeof number;
    result = RegQueryValueExW(opened.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
    // ERROR_MORE_DATA is a longer value, a string for instance: not a number.
    if (result != ERROR_SUCCESS) throw fail(L"RegQueryValueExW answered " + win32::Win32ErrorText(result));
    if (type != REG_DWORD || size != sizeof number) throw fail(L"the value is not a 32-bit number");
    return static_cast<std::int32_t>(number);
}

ResultCode DeleteValueThroughRegistryApi(Root root, const std::wstring& key, const std::wstring& valueName) {
    win32::RegistryKey opened;
    const LONG result = win32::OpenRegistryKey(RootKey(root), key, KEY_SET_VALUE, opened);
    if (result != ERROR_SUCCESS) return static_cast<ResultCode>(result);
    return static_cast<ResultCode>(RegDeleteValueW(opened.Get(), valueName.c_str()));
}

bool CheckAccessThroughRegistryApi(Root root, const std::wstring& key, std::uint32_t rights) {
    win32::RegistryKey opened;
    return win32::OpenRegistryKey(RootKey(root), key, static_cast<REGSAM>(rights), opened) == ERROR_SUCCESS;
}

}  // namespace registry
