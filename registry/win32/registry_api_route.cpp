#include "registry/win32/registry_api_route.h"

#include <windows.h>

#include "registry/win32/com_support.h"

namespace registry::win32 {

namespace {

HKEY RootKey(Root root) {
    // The predefined keys are the sign-extended 32-bit numbers that Hive holds.
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root));
}

class OpenKey {
public:
    OpenKey(Root root, const std::wstring& key, REGSAM rights)
        : result_(RegOpenKeyExW(RootKey(root), key.c_str(), 0, rights, &key_)) {}
    ~OpenKey() {
        if (result_ == ERROR_SUCCESS) RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    bool IsOpen() const { return result_ == ERROR_SUCCESS; }
    LONG Result() const { return result_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
    LONG result_;
};

}  // namespace

std::int32_t GetDwordThroughRegistryApi(Root root, const std::wstring& key, const std::wstring& valueName) {
    auto fail = [&](const std::wstring& reason) {
        return RegistryFailure(L"GetRegDword", root, key, valueName, reason);
    };
    OpenKey opened(root, key, KEY_QUERY_VALUE);
    if (!opened.IsOpen()) throw fail(L"RegOpenKeyExW answered " + Win32ErrorText(opened.Result()));
    DWORD type = REG_NONE;
    DWORD number = 0;
    DWORD size = sizeof number;
    const LONG result =
        RegQueryValueExW(opened.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
    // ERROR_MORE_DATA is a longer value, a string for instance: not a number.
    if (result != ERROR_SUCCESS) throw fail(L"RegQueryValueExW answered " + Win32ErrorText(result));
    if (type != REG_DWORD || size != sizeof number) throw fail(L"the value is not a 32-bit number");
    return static_cast<std::int32_t>(number);
}

ResultCode DeleteValueThroughRegistryApi(Root root, const std::wstring& key, const std::wstring& valueName) {
    OpenKey opened(root, key, KEY_SET_VALUE);
    if (!opened.IsOpen()) return static_cast<ResultCode>(opened.Result());
    return static_cast<ResultCode>(RegDeleteValueW(opened.Get(), valueName.c_str()));
}

bool CheckAccessThroughRegistryApi(Root root, const std::wstring& key, std::uint32_t rights) {
    return OpenKey(root, key, static_cast<REGSAM>(rights)).IsOpen();
}

}  // namespace registry::win32
