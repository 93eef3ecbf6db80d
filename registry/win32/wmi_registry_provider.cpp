#include "registry/win32/wmi_registry_provider.h"

#include <wbemidl.h>

#include <algorithm>
#include <memory>

#include "registry/win32/registry_api_route.h"
#include "win32/failure.h"
#include "win32/wmi_connection.h"

using Microsoft::WRL::ComPtr;

namespace registry {

using win32::Bstr;
using win32::HresultText;
using win32::Variant;

namespace {

// The service's status codes are an unsigned enumeration; HRESULTs are signed.
const HRESULT MethodNotFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);
// ERROR_NO_MORE_ITEMS: Wine's EnumValues answers it for a key without values,
// where Windows answers success with null arrays.
const ResultCode NoMoreItems = 259;

std::wstring VariantTypeText(VARTYPE vt) { return L"variant type " + std::to_wstring(vt); }

struct ArrayBounds {
    LONG lower = 0;
    LONG count = 0;
};

// An out-value that should be a one-dimensional array of one of the element
// types: where its elements lie.  The provider delivers null for an empty
// array; nullopt for anything else.
std::optional<ArrayBounds> BoundsOf(const VARIANT& value, std::initializer_list<VARTYPE> elements) {
    if (value.vt == VT_NULL || value.vt == VT_EMPTY) return ArrayBounds{};
    bool known = false;
    for (VARTYPE element : elements) known = known || value.vt == (VT_ARRAY | element);
    if (!known) return std::nullopt;
    if (!value.parray) return ArrayBounds{};
    LONG lower = 0, upper = -1;
    if (SafeArrayGetDim(value.parray) != 1 || FAILED(SafeArrayGetLBound(value.parray, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(value.parray, 1, &upper)))
        return std::nullopt;
    return ArrayBounds{lower, upper - lower + 1};
}

}  // namespace

WmiRegistryProvider::MissingMethod WmiRegistryProvider::PlatformRule() {
    return win32::RunningOnWine() ? MissingMethod::TakesRegistryApi : MissingMethod::Fails;
}

WmiRegistryProvider::WmiRegistryProvider(std::wstring nameSpace, MissingMethod missingMethod)
    : nameSpace_(std::move(nameSpace)), missingMethod_(missingMethod) {}

WmiRegistryProvider::~WmiRegistryProvider() = default;

void WmiRegistryProvider::Fail(const Operation& op, const std::wstring& reason) {
    throw RegistryFailure(op.name, op.root, op.key, op.valueName, reason);
}

void WmiRegistryProvider::Fail(const Operation& op, const std::wstring& step, HRESULT hr) {
    Fail(op, step + L" answered " + HresultText(hr));
}

ComPtr<IWbemServices> WmiRegistryProvider::Connect(const Operation& op) {
    lastRoute_.reset();
    ComPtr<IWbemServices> services;
    try {
        services = win32::ConnectWmi(nameSpace_);
    } catch (const win32::PlatformFailure& failure) {
        Fail(op, failure.Operation(), failure.Result());
    }

    // The new class object replaces, and so releases, the previous operation's.
    ProviderSlot.Reset();
    const HRESULT hr = services->GetObject(Bstr(ProviderClass).Get(), 0, nullptr, &ProviderSlot, nullptr);
    if (FAILED(hr)) Fail(op, L"IWbemServices::GetObject(StdRegProv)", hr);
    if (!ProviderSlot) Fail(op, L"IWbemServices::GetObject(StdRegProv) delivered no class object");
    return services;
}

ComPtr<IWbemClassObject> WmiRegistryProvider::FindMethod(const Operation& op, const wchar_t* method) {
    ComPtr<IWbemClassObject> signature;
    const HRESULT hr = ProviderSlot->GetMethod(method, 0, &signature, nullptr);
    if (hr == MethodNotFound && missingMethod_ == MissingMethod::TakesRegistryApi) return nullptr;
    if (FAILED(hr)) Fail(op, L"IWbemClassObject::GetMethod(" + std::wstring(method) + L")", hr);
    if (!signature) Fail(op, L"StdRegProv." + std::wstring(method) + L" has no in-parameters");
    return signature;
}

ComPtr<IWbemClassObject> WmiRegistryProvider::RequireMethod(const Operation& op, const wchar_t* method) {
    ComPtr<IWbemClassObject> signature = FindMethod(op, method);
    if (!signature) Fail(op, L"IWbemClassObject::GetMethod(" + std::wstring(method) + L")", MethodNotFound);
    return signature;
}

std::vector<VARTYPE> WmiRegistryProvider::ArgumentForms(const std::wstring&, const std::wstring&,
                                                        CIMTYPE declared) const {
    if (declared == CIM_STRING) return {VT_BSTR};
    return win32::IntegerForms(declared);
}

void WmiRegistryProvider::PutArgument(const Operation& op, const wchar_t* method, IWbemClassObject* signature,
                                      IWbemClassObject* inParameters, const Argument& argument) {
    const std::wstring where = std::wstring(method) + L"." + argument.name;
    CIMTYPE declared = CIM_EMPTY;
    HRESULT hr = signature->Get(argument.name, 0, nullptr, &declared, nullptr);
    if (FAILED(hr)) Fail(op, L"IWbemClassObject::Get(" + where + L")", hr);

    const std::vector<VARTYPE> forms = ArgumentForms(method, argument.name, declared);
    auto cannotTake = [&] {
        Fail(op, L"the argument " + where + L" is declared with CIM type " + std::to_wstring(declared) +
                     L", which cannot take the value given");
    };
    VARTYPE tried = VT_EMPTY;
    if (const auto* number = std::get_if<std::int64_t>(&argument.value)) {
        hr = win32::PutInteger(inParameters, argument.name, *number, forms, tried);
    } else {
        if (std::find(forms.begin(), forms.end(), VT_BSTR) == forms.end()) cannotTake();
        const std::wstring& text = std::get<std::reference_wrapper<const std::wstring>>(argument.value).get();
        Variant value;
        value.Get()->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!value.Get()->bstrVal) Fail(op, L"no memory for the text of " + where);
        value.Get()->vt = tried = VT_BSTR;
        hr = inParameters->Put(argument.name, 0, value.Get(), 0);
    }
    // A refused Put ends the operation here, before the method could run
    // with the argument left at its default.
    if (tried == VT_EMPTY) cannotTake();
    if (FAILED(hr)) Fail(op, L"IWbemClassObject::Put(" + where + L", " + VariantTypeText(tried) + L")", hr);
}

