// A stand-in for the instrumentation service of Windows, for the tests.
//
// Wine's StdRegProv lacks GetDWORDValue, DeleteValue and CheckAccess, and its
// Win32_OperatingSystem lacks Win32Shutdown, so under Wine's own service the
// program takes the registry API and ExitWindowsEx for them, and the WMI road
// that every Windows runs would never run.  Registered in a prefix as the
// in-process server of CLSID_WbemLocator (cmake/wine-test.sh --wmi-stand-in),
// this DLL is what the unchanged program's CoCreateInstance loads, and it
// answers as Microsoft documents Windows' service:
//   root\default  StdRegProv: CreateKey, DeleteKey, EnumKey, EnumValues, DeleteValue,
//                 GetDWORDValue, GetStringValue, SetDWORDValue, SetStringValue and
//                 CheckAccess, with their documented signatures, on the prefix's registry,
//                 in each tree that the documentation lists for hDefKey (HKEY_USERS too)
//   root\cimv2    Win32_OperatingSystem: Version, and Win32Shutdown(Flags, Reserved)
//   any other namespace is refused with WBEM_E_INVALID_NAMESPACE.
// Results and out-values come in Windows' automation forms: uint32 as VT_I4,
// boolean as VT_BOOL, arrays as SAFEARRAYs of those, and an out-value that the
// method does not deliver (it failed, or there is nothing to list) as VT_NULL.
// What a test chooses and how it reads the calls back: stand_in.h.
//
// On Windows the service runs in another process.  Each call that crosses to
// it (ConnectServer, GetObject, ExecQuery, Next, ExecMethod) takes the time a
// test chooses, and meanwhile COM's modal loop dispatches the caller's sent,
// posted and paint messages, timer ticks included, but holds keyboard and
// mouse input back (CrossToTheService).  Whether Windows dispatches WM_TIMER
// there is not clearly documented; the stand-in takes the harsher reading.  A
// class object's Get, Put, GetMethod and SpawnInstance work on the caller's
// local copy and answer at once.
//
// One generic object serves as both classes, their methods' signatures and
// parameters, and the instances.  Interface methods that no caller here needs
// answer WBEM_E_NOT_SUPPORTED.
#include <windows.h>
#include <wbemcli.h>
#include <wrl/client.h>

#include <atomic>
#include <cwctype>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/win32/stand_in.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr HRESULT Unsupported = static_cast<HRESULT>(WBEM_E_NOT_SUPPORTED);
constexpr HRESULT NotFound = static_cast<HRESULT>(WBEM_E_NOT_FOUND);

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// A VARIANT that copies and clears itself.
struct Value {
    VARIANT v;
    Value() {
        VariantInit(&v);
        v.vt = VT_NULL;
    }
    // VariantCopy takes its source as non-const; it does not change it.
    Value(const Value& other) : Value() { VariantCopy(&v, const_cast<VARIANT*>(&other.v)); }
    Value& operator=(const Value& other) {
        if (this != &other) VariantCopy(&v, const_cast<VARIANT*>(&other.v));
        return *this;
    }
    ~Value() { VariantClear(&v); }
};

Value Number(DWORD number) {
    Value value;
    value.v.vt = VT_I4;
    value.v.lVal = static_cast<LONG>(number);
    return value;
}
Value Text(const std::wstring& text) {
    Value value;
    value.v.vt = VT_BSTR;
    value.v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value;
}
Value Flag(bool flag) {
    Value value;
    value.v.vt = VT_BOOL;
    value.v.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}
// An empty list is no list at all: Windows delivers null, not an empty array.
template <typename Item>
Value MakeList(VARTYPE vt, const std::vector<Item>& items, const std::function<void(const Item&, void*)>& put) {
    Value value;
    if (items.empty()) return value;
    SAFEARRAY* array = SafeArrayCreateVector(vt, 0, static_cast<ULONG>(items.size()));
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
        void* slot = nullptr;
        SafeArrayPtrOfIndex(array, &i, &slot);
        put(items[i], slot);
    }
    value.v.vt = VT_ARRAY | vt;
    value.v.parray = array;
    return value;
}

