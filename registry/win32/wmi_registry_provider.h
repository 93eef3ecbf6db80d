// The registry operations through the instrumentation service's registry
// provider, StdRegProv in root\default of the local machine.  Windows only.
//
//   registry::WmiRegistryProvider reg;           // the thread has joined COM
//   reg.Hive = registry::HiveLocalMachine;
//   reg.CreateRegKey(L"Software\\Ploz\\psw");
//   std::wstring pw = reg.GetRegString(L"Software\\Ploz\\psw", L"MyPassword");
//
// Every operation makes its own connection (win32::ConnectWmi: locator,
// ConnectServer, proxy blanket) and runs its StdRegProv method with every
// argument, Hive first, through win32::WmiMethod, then reads its ReturnValue:
// all in one routine, Call.  A write, creation or deletion answers that
// ReturnValue; for a read a refusal by the provider leaves the out-value
// null, which raises.  A listing of values raises on any ReturnValue but
// success, and carries it.  Any failed COM call raises RegistryFailure, and
// does so before the method runs, so a method never runs with an argument
// left at its default.
//
// On Wine, whose service lacks GetDWORDValue, DeleteValue and CheckAccess
// (see win32::RunningOnWine), those three operations take the registry API's
// road (registry_api_route.h); anywhere else a missing method fails, naming
// it.  Use the provider on a thread that has joined COM, in either apartment.
#pragma once

#include <windows.h>
#include <wbemcli.h>
#include <wrl/client.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "registry/registry_provider.h"
#include "win32/wmi_connection.h"

namespace registry {

class WmiRegistryProvider : public RegistryProvider {
public:
    static constexpr const wchar_t* LocalNamespace = L"\\\\.\\root\\default";
    static constexpr const wchar_t* ProviderClass = L"StdRegProv";

    // The namespace whose StdRegProv the provider works through; the
    // program's is this machine's root\default, which its warm-up fetches.
    explicit WmiRegistryProvider(std::wstring providerNamespace = LocalNamespace);

protected:
    ResultCode DoCreateRegKey(Root root, const std::wstring& key) override;
    ResultCode DoSetRegString(Root root, const std::wstring& key, const std::wstring& valueName,
                              const std::wstring& data) override;
    ResultCode DoSetRegDword(Root root, const std::wstring& key, const std::wstring& valueName,
                             std::int32_t data) override;
    std::wstring DoGetRegString(Root root, const std::wstring& key, const std::wstring& valueName) override;
    std::int32_t DoGetRegDword(Root root, const std::wstring& key, const std::wstring& valueName) override;
    ResultCode DoDeleteRegValue(Root root, const std::wstring& key, const std::wstring& valueName) override;
    ResultCode DoDeleteRegKey(Root root, const std::wstring& key) override;
    bool DoCheckRegAccess(Root root, const std::wstring& key, std::uint32_t rights) override;
    std::vector<RegistryValueInfo> DoEnumRegValues(Root root, const std::wstring& key) override;

private:
    // What a failure names, and the operation's one connection.
    struct Operation;
    struct Answer {
        ResultCode result;                                       // the method's ReturnValue
        Microsoft::WRL::ComPtr<IWbemClassObject> outParameters;  // never null
    };

    // One StdRegProv method with the arguments, on the operation's connection
    // (made by its first call).  Empty only where the method is missing, this
    // is Wine and the operation has the registry API's road (registryApiRoad).
    std::optional<Answer> Call(Operation& op, const wchar_t* method,
                               std::initializer_list<win32::WmiMethod::Argument> arguments,
                               bool registryApiRoad = false);

    std::wstring providerNamespace_;
};

}  // namespace registry
