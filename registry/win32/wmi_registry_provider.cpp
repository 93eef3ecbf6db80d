#include "registry/win32/wmi_registry_provider.h"

#include <wbemidl.h>

#include <memory>

#include "registry/win32/registry_api_route.h"
#include "win32/failure.h"
#include "win32/wine.h"
#include "win32/wmi_connection.h"

using Microsoft::WRL::ComPtr;

namespace registry {

using win32::Bstr;
using win32::Variant;

namespace {

// The service's status codes are an unsigned enumeration; HRESULTs are signed.
const HRESULT MethodNotFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);
// ERROR_NO_MORE_ITEMS: Wine's EnumValues answers it for a key without values,
// where Windows answers success with null arrays.
const ResultCode NoMoreItems = 259;
const std::wstring NoValue;

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

struct WmiRegistryProvider::Operation {
    Operation(const wchar_t* name, Root root, const std::wstring& key, const std::wstring& valueName = NoValue)
        : name(name), root(root), key(key), valueName(valueName) {}

    [[noreturn]] void Fail(const std::wstring& reason) const {
        throw RegistryFailure(name, root, key, valueName, reason);
    }
    [[noreturn]] void Fail(const std::wstring& step, HRESULT hr) const {
        Fail(step + L" answered " + win32::HresultText(hr));
    }
    // Copies one out-value into slot; its conversion is the caller's.
    void Read(IWbemClassObject* outParameters, const wchar_t* valueName, Variant& slot) const {
        slot.Clear();
        const HRESULT hr = outParameters->Get(valueName, 0, slot.Out(), nullptr, nullptr);
        if (FAILED(hr)) Fail(L"IWbemClassObject::Get(" + std::wstring(valueName) + L")", hr);
    }

    const wchar_t* name;
    Root root;
    const std::wstring& key;
    const std::wstring& valueName;
    ComPtr<IWbemServices> services;
};

WmiRegistryProvider::WmiRegistryProvider(std::wstring nameSpace) : nameSpace_(std::move(nameSpace)) {}

std::optional<WmiRegistryProvider::Answer> WmiRegistryProvider::Call(Operation& op, const wchar_t* method,
                                                                     std::initializer_list<Argument> arguments,
                                                                     bool registryApiRoad) {
    const std::wstring name(method);
    HRESULT hr = S_OK;
    if (!op.services) {
        try {
            op.services = win32::ConnectWmi(nameSpace_);
        } catch (const win32::PlatformFailure& failure) {
            op.Fail(failure.Operation(), failure.Result());
        }
        // The new class object replaces, and so releases, the previous operation's.
        ProviderSlot.Reset();
        hr = op.services->GetObject(Bstr(ProviderClass).Get(), 0, nullptr, &ProviderSlot, nullptr);
        if (FAILED(hr)) op.Fail(L"IWbemServices::GetObject(StdRegProv)", hr);
        if (!ProviderSlot) op.Fail(L"IWbemServices::GetObject(StdRegProv) delivered no class object");
    }

    ComPtr<IWbemClassObject> signature;
    hr = ProviderSlot->GetMethod(method, 0, &signature, nullptr);
    if (hr == MethodNotFound && registryApiRoad && win32::RunningOnWine()) return std::nullopt;
    if (FAILED(hr)) op.Fail(L"IWbemClassObject::GetMethod(" + name + L")", hr);
    if (!signature) op.Fail(L"StdRegProv." + name + L" has no in-parameters");

    // Always a fresh instance filled completely: a method run with an argument
    // left at its default would act on the wrong value (Wine then writes 0).
    ComPtr<IWbemClassObject> inParameters;
    hr = signature->SpawnInstance(0, &inParameters);
    if (FAILED(hr)) op.Fail(L"IWbemClassObject::SpawnInstance(" + name + L")", hr);
    if (!inParameters) op.Fail(L"IWbemClassObject::SpawnInstance(" + name + L") delivered nothing");
    for (const Argument& argument : arguments) {
        const std::wstring where = name + L"." + argument.name;
        CIMTYPE declared = CIM_EMPTY;
        hr = signature->Get(argument.name, 0, nullptr, &declared, nullptr);
        if (FAILED(hr)) op.Fail(L"IWbemClassObject::Get(" + where + L")", hr);
        VARTYPE tried = VT_EMPTY;
        if (const auto* number = std::get_if<std::int64_t>(&argument.value)) {
            hr = win32::PutInteger(inParameters.Get(), argument.name, declared, *number, tried);
        } else if (declared == CIM_STRING) {
            const std::wstring& text = std::get<std::reference_wrapper<const std::wstring>>(argument.value).get();
            Variant value;
            value.Get()->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            if (!value.Get()->bstrVal) op.Fail(L"no memory for the text of " + where);
            value.Get()->vt = tried = VT_BSTR;
            hr = inParameters->Put(argument.name, 0, value.Get(), 0);
        }
        // A refused Put ends the operation here, before the method could run
        // with the argument left at its default.
        if (tried == VT_EMPTY)
            op.Fail(L"the argument " + where + L" is declared with CIM type " + std::to_wstring(declared) +
                    L", which cannot take the value given");
        if (FAILED(hr)) op.Fail(L"IWbemClassObject::Put(" + where + L", " + VariantTypeText(tried) + L")", hr);
    }

    ComPtr<IWbemClassObject> outParameters;
    hr = op.services->ExecMethod(Bstr(ProviderClass).Get(), Bstr(method).Get(), 0, nullptr, inParameters.Get(),
                                 &outParameters, nullptr);
    if (FAILED(hr)) op.Fail(L"IWbemServices::ExecMethod(StdRegProv." + name + L")", hr);
    if (!outParameters) op.Fail(L"the provider delivered no out-parameters");
    Variant result;
    op.Read(outParameters.Get(), L"ReturnValue", result);
    switch (result->vt) {
    case VT_I4: return Answer{static_cast<ResultCode>(result->lVal), outParameters};
    case VT_UI4: return Answer{static_cast<ResultCode>(result->ulVal), outParameters};
    default: op.Fail(L"the provider delivered no result code (" + VariantTypeText(result->vt) + L")");
    }
}

ResultCode WmiRegistryProvider::DoCreateRegKey(Root root, const std::wstring& key) {
    Operation op(L"CreateRegKey", root, key);
    return Call(op, L"CreateKey", {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}})->result;
}