// Microsoft's "Numbers (WMI)" table gives the automation type of each CIM
// type: sint8 and sint16 VT_I2; sint32, uint16 and uint32 VT_I4; uint8 VT_UI1.
// Strings are VT_BSTR, booleans VT_BOOL, arrays VT_ARRAY of their element's.
// IWbemClassObject::Put takes a property's value in that type, or VT_NULL
// (or no VARIANT), which sets it to null; any other type is refused with
// WBEM_E_TYPE_MISMATCH and the property keeps its value.
VARTYPE AutomationType(CIMTYPE type) {
    const VARTYPE array = (type & CIM_FLAG_ARRAY) ? VT_ARRAY : 0;
    switch (type & ~CIM_FLAG_ARRAY) {
    case CIM_SINT8:
    case CIM_SINT16: return array | VT_I2;
    case CIM_UINT8: return array | VT_UI1;
    case CIM_BOOLEAN: return array | VT_BOOL;
    case CIM_STRING: return array | VT_BSTR;
    default: return array | VT_I4;  // sint32, uint16, uint32: all the types declared here
    }
}

std::optional<DWORD> ChoiceNumber(const wchar_t* key, const std::wstring& name) {
    DWORD data = 0, size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name.c_str(), RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return data;
}
HRESULT Fault(const std::wstring& step) {
    return static_cast<HRESULT>(ChoiceNumber(stand_in::FaultsKey, step).value_or(S_OK));
}

// Whether the calling thread is in the multithreaded apartment: joining it
// again succeeds there (and is taken back), and fails in a single-threaded one.
bool InMultithreadedApartment() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return false;
    CoUninitialize();
    return true;
}

// One call's way to the service and back: LatencyMs milliseconds, during
// which the calling thread's messages are dispatched but for keyboard and
// mouse input, which stays queued in its order.  A WM_QUIT met meanwhile is
// posted again for the caller's own loop.  With StallMultithreaded, a call
// from the multithreaded apartment never comes back.
void CrossToTheService() {
    if (ChoiceNumber(stand_in::ChoicesKey, L"StallMultithreaded").value_or(0) && InMultithreadedApartment())
        Sleep(INFINITE);
    const DWORD latency = ChoiceNumber(stand_in::ChoicesKey, L"LatencyMs").value_or(0);
    // Every message number but the keyboard's and the mouse's.
    static constexpr UINT Ranges[][2] = {
        {0, WM_KEYFIRST - 1}, {WM_KEYLAST + 1, WM_MOUSEFIRST - 1}, {WM_MOUSELAST + 1, 0xFFFFFFFF}};
    std::optional<WPARAM> quit;
    const DWORD start = GetTickCount();
    for (DWORD passed = 0; passed < latency; passed = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, latency - passed,
                                  QS_SENDMESSAGE | QS_POSTMESSAGE | QS_TIMER | QS_PAINT);
        MSG message;
        for (const auto& range : Ranges)
            while (!quit && PeekMessageW(&message, nullptr, range[0], range[1], PM_REMOVE)) {
                if (message.message == WM_QUIT) {
                    quit = message.wParam;
                    break;
                }
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
    }
    if (quit) PostQuitMessage(static_cast<int>(*quit));
}

// An interface method that nothing here calls.
#define QUELVANE_UNSUPPORTED(method, ...) \
    HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { return Unsupported; }
// One of IWbemServices' calls and its asynchronous twin, which takes a sink
// in place of the result.
#define QUELVANE_UNSUPPORTED_WITH_ASYNC(method, target, result)       \
    QUELVANE_UNSUPPORTED(method, target, LONG, IWbemContext*, result) \
    QUELVANE_UNSUPPORTED(method##Async, target, LONG, IWbemContext*, IWbemObjectSink*)

template <typename Interface>
class Unknown : public Interface {
public:
    Unknown() = default;
    // A copy is a new object with a reference of its own.
    Unknown(const Unknown&) : Interface() {}
    virtual ~Unknown() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != __uuidof(Interface)) return E_NOINTERFACE;
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
};

struct Property {
    std::wstring name;
    CIMTYPE type;
    Value value;
};