ComPtr<IWbemClassObject> WmiRegistryProvider::Invoke(const Operation& op, IWbemServices* services,
                                                     const wchar_t* method, IWbemClassObject* signature,
                                                     std::initializer_list<Argument> arguments) {
    // Always a fresh instance filled completely: a method run with an argument
    // left at its default would act on the wrong value (Wine then writes 0).
    ComPtr<IWbemClassObject> inParameters;
    HRESULT hr = signature->SpawnInstance(0, &inParameters);
    if (FAILED(hr)) Fail(op, L"IWbemClassObject::SpawnInstance(" + std::wstring(method) + L")", hr);
    if (!inParameters) Fail(op, L"IWbemClassObject::SpawnInstance(" + std::wstring(method) + L") delivered nothing");
    for (const Argument& argument : arguments) PutArgument(op, method, signature, inParameters.Get(), argument);

    ComPtr<IWbemClassObject> outParameters;
    hr = services->ExecMethod(Bstr(ProviderClass).Get(), Bstr(method).Get(), 0, nullptr, inParameters.Get(),
                              &outParameters, nullptr);
    if (FAILED(hr)) Fail(op, L"IWbemServices::ExecMethod(StdRegProv." + std::wstring(method) + L")", hr);
    return outParameters;
}

ResultCode WmiRegistryProvider::ResultOf(const Operation& op, IWbemClassObject* outParameters) {
    Variant result;
    ReadOutValue(op, outParameters, L"ReturnValue", result);
    switch (result->vt) {
    case VT_I4: return static_cast<ResultCode>(result->lVal);
    case VT_UI4: return static_cast<ResultCode>(result->ulVal);
    default: Fail(op, L"the provider delivered no result code (" + VariantTypeText(result->vt) + L")");
    }
}

