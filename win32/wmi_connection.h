// Windows only: the one way the program connects to a namespace of the
// instrumentation service on this machine (locator, ConnectServer, proxy
// blanket), for the registry provider, the version probe and the log-off;
// and what those share in speaking to it: whether the service is Wine's, and
// how an integer argument is put.
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

#include <cstdint>
#include <string>
#include <vector>

#include "win32/scoped.h"

namespace win32 {

// Impersonation on a WMI proxy under the policy above: S_OK for an object
// that is no proxy, the failure of CoSetProxyBlanket otherwise.
[[nodiscard]] HRESULT SetImpersonation(IUnknown* object);

// A fresh connection to the namespace, its blanket set.  Raises
// win32::PlatformFailure naming the step that failed:
// "CoCreateInstance(WbemLocator)", "IWbemLocator::ConnectServer(NAMESPACE)" or
// "CoSetProxyBlanket(NAMESPACE)".
Microsoft::WRL::ComPtr<IWbemServices> ConnectWmi(const std::wstring& nameSpace);

// Whether the program runs on Wine rather than on Windows: the one place that
// says so.  Wine's service lacks StdRegProv's GetDWORDValue, DeleteValue and
// CheckAccess and Win32_OperatingSystem's Win32Shutdown, so there, and only
// there, the program carries those operations out through the registry API
// and ExitWindowsEx.  Every Windows from 2000 on has each of these methods: a
// service that lacks one there is failing, and the program must not go
// around it unseen.  Wine's ntdll exports wine_get_version; Windows' does not.
bool RunningOnWine();

// The automation forms in which an integer of a CIM type may be put, in the
// order tried.  Microsoft's "Numbers (WMI)" gives VT_I4 for sint32, uint16
// and uint32, VT_I2 for sint8 and sint16 and VT_UI1 for uint8; Wine's
// service takes its uint32 and uint16 properties only as VT_UI4 and VT_UI2,
// which come second.  Empty for a type that is no integer.
std::vector<VARTYPE> IntegerForms(CIMTYPE declared);

// Puts an integer property in the first of the forms that the object takes.
// A form that the value does not fit is passed over, and only a refused type
// (WBEM_E_TYPE_MISMATCH) lets the next form be tried: any other refusal is
// answered at once.  32-bit forms carry the value's bits, so Hive's
// 0x80000001 is the same root signed or unsigned.  Answers S_OK, the last
// refusal, or WBEM_E_TYPE_MISMATCH when the value fits no form; `tried` is the
// form of that answer, VT_EMPTY when none was put.
[[nodiscard]] HRESULT PutInteger(IWbemClassObject* object, const wchar_t* name, std::int64_t value,
                                 const std::vector<VARTYPE>& forms, VARTYPE& tried);

// The first connection of a process costs far more than the later ones: the
// service's libraries load and its classes are read.  A warm-up pays that on a
// thread of its own, in the multithreaded apartment, by connecting to the
// namespace and fetching one class, while the starting thread goes on with its
// windows; the starting thread's own first connection then finds the work
// done.  Nothing made there is kept, and a failure there is only kept for
// Wait: the connection that the program makes itself reports its own.
//
//   win32::ComApartment apartment;   // first: it sets the process's COM security
//   const win32::WmiWarmUp warmUp(L"\\\\.\\root\\default", L"StdRegProv");
//   ...                              // windows; the first ConnectWmi
//
// The destructor waits for the thread, so the owner must go before the
// apartment of the thread that made it.
class WmiWarmUp {
public:
    // Starts the thread; where none can be started there is no warm-up, and
    // Wait answers why.
    WmiWarmUp(std::wstring nameSpace, std::wstring className);
    ~WmiWarmUp();
    WmiWarmUp(const WmiWarmUp&) = delete;
    WmiWarmUp& operator=(const WmiWarmUp&) = delete;

    // Waits for the thread and answers S_OK when the class was fetched, the
    // failure of the step that stopped it otherwise.
    HRESULT Wait();

private:
    static DWORD WINAPI Run(void* self);

    const std::wstring nameSpace_;
    const std::wstring className_;
    HRESULT result_ = E_PENDING;
    Handle thread_;
};

}  // namespace win32