class Object : public Unknown<IWbemClassObject> {
public:
    struct Method {
        std::wstring name;
        ComPtr<Object> in, out;
    };
    std::wstring className;
    bool isClass = true;
    std::vector<Property> properties;
    std::vector<Method> methods;

    Property* Find(LPCWSTR name) {
        if (!name) return nullptr;
        for (Property& property : properties)
            if (Lower(property.name) == Lower(name)) return &property;
        return nullptr;
    }
    const Method* FindMethod(LPCWSTR name) const {
        for (const Method& method : methods)
            if (name && Lower(method.name) == Lower(name)) return &method;
        return nullptr;
    }
    ComPtr<Object> Instance() const {
        ComPtr<Object> instance;
        instance.Attach(new Object(*this));
        instance->isClass = false;
        return instance;
    }
    void Set(LPCWSTR name, const Value& value) {
        if (Property* property = Find(name)) property->value = value;
    }

    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG, VARIANT* value, CIMTYPE* type, LONG* flavor) override {
        Property* property = Find(name);
        if (!property) return NotFound;
        if (const HRESULT fault = Fault(L"Get(" + property->name + L")"); FAILED(fault)) return fault;
        if (value && FAILED(VariantCopy(value, &property->value.v))) return E_OUTOFMEMORY;
        if (type) *type = property->type;
        if (flavor) *flavor = WBEM_FLAVOR_ORIGIN_LOCAL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, LONG, VARIANT* value, CIMTYPE) override {
        Property* property = Find(name);
        if (!property) return NotFound;
        if (const HRESULT fault = Fault(L"Put(" + property->name + L")"); FAILED(fault)) return fault;
        if (value && value->vt != VT_NULL && value->vt != AutomationType(property->type))
            return static_cast<HRESULT>(WBEM_E_TYPE_MISMATCH);
        if (value) return VariantCopy(&property->value.v, value);
        property->value = Value();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG, IWbemClassObject** instance) override {
        if (!instance) return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
        *instance = Instance().Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject** copy) override {
        if (!copy) return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
        *copy = new Object(*this);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR name, LONG, IWbemClassObject** in, IWbemClassObject** out) override {
        const Method* method = FindMethod(name);
        if (in) *in = nullptr;
        if (out) *out = nullptr;
        if (!method) return NotFound;
        if (const HRESULT fault = Fault(L"GetMethod(" + method->name + L")"); FAILED(fault)) return fault;
        if (in) *in = ComPtr<Object>(method->in).Detach();
        if (out) *out = ComPtr<Object>(method->out).Detach();
        return S_OK;
    }

    // Nothing here asks for these.
    QUELVANE_UNSUPPORTED(GetQualifierSet, IWbemQualifierSet**)
    QUELVANE_UNSUPPORTED(Delete, LPCWSTR)
    QUELVANE_UNSUPPORTED(GetNames, LPCWSTR, LONG, VARIANT*, SAFEARRAY**)
    QUELVANE_UNSUPPORTED(BeginEnumeration, LONG)
    QUELVANE_UNSUPPORTED(Next, LONG, BSTR*, VARIANT*, CIMTYPE*, LONG*)
    QUELVANE_UNSUPPORTED(EndEnumeration)
    QUELVANE_UNSUPPORTED(GetPropertyQualifierSet, LPCWSTR, IWbemQualifierSet**)
    QUELVANE_UNSUPPORTED(GetObjectText, LONG, BSTR*)
    QUELVANE_UNSUPPORTED(SpawnDerivedClass, LONG, IWbemClassObject**)
    QUELVANE_UNSUPPORTED(CompareTo, LONG, IWbemClassObject*)
    QUELVANE_UNSUPPORTED(GetPropertyOrigin, LPCWSTR, BSTR*)
    QUELVANE_UNSUPPORTED(InheritsFrom, LPCWSTR)
    QUELVANE_UNSUPPORTED(PutMethod, LPCWSTR, LONG, IWbemClassObject*, IWbemClassObject*)
    QUELVANE_UNSUPPORTED(DeleteMethod, LPCWSTR)
    QUELVANE_UNSUPPORTED(BeginMethodEnumeration, LONG)
    QUELVANE_UNSUPPORTED(NextMethod, LONG, BSTR*, IWbemClassObject**, IWbemClassObject**)
    QUELVANE_UNSUPPORTED(EndMethodEnumeration)
    QUELVANE_UNSUPPORTED(GetMethodQualifierSet, LPCWSTR, IWbemQualifierSet**)
    QUELVANE_UNSUPPORTED(GetMethodOrigin, LPCWSTR, BSTR*)