ResultCode WmiRegistryProvider::DoSetRegString(Root root, const std::wstring& key, const std::wstring& valueName,
                                               const std::wstring& data) {
    Operation op(L"SetRegString", root, key, valueName);
    return Call(op, L"SetStringValue",
                {{L"hDefKey", root},
                 {L"sSubKeyName", std::cref(key)},
                 {L"sValueName", std::cref(valueName)},
                 {L"sValue", std::cref(data)}})
        ->result;
}

ResultCode WmiRegistryProvider::DoSetRegDword(Root root, const std::wstring& key, const std::wstring& valueName,
                                              std::int32_t data) {
    Operation op(L"SetRegDword", root, key, valueName);
    return Call(op, L"SetDWORDValue",
                {{L"hDefKey", root},
                 {L"sSubKeyName", std::cref(key)},
                 {L"sValueName", std::cref(valueName)},
                 {L"uValue", data}})
        ->result;
}

std::wstring WmiRegistryProvider::DoGetRegString(Root root, const std::wstring& key, const std::wstring& valueName) {
    Operation op(L"GetRegString", root, key, valueName);
    ValueSlot.Clear();
    const std::optional<Answer> answer =
        Call(op, L"GetStringValue",
             {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"sValueName", std::cref(valueName)}});
    op.Read(answer->outParameters.Get(), L"sValue", ValueSlot);
    // A missing value, a missing key or a number comes back null (Wine: a
    // VT_BSTR holding a null pointer); an empty string is a real empty BSTR.
    if (ValueSlot->vt != VT_BSTR || ValueSlot->bstrVal == nullptr)
        op.Fail(L"the provider delivered no string (" + VariantTypeText(ValueSlot->vt) + L")");
    return std::wstring(ValueSlot->bstrVal, SysStringLen(ValueSlot->bstrVal));
}

std::int32_t WmiRegistryProvider::DoGetRegDword(Root root, const std::wstring& key, const std::wstring& valueName) {
    Operation op(L"GetRegDword", root, key, valueName);
    ValueSlot.Clear();
    const std::optional<Answer> answer =
        Call(op, L"GetDWORDValue",
             {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"sValueName", std::cref(valueName)}}, true);
    if (!answer) return GetDwordThroughRegistryApi(root, key, valueName);
    op.Read(answer->outParameters.Get(), L"uValue", ValueSlot);
    switch (ValueSlot->vt) {
    case VT_I4: return static_cast<std::int32_t>(ValueSlot->lVal);
    case VT_UI4: return static_cast<std::int32_t>(ValueSlot->ulVal);
    default: op.Fail(L"the provider delivered no number (" + VariantTypeText(ValueSlot->vt) + L")");
    }
}

