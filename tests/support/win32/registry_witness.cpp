#include "tests/support/win32/registry_witness.h"

#include <windows.h>
#include <sddl.h>
#include <shlwapi.h>
#include <wbemidl.h>
#include <wrl/client.h>

#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "tests/support/win32/com.h"
#include "win32/scoped.h"

using Microsoft::WRL::ComPtr;

namespace witness {

namespace {

HKEY RootKey(registry::Root root) { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root)); }

// The key under the root, opened (or created with its missing parents) with
// the rights asked; empty when that did not work.
win32::RegistryKey Key(registry::Root root, const std::wstring& path, REGSAM rights, bool create) {
    win32::RegistryKey key;
    HKEY created = nullptr;
    if (!create)
        (void)win32::OpenRegistryKey(RootKey(root), path, rights, key);
    else if (RegCreateKeyExW(RootKey(root), path.c_str(), 0, nullptr, 0, rights, nullptr, &created, nullptr) ==
             ERROR_SUCCESS)
        key.Reset(created);
    return key;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::wstring RootName(registry::Root root) {
    return root == registry::HiveLocalMachine ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
}

std::optional<ApiValue> ReadValue(registry::Root root, const std::wstring& key, const std::wstring& valueName) {
    const win32::RegistryKey opened = Key(root, key, KEY_QUERY_VALUE, false);
    if (!opened.IsOpen()) return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(opened.Get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<BYTE> data(size + sizeof(wchar_t), 0);
    if (RegQueryValueExW(opened.Get(), valueName.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    ApiValue value;
    value.type = type;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        value.data = static_cast<std::uint32_t>(number);
    } else {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        value.data = text;
    }
    return value;
}

bool KeyExists(registry::Root root, const std::wstring& key) { return Key(root, key, KEY_READ, false).IsOpen(); }

void WriteDword(registry::Root root, const std::wstring& key, const std::wstring& valueName, std::uint32_t number) {
    const win32::RegistryKey opened = Key(root, key, KEY_SET_VALUE, true);
    const DWORD data = number;
    if (!opened.IsOpen() || RegSetValueExW(opened.Get(), valueName.c_str(), 0, REG_DWORD,
                                           reinterpret_cast<const BYTE*>(&data), sizeof data) != ERROR_SUCCESS)
        throw std::runtime_error("the registry API could not write a test value");
}

void WriteString(registry::Root root, const std::wstring& key, const std::wstring& valueName,
                 const std::wstring& text) {
    const win32::RegistryKey opened = Key(root, key, KEY_SET_VALUE, true);
    const auto size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (!opened.IsOpen() || RegSetValueExW(opened.Get(), valueName.c_str(), 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(text.c_str()), size) != ERROR_SUCCESS)
        throw std::runtime_error("the registry API could not write a test value");
}

void CreateKey(registry::Root root, const std::wstring& key) {
    if (!Key(root, key, KEY_READ, true).IsOpen()) throw std::runtime_error("the registry API could not create a key");
}

void DeleteValue(registry::Root root, const std::wstring& key, const std::wstring& valueName) {
    const win32::RegistryKey opened = Key(root, key, KEY_SET_VALUE, false);
    if (opened.IsOpen()) RegDeleteValueW(opened.Get(), valueName.c_str());
}

std::optional<KeyEntries> CountEntries(registry::Root root, const std::wstring& key) {
    const win32::RegistryKey opened = Key(root, key, KEY_READ, false);
    DWORD subkeys = 0;
    DWORD values = 0;
    if (!opened.IsOpen() || RegQueryInfoKeyW(opened.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                             &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    return KeyEntries{subkeys, values};
}

void DeleteTree(registry::Root root, const std::wstring& key) {
    const DWORD result = SHDeleteKeyW(RootKey(root), key.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("the registry API could not clear a test key");
}

RegExeAnswer RegExeQuery(registry::Root root, const std::wstring& key, const std::optional<std::wstring>& valueName) {
    std::wstring commandLine = L"reg.exe query \"" + RootName(root) + L"\\" + key + L"\"";
    if (valueName) commandLine += L" /v \"" + *valueName + L"\"";

    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    win32::Handle readEnd;
    win32::Handle writeEnd;
    if (!CreatePipe(readEnd.Out(), writeEnd.Out(), &inherit, 0)) throw std::runtime_error("CreatePipe failed");
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        throw std::runtime_error("reg.exe could not be started");
    const win32::Handle processHandle(process.hProcess);
    CloseHandle(process.hThread);
    writeEnd.Reset();  // so that the read ends when reg.exe does

    RegExeAnswer answer;
    char buffer[512];
    DWORD got = 0;
    while (ReadFile(readEnd.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) answer.output.append(buffer, got);
    WaitForSingleObject(processHandle.Get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(processHandle.Get(), &exitCode);
    answer.exitCode = exitCode;

    // A value line reads "    NAME    TYPE    DATA", the columns four blanks apart.
    if (valueName) {
        const std::string name(valueName->begin(), valueName->end());  // the tests use ASCII names
        std::istringstream lines(answer.output);
        for (std::string line; std::getline(lines, line);) {
            const std::string expectedStart = "    " + name + "    ";
            if (line.rfind(expectedStart, 0) != 0) continue;
            const std::string rest = line.substr(expectedStart.size());
            const auto gap = rest.find("    ");
            answer.type = Trim(rest.substr(0, gap));
            answer.data = gap == std::string::npos ? "" : Trim(rest.substr(gap));
            break;
        }
    }
    return answer;
}

bool StdRegProvHasMethod(const std::wstring& method) {
    // Its own connection, not win32::ConnectWmi: the witness shares no code
    // with the provider that it checks.  No blanket either; nothing is asked
    // of the service but the class's methods.
    const com::Apartment apartment;
    ComPtr<IWbemLocator> locator;
    ComPtr<IWbemServices> services;
    ComPtr<IWbemClassObject> provider;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&locator))) ||
        FAILED(locator->ConnectServer(win32::Bstr(L"root\\default").Get(), nullptr, nullptr, nullptr, 0, nullptr,
                                      nullptr, &services)) ||
        FAILED(services->GetObject(win32::Bstr(L"StdRegProv").Get(), 0, nullptr, &provider, nullptr)))
        throw std::runtime_error("StdRegProv could not be reached for the witness");
    ComPtr<IWbemClassObject> signature;
    const HRESULT hr = provider->GetMethod(method.c_str(), 0, &signature, nullptr);
    if (FAILED(hr) && hr != static_cast<HRESULT>(WBEM_E_NOT_FOUND))
        throw std::runtime_error("GetMethod failed unexpectedly");
    return SUCCEEDED(hr);
}

void MakeKeyReadOnly(registry::Root root, const std::wstring& key) {
    // Everyone may read; nobody may write, create subkeys or delete.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        throw std::runtime_error("the read-only security descriptor could not be made");
    const win32::RegistryKey opened = Key(root, key, WRITE_DAC, false);
    const LONG result =
        opened.IsOpen() ? RegSetKeySecurity(opened.Get(), DACL_SECURITY_INFORMATION, descriptor) : ERROR_FILE_NOT_FOUND;
    LocalFree(descriptor);
    if (result != ERROR_SUCCESS) throw std::runtime_error("the registry API could not make a key read-only");
}

}  // namespace witness