private:
    Object() = default;
    Object(const Object&) = default;
    friend ComPtr<Object> MakeObject(const std::wstring&, std::vector<Property>);
};

ComPtr<Object> MakeObject(const std::wstring& className, std::vector<Property> properties) {
    ComPtr<Object> object;
    object.Attach(new Object());
    object->className = className;
    object->properties = std::move(properties);
    object->properties.push_back({L"__CLASS", CIM_STRING, Text(className)});
    return object;
}

// The registry work of StdRegProv's methods.
struct Arguments {
    IWbemClassObject* in;
    std::wstring log;

    Value Read(const wchar_t* name) {
        Value value;
        if (in) in->Get(name, 0, &value.v, nullptr, nullptr);
        return value;
    }
    std::wstring Text(const wchar_t* name) {
        const Value value = Read(name);
        const std::wstring text = value.v.vt == VT_BSTR && value.v.bstrVal ? value.v.bstrVal : L"";
        log += std::wstring(log.empty() ? L"" : L", ") + name + L"=\"" + text + L"\"";
        return text;
    }
    DWORD Number(const wchar_t* name) {
        const Value value = Read(name);
        const DWORD number = value.v.vt == VT_I4 ? static_cast<DWORD>(value.v.lVal) : 0;
        log += std::wstring(log.empty() ? L"" : L", ") + name + L"=" + std::to_wstring(number);
        return number;
    }
    HKEY Root() {
        // Predefined roots are sign-extended handles on x86-64 as well.
        return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(Number(L"hDefKey"))));
    }
};

struct Opened {
    HKEY key = nullptr;
    LONG result;
    Opened(HKEY root, const std::wstring& path, REGSAM rights)
        : result(RegOpenKeyExW(root, path.c_str(), 0, rights, &key)) {}
    ~Opened() {
        if (key) RegCloseKey(key);
    }
};

