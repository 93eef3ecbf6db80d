#include "benchmarks/bare_std_reg_prov.h"

#include <wbemidl.h>
#include <wrl/client.h>

#include "registry/registry_provider.h"
#include "text/utf.h"
#include "win32/failure.h"
#include "win32/scoped.h"

using Microsoft::WRL::ComPtr;
using win32::Bstr;
using win32::Variant;

namespace benchmark {

const char* RouteName(Route route) { return route == Route::Wmi ? "WMI" : "registry API"; }

namespace {

const HRESULT MethodNotFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);

void Check(HRESULT hr, const std::wstring& step) {
    if (FAILED(hr)) throw BareFailure(text::ToUtf8(step + L" answered " + win32::HresultText(hr)));
}

struct Connection {
    ComPtr<IWbemServices> services;
    ComPtr<IWbemClassObject> provider;
};

// Written out here rather than through win32::ConnectWmi: this is the plain
// sequence that the provider's own connection is timed against.
Connection Connect() {
    ComPtr<IWbemLocator> locator;
    Check(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&locator)),
          L"CoCreateInstance(WbemLocator)");
    Connection connection;
    Check(locator->ConnectServer(Bstr(L"\\\\.\\root\\default").Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                 &connection.services),
          L"ConnectServer(root\\default)");
    Check(CoSetProxyBlanket(connection.services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                            RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
          L"CoSetProxyBlanket");
    Check(connection.services->GetObject(Bstr(L"StdRegProv").Get(), 0, nullptr, &connection.provider, nullptr),
          L"GetObject(StdRegProv)");
    if (!connection.provider) throw BareFailure("GetObject(StdRegProv) delivered nothing");
    return connection;
}

// The method's in-signature, or null when the class has no such method.
ComPtr<IWbemClassObject> FindMethod(const Connection& connection, const wchar_t* method) {
    ComPtr<IWbemClassObject> signature;
    const HRESULT hr = connection.provider->GetMethod(method, 0, &signature, nullptr);
    if (hr == MethodNotFound) return nullptr;
    Check(hr, L"GetMethod(" + std::wstring(method) + L")");
    if (!signature) throw BareFailure("GetMethod delivered no in-parameters");
    return signature;
}

ComPtr<IWbemClassObject> Spawn(IWbemClassObject* signature) {
    ComPtr<IWbemClassObject> inParameters;
    Check(signature->SpawnInstance(0, &inParameters), L"SpawnInstance");
    return inParameters;
}

// Starts a call of a method that every StdRegProv has: its fresh in-parameters.
ComPtr<IWbemClassObject> Begin(const Connection& connection, const wchar_t* method) {
    ComPtr<IWbemClassObject> signature = FindMethod(connection, method);
    if (!signature) Check(MethodNotFound, L"GetMethod(" + std::wstring(method) + L")");
    return Spawn(signature.Get());
}

HRESULT TryPutInteger(IWbemClassObject* inParameters, const wchar_t* name, VARTYPE form, std::uint32_t bits) {
    Variant value;
    value.Get()->vt = form;
    value.Get()->ulVal = bits;  // VT_I4 and VT_UI4 share the same four bytes
    return inParameters->Put(name, 0, value.Get(), 0);
}

void PutInteger(IWbemClassObject* inParameters, const wchar_t* name, VARTYPE form, std::uint32_t bits) {
    Check(TryPutInteger(inParameters, name, form, bits), L"Put(" + std::wstring(name) + L")");
}

void PutText(IWbemClassObject* inParameters, const wchar_t* name, const std::wstring& text) {
    Variant value;
    value.Get()->vt = VT_BSTR;
    value.Get()->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value.Get()->bstrVal) throw BareFailure("no memory for a string argument");
    Check(inParameters->Put(name, 0, value.Get(), 0), L"Put(" + std::wstring(name) + L")");
}

ComPtr<IWbemClassObject> Exec(const Connection& connection, const wchar_t* method, IWbemClassObject* inParameters) {
    ComPtr<IWbemClassObject> outParameters;
    Check(connection.services->ExecMethod(Bstr(L"StdRegProv").Get(), Bstr(method).Get(), 0, nullptr, inParameters,
                                          &outParameters, nullptr),
          L"ExecMethod(" + std::wstring(method) + L")");
    if (!outParameters) throw BareFailure("ExecMethod delivered no out-parameters");
    return outParameters;
}

void ReadOut(IWbemClassObject* outParameters, const wchar_t* name, Variant& value) {
    Check(outParameters->Get(name, 0, value.Out(), nullptr, nullptr), L"Get(" + std::wstring(name) + L")");
}

