#include "win32/wmi_connection.h"

#include <wbemidl.h>

#include <limits>
#include <utility>

#include "win32/failure.h"
#include "win32/scoped.h"

using Microsoft::WRL::ComPtr;

namespace win32 {

HRESULT SetImpersonation(IUnknown* object) {
    const HRESULT result = CoSetProxyBlanket(object, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                             RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    return result == E_NOINTERFACE ? S_OK : result;
}

ComPtr<IWbemServices> ConnectWmi(const std::wstring& nameSpace) {
    ComPtr<IWbemLocator> locator;
    Check(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&locator)),
          L"CoCreateInstance(WbemLocator)");
    ComPtr<IWbemServices> services;
    const std::wstring connect = L"IWbemLocator::ConnectServer(" + nameSpace + L")";
    Check(locator->ConnectServer(Bstr(nameSpace).Get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services),
          connect);
    if (!services) throw PlatformFailure(connect, E_POINTER);
    Check(SetImpersonation(services.Get()), L"CoSetProxyBlanket(" + nameSpace + L")");
    return services;
}

bool RunningOnWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::vector<VARTYPE> IntegerForms(CIMTYPE declared) {
    switch (declared) {
    case CIM_SINT32: return {VT_I4};
    case CIM_UINT32: return {VT_I4, VT_UI4};
    case CIM_UINT16: return {VT_I4, VT_UI2};
    case CIM_SINT16:
    case CIM_SINT8: return {VT_I2};
    case CIM_UINT8: return {VT_UI1};
    default: return {};
    }
}

namespace {

// The variant of the value in the form vt, when the value fits it.
bool FillInteger(VARIANT& target, VARTYPE vt, std::int64_t value) {
    auto within = [value](std::int64_t low, std::int64_t high) { return value >= low && value <= high; };
    switch (vt) {
    case VT_I4:
    case VT_UI4:
        if (!within(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::uint32_t>::max())) return false;
        target.ulVal = static_cast<ULONG>(static_cast<std::uint32_t>(value));  // lVal's four bytes as well
        break;
    case VT_I2:
        if (!within(std::numeric_limits<SHORT>::min(), std::numeric_limits<SHORT>::max())) return false;
        target.iVal = static_cast<SHORT>(value);
        break;
    case VT_UI2:
        if (!within(0, std::numeric_limits<USHORT>::max())) return false;
        target.uiVal = static_cast<USHORT>(value);
        break;
    case VT_UI1:
        if (!within(0, std::numeric_limits<BYTE>::max())) return false;
        target.bVal = static_cast<BYTE>(value);
        break;
    default: return false;
    }
    target.vt = vt;
    return true;
}

}  // namespace

HRESULT PutInteger(IWbemClassObject* object, const wchar_t* name, std::int64_t value, const std::vector<VARTYPE>& forms,
                   VARTYPE& tried) {
    HRESULT answer = static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);
    tried = VT_EMPTY;
    for (VARTYPE vt : forms) {
        Variant put;
        if (!FillInteger(*put.Get(), vt, value)) continue;
        tried = vt;
        answer = object->Put(name, 0, put.Get(), 0);
        if (answer != static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH)) return answer;
    }
    return answer;
}

WmiWarmUp::WmiWarmUp(std::wstring nameSpace, std::wstring className)
    : nameSpace_(std::move(nameSpace)), className_(std::move(className)) {
    thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
    if (!thread_.IsValid()) result_ = HRESULT_FROM_WIN32(GetLastError());
}

WmiWarmUp::~WmiWarmUp() { Wait(); }

HRESULT WmiWarmUp::Wait() {
    if (thread_.IsValid()) {
        WaitForSingleObject(thread_.Get(), INFINITE);
        thread_.Reset();
    }
    return result_;
}

DWORD WINAPI WmiWarmUp::Run(void* self) {
    auto& warmUp = *static_cast<WmiWarmUp*>(self);
    HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(result)) {
        warmUp.result_ = result;
        return 0;
    }
    try {
        ComPtr<IWbemServices> services = ConnectWmi(warmUp.nameSpace_);
        ComPtr<IWbemClassObject> object;
        result = services->GetObject(Bstr(warmUp.className_).Get(), 0, nullptr, &object, nullptr);
        if (SUCCEEDED(result) && !object) result = E_POINTER;
    } catch (const PlatformFailure& failure) {
        result = failure.Result();
    } catch (...) {
        result = E_OUTOFMEMORY;  // Bstr's std::bad_alloc, the only other failure here
    }
    CoUninitialize();
    warmUp.result_ = result;
    return 0;
}

}  // namespace win32