DWORD ReadValue(Arguments& args, Object& out, DWORD wanted, const wchar_t* outName) {
    HKEY root = args.Root();
    const std::wstring key = args.Text(L"sSubKeyName"), name = args.Text(L"sValueName");
    Opened opened(root, key, KEY_QUERY_VALUE);
    if (opened.result != ERROR_SUCCESS) return opened.result;
    DWORD type = 0, size = 0;
    LONG result = RegQueryValueExW(opened.key, name.c_str(), nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    if (type != wanted) return static_cast<DWORD>(WBEM_E_TYPE_MISMATCH);
    std::vector<BYTE> data(size + sizeof(wchar_t));
    result = RegQueryValueExW(opened.key, name.c_str(), nullptr, &type, data.data(), &size);
    if (result != ERROR_SUCCESS) return result;
    out.Set(outName, wanted == REG_DWORD ? Number(*reinterpret_cast<DWORD*>(data.data()))
                                         : Text(reinterpret_cast<const wchar_t*>(data.data())));
    return ERROR_SUCCESS;
}
DWORD GetDWORDValue(Arguments& args, Object& out) { return ReadValue(args, out, REG_DWORD, L"uValue"); }
DWORD GetStringValue(Arguments& args, Object& out) { return ReadValue(args, out, REG_SZ, L"sValue"); }

DWORD WriteValue(Arguments& args, DWORD type) {
    HKEY root = args.Root();
    const std::wstring key = args.Text(L"sSubKeyName"), name = args.Text(L"sValueName");
    const std::wstring text = type == REG_SZ ? args.Text(L"sValue") : L"";
    const DWORD number = type == REG_DWORD ? args.Number(L"uValue") : 0;
    Opened opened(root, key, KEY_SET_VALUE);
    if (opened.result != ERROR_SUCCESS) return opened.result;
    if (type == REG_DWORD)
        return RegSetValueExW(opened.key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(&number), sizeof number);
    return RegSetValueExW(opened.key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
DWORD SetDWORDValue(Arguments& args, Object&) { return WriteValue(args, REG_DWORD); }
DWORD SetStringValue(Arguments& args, Object&) { return WriteValue(args, REG_SZ); }

// The subkeys' names, or the values' names and types.
DWORD List(Arguments& args, Object& out, bool values) {
    HKEY root = args.Root();
    Opened opened(root, args.Text(L"sSubKeyName"), values ? KEY_QUERY_VALUE : KEY_ENUMERATE_SUB_KEYS);
    if (opened.result != ERROR_SUCCESS) return opened.result;
    std::vector<std::wstring> names;
    std::vector<LONG> types;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD length = 16384, type = 0;
        const LONG result = values
                                ? RegEnumValueW(opened.key, index, name, &length, nullptr, &type, nullptr, nullptr)
                                : RegEnumKeyExW(opened.key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result != ERROR_SUCCESS) return result;
        names.emplace_back(name, length);
        types.push_back(static_cast<LONG>(type));
    }
    // "Returns null if only the default value is available": the default value
    // (the empty name) is listed beside others, alone it is no list.
    if (values && names.size() == 1 && names[0].empty()) names.clear(), types.clear();
    out.Set(L"sNames", MakeList<std::wstring>(VT_BSTR, names, [](const std::wstring& name, void* slot) {
                *static_cast<BSTR*>(slot) = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
            }));
    if (values)
        out.Set(L"Types",
                MakeList<LONG>(VT_I4, types, [](const LONG& type, void* slot) { *static_cast<LONG*>(slot) = type; }));
    return ERROR_SUCCESS;
}
DWORD EnumKey(Arguments& args, Object& out) { return List(args, out, false); }
DWORD EnumValues(Arguments& args, Object& out) { return List(args, out, true); }

DWORD CreateKey(Arguments& args, Object&) {
    HKEY root = args.Root(), created = nullptr;
    const std::wstring path = args.Text(L"sSubKeyName");
    // Directly under HKEY_USERS lie the loaded users' hives, which no key's
    // creation makes, though Wine's registry would: Microsoft's pages name no
    // answer, and the harsher reading refuses it.
    if (root == HKEY_USERS && Opened(root, path.substr(0, path.find(L'\\')), KEY_READ).result == ERROR_FILE_NOT_FOUND)
        return ERROR_ACCESS_DENIED;
    const LONG result = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &created, nullptr);
    if (created) RegCloseKey(created);
    return result;
}

// RegDeleteKeyW, like StdRegProv, refuses a key that has subkeys with 5.
DWORD DeleteKey(Arguments& args, Object&) { return RegDeleteKeyW(args.Root(), args.Text(L"sSubKeyName").c_str()); }

DWORD DeleteValue(Arguments& args, Object&) {
    HKEY root = args.Root();
    const std::wstring path = args.Text(L"sSubKeyName"), value = args.Text(L"sValueName");
    Opened opened(root, path, KEY_SET_VALUE);
    return opened.result != ERROR_SUCCESS ? opened.result : RegDeleteValueW(opened.key, value.c_str());
}

DWORD CheckAccess(Arguments& args, Object& out) {
    HKEY root = args.Root();
    const std::wstring path = args.Text(L"sSubKeyName");
    Opened opened(root, path, args.Number(L"uRequired"));
    if (opened.result == ERROR_SUCCESS) out.Set(L"bGranted", Flag(true));
    return opened.result;
}

bool ShutdownPrivilegeEnabled() {
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    PRIVILEGE_SET wanted{1, PRIVILEGE_SET_ALL_NECESSARY, {}};
    BOOL held = FALSE;
    const bool asked = LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &wanted.Privilege[0].Luid) &&
                       PrivilegeCheck(token, &wanted, &held);
    CloseHandle(token);
    return asked && held;
}