// The form of an integer argument that the platform accepts, VT_I4 or VT_UI4.
VARTYPE AcceptedForm(IWbemClassObject* signature, const wchar_t* name, std::uint32_t sample) {
    ComPtr<IWbemClassObject> inParameters = Spawn(signature);
    for (VARTYPE form : {VT_I4, VT_UI4})
        if (SUCCEEDED(TryPutInteger(inParameters.Get(), name, form, sample))) return form;
    throw BareFailure("StdRegProv takes " + text::ToUtf8(name) + " neither as VT_I4 nor as VT_UI4");
}

HKEY RootKey(BareStdRegProv::Root root) { return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(root)); }

// The key, or an empty owner when it does not open.
win32::RegistryKey OpenKey(BareStdRegProv::Root root, const std::wstring& key, REGSAM rights) {
    win32::RegistryKey opened;
    (void)win32::OpenRegistryKey(RootKey(root), key, rights, opened);
    return opened;
}

}  // namespace

BareStdRegProv::BareStdRegProv() {
    const Connection connection = Connect();
    const std::uint32_t hkcu = static_cast<std::uint32_t>(registry::HiveCurrentUser);
    rootForm_ = AcceptedForm(Begin(connection, L"CreateKey").Get(), L"hDefKey", hkcu);
    if (ComPtr<IWbemClassObject> signature = FindMethod(connection, L"SetDWORDValue"))
        numberForm_ = AcceptedForm(signature.Get(), L"uValue", 12);
    if (ComPtr<IWbemClassObject> signature = FindMethod(connection, L"CheckAccess"))
        rightsForm_ = AcceptedForm(signature.Get(), L"uRequired", KEY_QUERY_VALUE);
}

Route BareStdRegProv::CreateKey(Root root, const std::wstring& key) const {
    const Connection connection = Connect();
    ComPtr<IWbemClassObject> in = Begin(connection, L"CreateKey");
    PutInteger(in.Get(), L"hDefKey", rootForm_, static_cast<std::uint32_t>(root));
    PutText(in.Get(), L"sSubKeyName", key);
    Exec(connection, L"CreateKey", in.Get());
    return Route::Wmi;
}

Route BareStdRegProv::SetStringValue(Root root, const std::wstring& key, const std::wstring& name,
                                     const std::wstring& data) const {
    const Connection connection = Connect();
    ComPtr<IWbemClassObject> in = Begin(connection, L"SetStringValue");
    PutInteger(in.Get(), L"hDefKey", rootForm_, static_cast<std::uint32_t>(root));
    PutText(in.Get(), L"sSubKeyName", key);
    PutText(in.Get(), L"sValueName", name);
    PutText(in.Get(), L"sValue", data);
    Exec(connection, L"SetStringValue", in.Get());
    return Route::Wmi;
}

Route BareStdRegProv::SetDwordValue(Root root, const std::wstring& key, const std::wstring& name,
                                    std::uint32_t data) const {
    const Connection connection = Connect();
    ComPtr<IWbemClassObject> in = Begin(connection, L"SetDWORDValue");
    PutInteger(in.Get(), L"hDefKey", rootForm_, static_cast<std::uint32_t>(root));
    PutText(in.Get(), L"sSubKeyName", key);
    PutText(in.Get(), L"sValueName", name);
    PutInteger(in.Get(), L"uValue", numberForm_, data);
    Exec(connection, L"SetDWORDValue", in.Get());
    return Route::Wmi;
}

std::optional<std::wstring> BareStdRegProv::ReadStringValue(Root root, const std::wstring& key,
                                                            const std::wstring& name) const {
    const Connection connection = Connect();
    ComPtr<IWbemClassObject> in = Begin(connection, L"GetStringValue");
    PutInteger(in.Get(), L"hDefKey", rootForm_, static_cast<std::uint32_t>(root));
    PutText(in.Get(), L"sSubKeyName", key);
    PutText(in.Get(), L"sValueName", name);
    ComPtr<IWbemClassObject> out = Exec(connection, L"GetStringValue", in.Get());
    Variant value;
    ReadOut(out.Get(), L"sValue", value);
    if (value->vt != VT_BSTR || !value->bstrVal) return std::nullopt;
    return std::wstring(value->bstrVal, SysStringLen(value->bstrVal));
}