ResultCode WmiRegistryProvider::DoDeleteRegValue(Root root, const std::wstring& key, const std::wstring& valueName) {
    Operation op(L"DeleteRegValue", root, key, valueName);
    const std::optional<Answer> answer =
        Call(op, L"DeleteValue",
             {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"sValueName", std::cref(valueName)}}, true);
    return answer ? answer->result : DeleteValueThroughRegistryApi(root, key, valueName);
}

ResultCode WmiRegistryProvider::DoDeleteRegKey(Root root, const std::wstring& key) {
    Operation op(L"DeleteRegKey", root, key);
    const ResultCode result = Call(op, L"DeleteKey", {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}})->result;
    if (result != ResultAccessDenied) return result;
    // StdRegProv answers "access denied" for a key that stays because of its
    // subkeys, too; only the key's own list of subkeys tells the two apart.
    const std::optional<Answer> subkeys = Call(op, L"EnumKey", {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}});
    Variant names;
    op.Read(subkeys->outParameters.Get(), L"sNames", names);
    const std::optional<ArrayBounds> bounds = BoundsOf(*names, {VT_BSTR});
    if (!bounds) op.Fail(L"the provider delivered an unreadable list of subkeys (" + VariantTypeText(names->vt) + L")");
    return bounds->count > 0 ? ResultKeyHasSubkeys : result;
}

bool WmiRegistryProvider::DoCheckRegAccess(Root root, const std::wstring& key, std::uint32_t rights) {
    Operation op(L"CheckRegAccess", root, key);
    GrantedSlot.Clear();
    const std::optional<Answer> answer =
        Call(op, L"CheckAccess", {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"uRequired", rights}}, true);
    if (!answer) return CheckAccessThroughRegistryApi(root, key, rights);
    // A right that is not held, and a key that does not exist, come back as
    // the method's result code; Windows then delivers no bGranted at all.
    if (answer->result != ResultSuccess) return false;
    op.Read(answer->outParameters.Get(), L"bGranted", GrantedSlot);
    switch (GrantedSlot->vt) {
    case VT_BOOL: return GrantedSlot->boolVal != VARIANT_FALSE;
    case VT_I4:
    case VT_UI4: return GrantedSlot->lVal != 0;
    default: op.Fail(L"the provider delivered no answer (" + VariantTypeText(GrantedSlot->vt) + L")");
    }
}

std::vector<RegistryValueInfo> WmiRegistryProvider::DoEnumRegValues(Root root, const std::wstring& key) {
    Operation op(L"EnumRegValues", root, key);
    const Answer answer = *Call(op, L"EnumValues", {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}});
    // A missing key, a refused one and an empty one all come back with null
    // arrays: only the result code tells them apart.
    if (answer.result == NoMoreItems) return {};
    if (answer.result != ResultSuccess)
        throw RegistryFailure(op.name, root, key, NoValue, L"the provider answered " + ResultText(answer.result),
                              answer.result);
    Variant names, types;
    op.Read(answer.outParameters.Get(), L"sNames", names);
    op.Read(answer.outParameters.Get(), L"Types", types);
    // The two parallel out-arrays as one list.  The types are declared
    // sint32; a platform may deliver them as uint32.
    const std::optional<ArrayBounds> nameBounds = BoundsOf(*names, {VT_BSTR});
    const std::optional<ArrayBounds> typeBounds = BoundsOf(*types, {VT_I4, VT_UI4});
    if (!nameBounds || !typeBounds || nameBounds->count != typeBounds->count)
        op.Fail(L"the provider delivered an unreadable list of values (" + VariantTypeText(names->vt) + L", " +
                VariantTypeText(types->vt) + L")");
    std::vector<RegistryValueInfo> values;
    for (LONG i = 0; i < nameBounds->count; ++i) {
        LONG nameIndex = nameBounds->lower + i, typeIndex = typeBounds->lower + i;
        BSTR name = nullptr;
        ULONG type = 0;  // either element type is four bytes
        if (FAILED(SafeArrayGetElement(names->parray, &nameIndex, &name)) ||
            FAILED(SafeArrayGetElement(types->parray, &typeIndex, &type)))
            op.Fail(L"the provider delivered an unreadable list of values");
        const std::unique_ptr<OLECHAR, decltype(&SysFreeString)> owned(name, &SysFreeString);
        values.push_back({name ? std::wstring(name, SysStringLen(name)) : std::wstring(), type});
    }
    return values;
}

}  // namespace registry