// Windows checks a method's privileges before its provider runs, against the
// caller's token, and COM may have taken that token at the process's first
// call and keep it ("Executing Privileged Operations Using C++": adjust the
// token before calling WMI).  The harsher reading: the token as it stood when
// the process first connected, whichever thread that was.
bool ShutdownPrivilegeAtFirstConnection() {
    static const bool held = ShutdownPrivilegeEnabled();
    return held;
}

DWORD Win32Shutdown(Arguments& args, Object&) {
    args.Number(L"Flags");
    args.Number(L"Reserved");
    return ChoiceNumber(stand_in::ChoicesKey, L"Win32Shutdown").value_or(0);
}

// One method: reads its arguments, sets its out-values on `out`, answers its
// ReturnValue (uint32 for all of them).
struct MethodDefinition {
    const wchar_t* name;
    std::vector<Property> in, out;  // out-parameters besides ReturnValue
    DWORD (*work)(Arguments& args, Object& out);
};

// Microsoft's MOF signatures, defaults included.
std::vector<MethodDefinition> RegistryMethods() {
    const Property root{L"hDefKey", CIM_UINT32, Number(0x80000002)};  // HKEY_LOCAL_MACHINE
    const Property key{L"sSubKeyName", CIM_STRING, {}}, name{L"sValueName", CIM_STRING, {}};
    const Property names{L"sNames", CIM_STRING | CIM_FLAG_ARRAY, {}};
    // clang-format off
    return {
        {L"CreateKey",      {root, key},       {},                                           CreateKey},
        {L"DeleteKey",      {root, key},       {},                                           DeleteKey},
        {L"EnumKey",        {root, key},       {names},                                      EnumKey},
        {L"EnumValues",     {root, key},       {names, {L"Types", CIM_SINT32 | CIM_FLAG_ARRAY, {}}}, EnumValues},
        {L"DeleteValue",    {root, key, name}, {},                                           DeleteValue},
        {L"GetDWORDValue",  {root, key, name}, {{L"uValue", CIM_UINT32, {}}},                GetDWORDValue},
        {L"GetStringValue", {root, key, name}, {{L"sValue", CIM_STRING, {}}},                GetStringValue},
        {L"SetDWORDValue",  {root, key, name, {L"uValue", CIM_UINT32, Number(3)}}, {},       SetDWORDValue},
        {L"SetStringValue", {root, key, name, {L"sValue", CIM_STRING, Text(L"hello")}}, {},  SetStringValue},
        {L"CheckAccess",    {root, key, {L"uRequired", CIM_UINT32, Number(3)}},
                            {{L"bGranted", CIM_BOOLEAN, {}}},                                CheckAccess},
    };
    // clang-format on
}

std::vector<MethodDefinition> OperatingSystemMethods() {
    return {{L"Win32Shutdown", {{L"Flags", CIM_SINT32, {}}, {L"Reserved", CIM_SINT32, Number(0)}}, {}, Win32Shutdown}};
}

struct ClassDefinition {
    ComPtr<Object> object;
    std::vector<MethodDefinition> methods;
};

ClassDefinition MakeClass(const std::wstring& name, std::vector<Property> properties,
                          std::vector<MethodDefinition> methods) {
    ClassDefinition definition{MakeObject(name, std::move(properties)), std::move(methods)};
    for (MethodDefinition& method : definition.methods) {
        std::vector<Property> out = method.out;
        out.insert(out.begin(), {L"ReturnValue", CIM_UINT32, {}});
        definition.object->methods.push_back(
            {method.name, MakeObject(L"__PARAMETERS", method.in), MakeObject(L"__PARAMETERS", std::move(out))});
    }
    return definition;
}

std::wstring SystemVersion() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExW(&info);
    return std::to_wstring(info.dwMajorVersion) + L"." + std::to_wstring(info.dwMinorVersion) + L"." +
           std::to_wstring(info.dwBuildNumber);
}

class Instances : public Unknown<IEnumWbemClassObject> {
public:
    explicit Instances(std::vector<ComPtr<Object>> objects) : objects_(std::move(objects)) {}

