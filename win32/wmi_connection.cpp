#include "win32/wmi_connection.h"

#include <wbemidl.h>

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

}  // namespace win32