Route BareStdRegProv::GetStringValue(Root root, const std::wstring& key, const std::wstring& name,
                                     std::wstring& data) const {
    std::optional<std::wstring> value = ReadStringValue(root, key, name);
    if (!value) throw BareFailure("GetStringValue delivered no string");
    data = std::move(*value);
    return Route::Wmi;
}

Route BareStdRegProv::ReadDword(Root root, const std::wstring& key, const std::wstring& name,
                                std::optional<std::uint32_t>& data) const {
    data.reset();
    const Connection connection = Connect();
    if (ComPtr<IWbemClassObject> signature = FindMethod(connection, L"GetDWORDValue")) {
        ComPtr<IWbemClassObject> in = Spawn(signature.Get());
        PutInteger(in.Get(), L"hDefKey", rootForm_, static_cast<std::uint32_t>(root));
        PutText(in.Get(), L"sSubKeyName", key);
        PutText(in.Get(), L"sValueName", name);
        ComPtr<IWbemClassObject> out = Exec(connection, L"GetDWORDValue", in.Get());
        Variant value;
        ReadOut(out.Get(), L"uValue", value);
        if (value->vt == VT_I4 || value->vt == VT_UI4) data = value->ulVal;
        return Route::Wmi;
    }
    const win32::RegistryKey opened = OpenKey(root, key, KEY_QUERY_VALUE);
    DWORD type = REG_NONE;
    DWORD number = 0;
    DWORD size = sizeof number;
    if (opened.IsOpen() &&
        RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD)
        data = number;
    return Route::RegistryApi;
}

std::optional<std::uint32_t> BareStdRegProv::ReadDwordValue(Root root, const std::wstring& key,
                                                            const std::wstring& name) const {
    std::optional<std::uint32_t> data;
    ReadDword(root, key, name, data);
    return data;
}

Route BareStdRegProv::GetDwordValue(Root root, const std::wstring& key, const std::wstring& name,
                                    std::uint32_t& data) const {
    std::optional<std::uint32_t> read;
    const Route route = ReadDword(root, key, name, read);
    if (!read)
        throw BareFailure(route == Route::Wmi ? "GetDWORDValue delivered no number"
                                              : "RegQueryValueExW found no number");
    data = *read;
    return route;
}

Route BareStdRegProv::DeleteValue(Root root, const std::wstring& key, const std::wstring& name) const {
    const Connection connection = Connect();
    if (ComPtr<IWbemClassObject> signature = FindMethod(connection, L"DeleteValue")) {
        ComPtr<IWbemClassObject> in = Spawn(signature.Get());
        PutInteger(in.Get(), L"hDefKey", rootForm_, static_cast<std::uint32_t>(root));
        PutText(in.Get(), L"sSubKeyName", key);
        PutText(in.Get(), L"sValueName", name);
        Exec(connection, L"DeleteValue", in.Get());
        return Route::Wmi;
    }
    const win32::RegistryKey opened = OpenKey(root, key, KEY_SET_VALUE);
    if (opened.IsOpen()) RegDeleteValueW(opened.Get(), name.c_str());
    return Route::RegistryApi;
}

Route BareStdRegProv::DeleteKey(Root root, const std::wstring& key) const {
    const Connection connection = Connect();
    ComPtr<IWbemClassObject> in = Begin(connection, L"DeleteKey");
    PutInteger(in.Get(), L"hDefKey", rootForm_, static_cast<std::uint32_t>(root));
    PutText(in.Get(), L"sSubKeyName", key);
    Exec(connection, L"DeleteKey", in.Get());
    return Route::Wmi;
}

Route BareStdRegProv::CheckAccess(Root root, const std::wstring& key, std::uint32_t rights, bool& granted) const {
    const Connection connection = Connect();
    if (ComPtr<IWbemClassObject> signature = FindMethod(connection, L"CheckAccess")) {
        ComPtr<IWbemClassObject> in = Spawn(signature.Get());
        PutInteger(in.Get(), L"hDefKey", rootForm_, static_cast<std::uint32_t>(root));
        PutText(in.Get(), L"sSubKeyName", key);
        PutInteger(in.Get(), L"uRequired", rightsForm_, rights);
        ComPtr<IWbemClassObject> out = Exec(connection, L"CheckAccess", in.Get());
        Variant value;
        ReadOut(out.Get(), L"bGranted", value);
        if (value->vt != VT_BOOL) throw BareFailure("CheckAccess delivered no answer");
        granted = value->boolVal != VARIANT_FALSE;
        return Route::Wmi;
    }
    granted = OpenKey(root, key, static_cast<REGSAM>(rights)).IsOpen();
    return Route::RegistryApi;
}

}  // namespace benchmark
