// Windows only: the one way the program connects to a namespace of the
// instrumentation service on this machine (locator, ConnectServer, proxy
// blanket), for the registry provider, the version probe and the log-off.
//
//   win32::ComApartment apartment;     // the thread must have joined COM
//   ComPtr<IWbemServices> services = win32::ConnectWmi(L"\\\\.\\root\\cimv2");
//   ComPtr<IEnumWbemClassObject> instances = ...;   // a proxy of its own
//   win32::Check(win32::SetImpersonation(instances.Get()), L"CoSetProxyBlanket(query)");
//
// The blanket: calls go with impersonation at the service's default level,
// since the registry provider must act as the user and the log-off needs the
// user's shutdown privilege.  A refused blanket fails the connection, with one
// exception: E_NOINTERFACE says that the object is no proxy at all (the
// service runs in this process, as Wine's does), so there is no blanket to
// set and its calls run as this thread anyway.
#pragma once

#include <windows.h>
#include <wbemcli.h>
#include <wrl/client.h>

#include <string>

namespace win32 {

// Impersonation on a WMI proxy under the policy above: S_OK for an object
// that is no proxy, the failure of CoSetProxyBlanket otherwise.
[[nodiscard]] HRESULT SetImpersonation(IUnknown* object);

// A fresh connection to the namespace, its blanket set.  Raises
// win32::PlatformFailure naming the step that failed:
// "CoCreateInstance(WbemLocator)", "IWbemLocator::ConnectServer(NAMESPACE)" or
// "CoSetProxyBlanket(NAMESPACE)".
Microsoft::WRL::ComPtr<IWbemServices> ConnectWmi(const std::wstring& nameSpace);

}  // namespace win32
