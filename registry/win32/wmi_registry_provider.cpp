#include "registry/win32/wmi_registry_provider.h"

#include <wbemidl.h>

#include <memory>

#include "registry/win32/registry_api_route.h"
#include "win32/failure.h"
#include "win32/wine.h"
#include "win32/wmi_connection.h"

using Microsoft::WRL::ComPtr;

namespace registry {

using win32::Variant;

namespace {

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
    // One out-value, its conversion the caller's.
    void Read(IWbemClassObject* outParameters, const wchar_t* valueName, Variant& value) const {
        const HRESULT hr = outParameters->Get(valueName, 0, value.Out(), nullptr, nullptr);
        if (FAILED(hr)) Fail(L"IWbemClassObject::Get(" + std::wstring(valueName) + L")", hr);
    }

    const wchar_t* name;
    Root root;
    const std::wstring& key;
    const std::wstring& valueName;
    ComPtr<IWbemServices> services;
};

WmiRegistryProvider::WmiRegistryProvider(std::wstring providerNamespace)
    : providerNamespace_(std::move(providerNamespace)) {}

std::optional<WmiRegistryProvider::Answer> WmiRegistryProvider::Call(
    Operation& op, const wchar_t* method, std::initializer_list<win32::WmiMethod::Argument> arguments,
    bool registryApiRoad) {
    ComPtr<IWbemClassObject> outParameters;
    try {
        if (!op.services) op.services = win32::ConnectWmi(providerNamespace_);
        const win32::WmiMethod call(op.services, ProviderClass, method, arguments,
                                    registryApiRoad && win32::RunningOnWine());
        if (call.Missing()) return std::nullopt;
        outParameters = call.Run(ProviderClass);
    } catch (const win32::PlatformFailure& failure) {
        op.Fail(failure.Operation(), failure.Result());
    }
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
    const std::optional<Answer> answer =
        Call(op, L"GetStringValue",
             {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"sValueName", std::cref(valueName)}});
    Variant value;
    op.Read(answer->outParameters.Get(), L"sValue", value);
    // A missing value, a missing key or a number comes back null (Wine: a
    // VT_BSTR holding a null pointer); an empty string is a real empty BSTR.
    if (value->vt != VT_BSTR || value->bstrVal == nullptr)
        op.Fail(L"the provider delivered no string (" + VariantTypeText(value->vt) + L")");
    return std::wstring(value->bstrVal, SysStringLen(value->bstrVal));
}

std::int32_t WmiRegistryProvider::DoGetRegDword(Root root, const std::wstring& key, const std::wstring& valueName) {
    Operation op(L"GetRegDword", root, key, valueName);
    const std::optional<Answer> answer =
        Call(op, L"GetDWORDValue",
             {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"sValueName", std::cref(valueName)}}, true);
    if (!answer) return GetDwordThroughRegistryApi(root, key, valueName);
    Variant value;
    op.Read(answer->outParameters.Get(), L"uValue", value);
    switch (value->vt) {
    case VT_I4: return static_cast<std::int32_t>(value->lVal);
    case VT_UI4: return static_cast<std::int32_t>(value->ulVal);
    default: op.Fail(L"the provider delivered no number (" + VariantTypeText(value->vt) + L")");
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
    const std::optional<Answer> answer =
        Call(op, L"CheckAccess", {{L"hDefKey", root}, {L"sSubKeyName", std::cref(key)}, {L"uRequired", rights}}, true);
    if (!answer) return CheckAccessThroughRegistryApi(root, key, rights);
    // A right that is not held, and a key that does not exist, come back as
    // the method's result code; Windows then delivers no bGranted at all.
    if (answer->result != ResultSuccess) return false;
    Variant granted;
    op.Read(answer->outParameters.Get(), L"bGranted", granted);
    switch (granted->vt) {
    case VT_BOOL: return granted->boolVal != VARIANT_FALSE;
    case VT_I4:
    case VT_UI4: return granted->lVal != 0;
    default: op.Fail(L"the provider delivered no answer (" + VariantTypeText(granted->vt) + L")");
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
