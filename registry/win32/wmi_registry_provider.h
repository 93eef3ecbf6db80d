// The registry operations through the instrumentation service's registry
// provider, StdRegProv in root\default of the local machine.  Windows only.
//
//   registry::WmiRegistryProvider reg;           // joins this thread to COM
//   reg.Hive = registry::HiveLocalMachine;
//   reg.CreateRegKey(L"Software\\Ploz\\psw");
//   std::wstring pw = reg.GetRegString(L"Software\\Ploz\\psw", L"MyPassword");
//
// Every operation makes its own connection (win32::ConnectWmi: locator,
// ConnectServer, proxy blanket), gets the StdRegProv class, looks its method up, fills a fresh instance
// of the method's in-parameters with every argument, Hive first, and runs it.
// A write, creation or deletion answers the method's ReturnValue; for a read a
// refusal by the provider leaves the out-value null, which raises.  A listing
// of values raises on any ReturnValue but success, and carries it.  Any
// failed COM call raises RegistryFailure, and does so before the method runs,
// so a method never runs with an argument left at its default.
//
// Use the provider on the thread that created it.  A program that joined COM
// already (CoInitialize, OleInitialize, or the multithreaded apartment) keeps
// its apartment; the provider joins the thread to one when there is none.
#pragma once

#include <windows.h>
#include <wbemcli.h>
#include <wrl/client.h>

#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "registry/registry_provider.h"
#include "win32/scoped.h"

namespace registry {

class WmiRegistryProvider : public RegistryProvider {
public:
    static constexpr const wchar_t* LocalNamespace = L"\\\\.\\root\\default";
    static constexpr const wchar_t* ProviderClass = L"StdRegProv";

    // What a method that the service's StdRegProv lacks means: on Wine, whose
    // service lacks three (see win32::RunningOnWine), the operation takes the
    // registry API's road (registry_api_route.h); anywhere else it fails,
    // naming the method.
    enum class MissingMethod { Fails, TakesRegistryApi };
    static MissingMethod PlatformRule();

    // nameSpace: where StdRegProv is looked for.  Anything but the default only
    // serves to model a service that cannot be reached; a rule other than the
    // platform's only serves to show Windows' rule under Wine.
    explicit WmiRegistryProvider(std::wstring nameSpace = LocalNamespace, MissingMethod missingMethod = PlatformRule());
    ~WmiRegistryProvider() override;

    // How the latest operation reached the registry: through StdRegProv, or
    // through the registry API because Wine's StdRegProv lacks the
    // operation's method (see registry_api_route.h).  Empty when it failed
    // before the choice was made.
    enum class Route { Wmi, RegistryApi };
    struct RouteTaken {
        std::wstring method;  // the StdRegProv method of the operation
        Route route;
    };
    const std::optional<RouteTaken>& LastRoute() const { return lastRoute_; }

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

    // The variant types tried, in order, to put one argument whose CIM type the
    // method's in-signature declares; the first one that Put accepts is used
    // (win32::IntegerForms: the documented form first, then Wine's).  Tests
    // override this to force a form that Put refuses.
    virtual std::vector<VARTYPE> ArgumentForms(const std::wstring& method, const std::wstring& argument,
                                               CIMTYPE declared) const;

private:
    struct Operation {
        const wchar_t* name;
        Root root;
        const std::wstring& key;
        const std::wstring& valueName;
    };
    using ArgumentValue = std::variant<std::int64_t, std::reference_wrapper<const std::wstring>>;
    struct Argument {
        const wchar_t* name;
        ArgumentValue value;
    };

    [[noreturn]] static void Fail(const Operation& op, const std::wstring& reason);
    [[noreturn]] static void Fail(const Operation& op, const std::wstring& step, HRESULT hr);

    // Connect, and the StdRegProv class into ProviderSlot.
    Microsoft::WRL::ComPtr<IWbemServices> Connect(const Operation& op);
    // The method's in-signature; null when the class has no such method and
    // the rule lets the registry API stand in for it.
    Microsoft::WRL::ComPtr<IWbemClassObject> FindMethod(const Operation& op, const wchar_t* method);
    Microsoft::WRL::ComPtr<IWbemClassObject> RequireMethod(const Operation& op, const wchar_t* method);
    void PutArgument(const Operation& op, const wchar_t* method, IWbemClassObject* signature,
                     IWbemClassObject* inParameters, const Argument& argument);
    // Fills the in-parameters and runs the method; the out-parameters object.
    Microsoft::WRL::ComPtr<IWbemClassObject> Invoke(const Operation& op, IWbemServices* services, const wchar_t* method,
                                                    IWbemClassObject* signature,
                                                    std::initializer_list<Argument> arguments);
    // The method's ReturnValue.
    static ResultCode ResultOf(const Operation& op, IWbemClassObject* outParameters);
    // Whether the key has a subkey, through StdRegProv.EnumKey.
    bool HasSubkeys(const Operation& op, IWbemServices* services);
    // EnumValues' two parallel out-arrays as one list.
    static std::vector<RegistryValueInfo> ValueList(const Operation& op, const VARIANT& names, const VARIANT& types);
    // Copies one out-value into slot; its conversion is the caller's.
    static void ReadOutValue(const Operation& op, IWbemClassObject* outParameters, const wchar_t* name,
                             win32::Variant& slot);
    void Took(const wchar_t* method, Route route) { lastRoute_ = RouteTaken{method, route}; }

    win32::ComApartment apartment_;  // first: the COM objects below go before the apartment does
    std::wstring nameSpace_;
    MissingMethod missingMethod_;
    std::optional<RouteTaken> lastRoute_;

    // The provider object of the latest operation; each operation replaces it.
    Microsoft::WRL::ComPtr<IWbemClassObject> ProviderSlot;
    // Out-values of the latest reads: one slot serves both string and number
    // reads, one the access check.  Each read empties its slot before its call.
    win32::Variant ValueSlot;
    win32::Variant GrantedSlot;
};

}  // namespace registry
