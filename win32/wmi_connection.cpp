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

HRESULT PutInteger(IWbemClassObject* object, const wchar_t* name, CIMTYPE declared, std::int64_t value,
                   VARTYPE& tried) {
    HRESULT answer = static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);
    tried = VT_EMPTY;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::uint32_t>::max())
        return answer;
    const VARTYPE forms[] = {VT_I4, VT_UI4};
    const std::size_t count = declared == CIM_UINT32 ? 2 : declared == CIM_SINT32 ? 1 : 0;
    for (std::size_t i = 0; i < count && answer == static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH); ++i) {
        Variant put;
        put.Get()->vt = tried = forms[i];
        put.Get()->ulVal = static_cast<ULONG>(static_cast<std::uint32_t>(value));  // lVal's four bytes as well
        answer = object->Put(name, 0, put.Get(), 0);
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