bool WmiRegistryProvider::HasSubkeys(const Operation& op, IWbemServices* services) {
    ComPtr<IWbemClassObject> signature = RequireMethod(op, L"EnumKey");
    ComPtr<IWbemClassObject> out =
        Invoke(op, services, L"EnumKey", signature.Get(), {{L"hDefKey", op.root}, {L"sSubKeyName", std::cref(op.key)}});
    Variant names;
    ReadOutValue(op, out.Get(), L"sNames", names);
    const std::optional<ArrayBounds> bounds = BoundsOf(*names, {VT_BSTR});
    if (!bounds)
        Fail(op, L"the provider delivered an unreadable list of subkeys (" + VariantTypeText(names->vt) + L")");
    return bounds->count > 0;
}

std::vector<RegistryValueInfo> WmiRegistryProvider::ValueList(const Operation& op, const VARIANT& names,
                                                              const VARIANT& types) {
    // The types are declared sint32; a platform may deliver them as uint32.
    const std::optional<ArrayBounds> nameBounds = BoundsOf(names, {VT_BSTR});
    const std::optional<ArrayBounds> typeBounds = BoundsOf(types, {VT_I4, VT_UI4});
    if (!nameBounds || !typeBounds || nameBounds->count != typeBounds->count)
        Fail(op, L"the provider delivered an unreadable list of values (" + VariantTypeText(names.vt) + L", " +
                     VariantTypeText(types.vt) + L")");
    std::vector<RegistryValueInfo> values;
    for (LONG i = 0; i < nameBounds->count; ++i) {
        LONG nameIndex = nameBounds->lower + i, typeIndex = typeBounds->lower + i;
        BSTR name = nullptr;
        ULONG type = 0;  // either element type is four bytes
        if (FAILED(SafeArrayGetElement(names.parray, &nameIndex, &name)) ||
            FAILED(SafeArrayGetElement(types.parray, &typeIndex, &type)))
            Fail(op, L"the provider delivered an unreadable list of values");
        const std::unique_ptr<OLECHAR, decltype(&SysFreeString)> owned(name, &SysFreeString);
        values.push_back({name ? std::wstring(name, SysStringLen(name)) : std::wstring(), type});
    }
    return values;
}

void WmiRegistryProvider::ReadOutValue(const Operation& op, IWbemClassObject* outParameters, const wchar_t* name,
                                       Variant& slot) {
    slot.Clear();
    if (!outParameters) Fail(op, L"the provider delivered no out-parameters");
    const HRESULT hr = outParameters->Get(name, 0, slot.Out(), nullptr, nullptr);
    if (FAILED(hr)) Fail(op, L"IWbemClassObject::Get(" + std::wstring(name) + L")", hr);
}

ResultCode WmiRegistryProvider::DoCreateRegKey(Root root, const std::wstring& key) {
    const std::wstring noValue;
    const Operation op{L"CreateRegKey", root, key, noValue};
    ComPtr<IWbemServices> services = Connect(op);
    ComPtr<IWbemClassObject> signature = RequireMethod(op, L"CreateKey");
    Took(L"CreateKey", Route::Wmi);
    return ResultOf(op, Invoke(op, services.Get(), L"CreateKey", signature.Get(),
                               {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}})
                            .Get());
}

