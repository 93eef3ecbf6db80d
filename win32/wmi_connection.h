// Windows only: the one way the program connects to a namespace of the
// instrumentation service on this machine (locator, ConnectServer, proxy
// blanket), for the registry provider, the version probe and the log-off;
// and the one way it calls a method there, for the provider and the log-off.
//
//   // the thread has joined COM (WinMain does, once)
//   ComPtr<IWbemServices> services = win32::ConnectWmi(L"\\\\.\\root\\cimv2");
//   const win32::WmiMethod shutdown(services, L"Win32_OperatingSystem", L"Win32Shutdown", {{L"Flags", 0}});
//   ComPtr<IEnumWbemClassObject> instances = ...;   // a proxy of its own
//   win32::Check(win32::SetImpersonation(instances.Get()), L"CoSetProxyBlanket(query)");
//   shutdown.Run(path);                                // each instance's __PATH
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
#include <functional>
#include <initializer_list>
#include <string>
#include <variant>

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

// One method of a class, ready to run: the class fetched, the method looked
// up and a fresh instance of its in-parameters filled with every argument, so
// that the method never runs with one left at its default (Wine's service
// then writes 0).  A text goes into a string argument.  An integer goes in
// the form that its declared CIM type takes: Microsoft's "Numbers (WMI)"
// gives VT_I4 for sint32 and uint32, while Wine's service takes its uint32
// properties only as VT_UI4, which is tried second, and only after
// WBEM_E_TYPE_MISMATCH; the form carries the value's 32 bits, so Hive's
// 0x80000001 is the same root signed or unsigned.
//
// A step that fails raises win32::PlatformFailure naming the call and what it
// was for: GetObject(CLASS), GetMethod(METHOD), SpawnInstance(METHOD),
// Get(METHOD.ARGUMENT), Put(METHOD.ARGUMENT, variant type N) or, for a value
// that the declared type cannot take, Put(METHOD.ARGUMENT, CIM type N), and
// ExecMethod with METHOD.  A step that answers success with nothing fails
// with E_POINTER.
class WmiMethod {
public:
    struct Argument {
        const wchar_t* name;
        std::variant<std::int64_t, std::reference_wrapper<const std::wstring>> value;
    };

    // mayBeMissing: a class that lacks the method (GetMethod answers
    // WBEM_E_NOT_FOUND) leaves it Missing instead of failing.
    WmiMethod(Microsoft::WRL::ComPtr<IWbemServices> services, const wchar_t* className, const wchar_t* name,
              std::initializer_list<Argument> arguments, bool mayBeMissing = false);
    bool Missing() const { return !inParameters_; }

    // Runs the method on an object: the class's name for a static method, an
    // instance's __PATH for one of an instance.  Answers the out-parameters
    // as the service delivers them; reading its ReturnValue is the caller's.
    Microsoft::WRL::ComPtr<IWbemClassObject> Run(const std::wstring& objectPath) const;

private:
    Microsoft::WRL::ComPtr<IWbemServices> services_;
    std::wstring name_;
    Microsoft::WRL::ComPtr<IWbemClassObject> inParameters_;
};

// The first connection of a process costs far more than the later ones: the
// service's libraries load and its classes are read.  A warm-up pays that on a
// thread of its own, in the multithreaded apartment, by connecting to the
// namespace and fetching one class (FetchWmiClass), while the starting thread
// goes on with its windows; the starting thread's own first connection then
// finds the work done.  Nothing made there is kept, and a failure there is
// dropped: the connection that the program makes itself reports its own.
//
//   CoInitializeEx(...); CoInitializeSecurity(...);   // WinMain, first
//   const win32::WmiWarmUp warmUp(L"\\\\.\\root\\default", L"StdRegProv");
//   ...                              // windows; the first ConnectWmi
//   if (!warmUp.Ended(limit)) ...    // a service that has not answered yet
//
// The destructor waits for the thread.
class WmiWarmUp {
public:
    // Starts the thread; where none can be started there is no warm-up.
    WmiWarmUp(std::wstring nameSpace, std::wstring className);
    ~WmiWarmUp();
    // Waits for the thread for at most that long; whether it has ended (true
    // where none was started).
    [[nodiscard]] bool Ended(DWORD milliseconds) const;
    WmiWarmUp(const WmiWarmUp&) = delete;
    WmiWarmUp& operator=(const WmiWarmUp&) = delete;

private:
    static DWORD WINAPI Run(void* self);

    const std::wstring nameSpace_;
    const std::wstring className_;
    Handle thread_;
};

// The warm-up's work on the calling thread, which it joins to the
// multithreaded apartment and takes out again: connects to the namespace and
// fetches the class.  S_OK, or the failure of the step that stopped it.
HRESULT FetchWmiClass(const std::wstring& nameSpace, const std::wstring& className) noexcept;

}  // namespace win32
