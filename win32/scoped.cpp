#include "win32/scoped.h"

#include <objbase.h>

#include <new>

namespace win32 {

namespace {

void InitializeSecurityOnce() {
    // Process-wide and allowed only once, before the first marshalled call.  A
    // host that set its own security first gets RPC_E_TOO_LATE here, and then
    // its settings stand; every WMI connection still sets its own proxy
    // blanket (win32/wmi_connection.h).
    static const HRESULT result = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                                       RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
    (void)result;
}

}  // namespace

ComApartment::ComApartment() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: the thread had its apartment already and it is counted once more.
    // RPC_E_CHANGED_MODE: the thread lives in the multithreaded apartment, which
    // serves as well; it is not ours to leave then.
    mustUninitialize_ = SUCCEEDED(hr);
    if (SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE) InitializeSecurityOnce();
}

ComApartment::~ComApartment() {
    if (mustUninitialize_) CoUninitialize();
}

Bstr::Bstr(const std::wstring& text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    // A null BSTR would pass for an empty string: never hand one on in its place.
    if (!text_) throw std::bad_alloc();
}

}  // namespace win32