ResultCode WmiRegistryProvider::DoSetRegString(Root root, const std::wstring& key, const std::wstring& valueName,
                                               const std::wstring& data) {
    const Operation op{L"SetRegString", root, key, valueName};
    ComPtr<IWbemServices> services = Connect(op);
    ComPtr<IWbemClassObject> signature = RequireMethod(op, L"SetStringValue");
    Took(L"SetStringValue", Route::Wmi);
    return ResultOf(op, Invoke(op, services.Get(), L"SetStringValue", signature.Get(),
                               {{L"hDefKey", root},
                                {L"sSubKeyName", std::cref(key)},
                                {L"sValueName", std::cref(valueName)},
                                {L"sValue", std::cref(data)}})
                            .Get());
}

ResultCode WmiRegistryProvider::DoSetRegDword(Root root, const std::wstring& key, const std::wstring& valueName,
                                              std::int32_t data) {
    const Operation op{L"SetRegDword", root, key, valueName};
    ComPtr<IWbemServices> services = Connect(op);
    ComPtr<IWbemClassObject> signature = RequireMethod(op, L"SetDWORDValue");
    Took(L"SetDWORDValue", Route::Wmi);
    return ResultOf(op, Invoke(op, services.Get(), L"SetDWORDValue", signature.Get(),
                               {{L"hDefKey", root},
                                {L"sSubKeyName", std::cref(key)},
                                {L"sValueName", std::cref(valueName)},
                                {L"uValue", std::int64_t{data}}})
                            .Get());
}

std::wstring WmiRegistryProvider::DoGetRegString(Root root, const std::wstring& key, const std::wstring& valueName) {
    const Operation op{L"GetRegString", root, key, valueName};
    ValueSlot.Clear();
    ComPtr<IWbemServices> services = Connect(op);
    ComPtr<IWbemClassObject> signature = RequireMethod(op, L"GetStringValue");
    Took(L"GetStringValue", Route::Wmi);
    ComPtr<IWbemClassObject> out =
        Invoke(op, services.Get(), L"GetStringValue", signature.Get(),
               {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"sValueName", std::cref(valueName)}});
    ReadOutValue(op, out.Get(), L"sValue", ValueSlot);
    // A missing value, a missing key or a number comes back null (Wine: a
    // VT_BSTR holding a null pointer); an empty string is a real empty BSTR.
    if (ValueSlot->vt != VT_BSTR || ValueSlot->bstrVal == nullptr)
        Fail(op, L"the provider delivered no string (" + VariantTypeText(ValueSlot->vt) + L")");
    return std::wstring(ValueSlot->bstrVal, SysStringLen(ValueSlot->bstrVal));
}

std::int32_t WmiRegistryProvider::DoGetRegDword(Root root, const std::wstring& key, const std::wstring& valueName) {
    const Operation op{L"GetRegDword", root, key, valueName};
    ValueSlot.Clear();
    ComPtr<IWbemServices> services = Connect(op);
    ComPtr<IWbemClassObject> signature = FindMethod(op, L"GetDWORDValue");
    if (!signature) {
        Took(L"GetDWORDValue", Route::RegistryApi);
        return GetDwordThroughRegistryApi(root, key, valueName);
    }
    Took(L"GetDWORDValue", Route::Wmi);
    ComPtr<IWbemClassObject> out =
        Invoke(op, services.Get(), L"GetDWORDValue", signature.Get(),
               {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"sValueName", std::cref(valueName)}});
    ReadOutValue(op, out.Get(), L"uValue", ValueSlot);
    switch (ValueSlot->vt) {
    case VT_I4: return static_cast<std::int32_t>(ValueSlot->lVal);
    case VT_UI4: return static_cast<std::int32_t>(ValueSlot->ulVal);
    default: Fail(op, L"the provider delivered no number (" + VariantTypeText(ValueSlot->vt) + L")");
    }
}