    HRESULT STDMETHODCALLTYPE Next(LONG, ULONG count, IWbemClassObject** objects, ULONG* returned) override {
        if (!objects || !returned) return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
        *returned = 0;
        CrossToTheService();
        if (const HRESULT fault = Fault(L"Next"); FAILED(fault)) return fault;
        while (*returned < count && next_ < objects_.size())
            objects[(*returned)++] = ComPtr<Object>(objects_[next_++]).Detach();
        return *returned == count ? S_OK : static_cast<HRESULT>(WBEM_S_FALSE);
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    QUELVANE_UNSUPPORTED(NextAsync, ULONG, IWbemObjectSink*)
    QUELVANE_UNSUPPORTED(Clone, IEnumWbemClassObject**)
    QUELVANE_UNSUPPORTED(Skip, LONG, ULONG)

private:
    std::vector<ComPtr<Object>> objects_;
    std::size_t next_ = 0;
};

void LogCall(const std::wstring& line) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), text.data(), size, nullptr, nullptr);
    text += "\n";
    const HANDLE file = CreateFileW(stand_in::CallLogPath().c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

class Services : public Unknown<IWbemServices> {
public:
    explicit Services(bool cimv2) : cimv2_(cimv2) {
        if (cimv2_)
            class_ = MakeClass(L"Win32_OperatingSystem", {{L"Version", CIM_STRING, {}}, {L"__PATH", CIM_STRING, {}}},
                               OperatingSystemMethods());
        else
            class_ = MakeClass(L"StdRegProv", {}, RegistryMethods());
    }

    HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG, IWbemContext*, IWbemClassObject** object,
                                        IWbemCallResult**) override {
        if (!object) return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
        *object = nullptr;
        CrossToTheService();
        if (const HRESULT fault = Fault(L"GetObject"); FAILED(fault)) return fault;
        if (!path || Lower(path) != Lower(class_.object->className)) return NotFound;
        *object = ComPtr<Object>(class_.object).Detach();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG, IWbemContext*,
                                        IEnumWbemClassObject** result) override {
        if (!result) return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
        *result = nullptr;
        CrossToTheService();
        if (const HRESULT fault = Fault(L"ExecQuery"); FAILED(fault)) return fault;
        if (!language || Lower(language) != L"wql") return static_cast<HRESULT>(WBEM_E_INVALID_QUERY_TYPE);
        if (!cimv2_ || !query || Lower(query) != L"select * from win32_operatingsystem")
            return static_cast<HRESULT>(WBEM_E_INVALID_QUERY);
        std::vector<ComPtr<Object>> instances;
        const DWORD count = ChoiceNumber(stand_in::ChoicesKey, L"Instances").value_or(1);
        for (DWORD i = 1; i <= count; ++i) {
            ComPtr<Object> instance = class_.object->Instance();
            instance->Set(L"__PATH", Text(L"\\\\QUELVANE\\root\\cimv2:Win32_OperatingSystem=@"));
            instance->Set(L"Version", Version(i));
            instances.push_back(instance);
        }
        *result = new Instances(std::move(instances));
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR path, const BSTR method, LONG, IWbemContext*, IWbemClassObject* in,
                                         IWbemClassObject** out, IWbemCallResult**) override {
        if (out) *out = nullptr;
        CrossToTheService();
        // "StdRegProv" for a static method, "...:Win32_OperatingSystem=@" for
        // one of an instance.
        std::wstring target = path ? path : L"";
        target = target.substr(target.find(L':') == std::wstring::npos ? 0 : target.find(L':') + 1);
        const std::size_t key = target.find_first_of(L".=");
        if (Lower(target.substr(0, key)) != Lower(class_.object->className))
            return static_cast<HRESULT>(WBEM_E_INVALID_CLASS);
        const Object::Method* signature = class_.object->FindMethod(method);
        if (!signature) return static_cast<HRESULT>(WBEM_E_INVALID_METHOD);
        if (cimv2_ == (key == std::wstring::npos)) return static_cast<HRESULT>(WBEM_E_INVALID_METHOD_PARAMETERS);
        if (!in) return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
        if (const HRESULT fault = Fault(signature->name); FAILED(fault)) return fault;
        if (signature->name == L"Win32Shutdown" && !ShutdownPrivilegeAtFirstConnection())
            return static_cast<HRESULT>(WBEM_E_PRIVILEGE_NOT_HELD);

        ComPtr<Object> results = signature->out->Instance();
        Arguments arguments{in, {}};
        for (const MethodDefinition& definition : class_.methods)
            if (definition.name == signature->name) {
                const DWORD returned = definition.work(arguments, *results.Get());
                results->Set(L"ReturnValue", Number(returned));
                LogCall(class_.object->className + L"." + definition.name + L"(" + arguments.log + L") = " +
                        std::to_wstring(returned));
            }
        if (out) *out = results.Detach();
        return S_OK;
    }

    // Nothing here asks for these.
    QUELVANE_UNSUPPORTED(OpenNamespace, const BSTR, LONG, IWbemContext*, IWbemServices**, IWbemCallResult**)
    QUELVANE_UNSUPPORTED(CancelAsyncCall, IWbemObjectSink*)
    QUELVANE_UNSUPPORTED(QueryObjectSink, LONG, IWbemObjectSink**)
    QUELVANE_UNSUPPORTED(GetObjectAsync, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    QUELVANE_UNSUPPORTED_WITH_ASYNC(PutClass, IWbemClassObject*, IWbemCallResult**)
    QUELVANE_UNSUPPORTED_WITH_ASYNC(DeleteClass, const BSTR, IWbemCallResult**)
    QUELVANE_UNSUPPORTED_WITH_ASYNC(CreateClassEnum, const BSTR, IEnumWbemClassObject**)
    QUELVANE_UNSUPPORTED_WITH_ASYNC(PutInstance, IWbemClassObject*, IWbemCallResult**)
    QUELVANE_UNSUPPORTED_WITH_ASYNC(DeleteInstance, const BSTR, IWbemCallResult**)
    QUELVANE_UNSUPPORTED_WITH_ASYNC(CreateInstanceEnum, const BSTR, IEnumWbemClassObject**)
    QUELVANE_UNSUPPORTED(ExecQueryAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    QUELVANE_UNSUPPORTED(ExecNotificationQuery, const BSTR, const BSTR, LONG, IWbemContext*, IEnumWbemClassObject**)
    QUELVANE_UNSUPPORTED(ExecNotificationQueryAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemObjectSink*)
    QUELVANE_UNSUPPORTED(ExecMethodAsync, const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                         IWbemObjectSink*)

private:
    static Value Version(DWORD instance) {
        const std::wstring name = L"Version" + std::to_wstring(instance);
        wchar_t text[256] = {};
        DWORD size = sizeof text, type = REG_NONE;
        const LONG found = RegGetValueW(HKEY_CURRENT_USER, stand_in::ChoicesKey, name.c_str(),
                                        RRF_RT_ANY | RRF_NOEXPAND, &type, text, &size);
        if (found != ERROR_SUCCESS) return Text(SystemVersion());
        return type == REG_SZ ? Text(text) : Value();
    }

    bool cimv2_;
    ClassDefinition class_;
};

class Locator : public Unknown<IWbemLocator> {
public:
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR, const BSTR, const BSTR, LONG, const BSTR,
                                            IWbemContext*, IWbemServices** services) override {
        if (!services) return static_cast<HRESULT>(WBEM_E_INVALID_PARAMETER);
        *services = nullptr;
        ShutdownPrivilegeAtFirstConnection();
        CrossToTheService();
        if (const HRESULT fault = Fault(L"ConnectServer"); FAILED(fault)) return fault;
        std::wstring name = Lower(resource ? resource : L"");
        for (const wchar_t* local : {L"\\\\.\\", L"//./"})
            if (name.rfind(local, 0) == 0) name = name.substr(4);
        if (name != L"root\\default" && name != L"root\\cimv2") return static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE);
        *services = new Services(name == L"root\\cimv2");
        return S_OK;
    }
};

class Factory : public Unknown<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        ComPtr<Locator> locator;
        locator.Attach(new Locator());
        return locator->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_WbemLocator) return CLASS_E_CLASSNOTAVAILABLE;
    ComPtr<Factory> factory;
    factory.Attach(new Factory());
    return factory->QueryInterface(iid, out);
}

// The stand-in stays loaded for as long as the process runs.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
