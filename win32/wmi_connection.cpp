#include "win32/wmi_connection.h"

#include <wbemidl.h>

#include <limits>
#include <tuple>
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

namespace {

// A step's name in a failure: "GetMethod(CreateKey)".
std::wstring Step(const wchar_t* call, const std::wstring& subject) {
    return std::wstring(call) + L"(" + subject + L")";
}

// A call's answer, where it answered success with nothing: E_POINTER.
template <typename Interface>
HRESULT Delivered(HRESULT answer, const ComPtr<Interface>& delivered) {
    return SUCCEEDED(answer) && !delivered ? E_POINTER : answer;
}

// An integer argument in the form that WmiMethod's comment gives.  Answers
// S_OK, the last refusal, or WBEM_E_TYPE_MISMATCH when the value is no 32-bit
// integer or the type no such integer; `tried` is the form of that answer,
// VT_EMPTY when none was put.
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

}  // namespace

WmiMethod::WmiMethod(ComPtr<IWbemServices> services, const wchar_t* className, const wchar_t* name,
                     std::initializer_list<Argument> arguments, bool mayBeMissing)
    : services_(std::move(services)), name_(name) {
    ComPtr<IWbemClassObject> wmiClass, signature, inParameters;
    Check(Delivered(services_->GetObject(Bstr(className).Get(), 0, nullptr, &wmiClass, nullptr), wmiClass),
          Step(L"GetObject", className));
    const HRESULT found = wmiClass->GetMethod(name, 0, &signature, nullptr);
    if (found == static_cast<HRESULT>(WBEM_E_NOT_FOUND) && mayBeMissing) return;
    Check(Delivered(found, signature), Step(L"GetMethod", name_));
    Check(Delivered(signature->SpawnInstance(0, &inParameters), inParameters), Step(L"SpawnInstance", name_));

    for (const Argument& argument : arguments) {
        const std::wstring where = name_ + L"." + argument.name;
        CIMTYPE declared = CIM_EMPTY;
        Check(signature->Get(argument.name, 0, nullptr, &declared, nullptr), Step(L"Get", where));
        VARTYPE tried = VT_EMPTY;
        HRESULT put = static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);
        if (const auto* number = std::get_if<std::int64_t>(&argument.value)) {
            put = PutInteger(inParameters.Get(), argument.name, declared, *number, tried);
        } else if (declared == CIM_STRING) {
            const std::wstring& text = std::get<std::reference_wrapper<const std::wstring>>(argument.value).get();
            Variant value;
            value.Get()->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            value.Get()->vt = tried = VT_BSTR;
            put = value->bstrVal ? inParameters->Put(argument.name, 0, value.Get(), 0) : E_OUTOFMEMORY;
        }
        // A refused argument ends the call here, before the method could run
        // with it left at its default.
        Check(put, Step(L"Put", where + (tried == VT_EMPTY ? L", CIM type " + std::to_wstring(declared)
                                                           : L", variant type " + std::to_wstring(tried))));
    }
    inParameters_ = std::move(inParameters);
}

ComPtr<IWbemClassObject> WmiMethod::Run(const std::wstring& objectPath) const {
    // Never a null in-parameters object: Wine's service crashes on one.
    if (Missing()) throw PlatformFailure(Step(L"GetMethod", name_), static_cast<HRESULT>(WBEM_E_NOT_FOUND));
    ComPtr<IWbemClassObject> outParameters;
    Check(services_->ExecMethod(Bstr(objectPath).Get(), Bstr(name_).Get(), 0, nullptr, inParameters_.Get(),
                                &outParameters, nullptr),
          Step(L"ExecMethod", name_));
    return outParameters;
}

WmiWarmUp::WmiWarmUp(std::wstring nameSpace, std::wstring className)
    : nameSpace_(std::move(nameSpace)),
      className_(std::move(className)),
      thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}

WmiWarmUp::~WmiWarmUp() { std::ignore = Ended(INFINITE); }

bool WmiWarmUp::Ended(DWORD milliseconds) const {
    return !thread_.IsValid() || WaitForSingleObject(thread_.Get(), milliseconds) == WAIT_OBJECT_0;
}

DWORD WINAPI WmiWarmUp::Run(void* self) {
    const auto& warmUp = *static_cast<const WmiWarmUp*>(self);
    FetchWmiClass(warmUp.nameSpace_, warmUp.className_);
    return 0;
}

HRESULT FetchWmiClass(const std::wstring& nameSpace, const std::wstring& className) noexcept {
    HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(result)) return result;
    // The warm-up thread's one boundary: nothing raised here leaves it.
    try {
        ComPtr<IWbemClassObject> object;
        result =
            Delivered(ConnectWmi(nameSpace)->GetObject(Bstr(className).Get(), 0, nullptr, &object, nullptr), object);
    } catch (const PlatformFailure& failure) {
        result = failure.Result();
    } catch (...) {
        result = E_OUTOFMEMORY;  // Bstr's std::bad_alloc, the only other failure here
    }
    CoUninitialize();
    return result;
}

}  // namespace win32