ResultCode WmiRegistryProvider::DoDeleteRegValue(Root root, const std::wstring& key, const std::wstring& valueName) {
    const Operation op{L"DeleteRegValue", root, key, valueName};
    ComPtr<IWbemServices> services = Connect(op);
    ComPtr<IWbemClassObject> signature = FindMethod(op, L"DeleteValue");
    if (!signature) {
        Took(L"DeleteValue", Route::RegistryApi);
        return DeleteValueThroughRegistryApi(root, key, valueName);
    }
    Took(L"DeleteValue", Route::Wmi);
    return ResultOf(
        op, Invoke(op, services.Get(), L"DeleteValue", signature.Get(),
                   {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"sValueName", std::cref(valueName)}})
                .Get());
}

ResultCode WmiRegistryProvider::DoDeleteRegKey(Root root, const std::wstring& key) {
    const std::wstring noValue;
    const Operation op{L"DeleteRegKey", root, key, noValue};
    ComPtr<IWbemServices> services = Connect(op);
    ComPtr<IWbemClassObject> signature = RequireMethod(op, L"DeleteKey");
    Took(L"DeleteKey", Route::Wmi);
    const ResultCode result = ResultOf(op, Invoke(op, services.Get(), L"DeleteKey", signature.Get(),
                                                  {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}})
                                               .Get());
    // StdRegProv answers "access denied" for a key that stays because of its
    // subkeys, too; only the key's own list of subkeys tells the two apart.
    if (result == ResultAccessDenied && HasSubkeys(op, services.Get())) return ResultKeyHasSubkeys;
    return result;
}

bool WmiRegistryProvider::DoCheckRegAccess(Root root, const std::wstring& key, std::uint32_t rights) {
    const std::wstring noValue;
    const Operation op{L"CheckRegAccess", root, key, noValue};
    GrantedSlot.Clear();
    ComPtr<IWbemServices> services = Connect(op);
    ComPtr<IWbemClassObject> signature = FindMethod(op, L"CheckAccess");
    if (!signature) {
        Took(L"CheckAccess", Route::RegistryApi);
        return CheckAccessThroughRegistryApi(root, key, rights);
    }
    Took(L"CheckAccess", Route::Wmi);
    ComPtr<IWbemClassObject> out =
        Invoke(op, services.Get(), L"CheckAccess", signature.Get(),
               {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"uRequired", std::int64_t{rights}}});
    // A right that is not held, and a key that does not exist, come back as
    // the method's result code; Windows then delivers no bGranted at all.
    if (ResultOf(op, out.Get()) != ResultSuccess) return false;
    ReadOutValue(op, out.Get(), L"bGranted", GrantedSlot);
    switch (GrantedSlot->vt) {
    case VT_BOOL: return GrantedSlot->boolVal != VARIANT_FALSE;
    case VT_I4:
    case VT_UI4: return GrantedSlot->lVal != 0;
    default: Fail(op, L"the provider delivered no answer (" + VariantTypeText(GrantedSlot->vt) + L")");
    }
}

std::vector<RegistryValueInfo> WmiRegistryProvider::DoEnumRegValues(Root root, const std::wstring& key) {
    const std::wstring noValue;
    const Operation op{L"EnumRegValues", root, key, noValue};
    ComPtr<IWbemServices> services = Connect(op);
    ComPtr<IWbemClassObject> signature = RequireMethod(op, L"EnumValues");
    Took(L"EnumValues", Route::Wmi);
    ComPtr<IWbemClassObject> out = Invoke(op, services.Get(), L"EnumValues", signature.Get(),
                                          {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}});
    // A missing key, a refused one and an empty one all come back with null
    // arrays: only the result code tells them apart.
    const ResultCode result = ResultOf(op, out.Get());
    if (result == NoMoreItems) return {};
    if (result != ResultSuccess)
        throw RegistryFailure(op.name, root, key, noValue, L"the provider answered " + ResultText(result), result);
    Variant names, types;
    ReadOutValue(op, out.Get(), L"sNames", names);
    ReadOutValue(op, out.Get(), L"Types", types);
    return ValueList(op, *names, *types);
}

}  // namespace registry
