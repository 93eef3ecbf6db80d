// Small owners for COM resources and the texts of failure codes, shared by the
// WMI registry provider and the version probe.  Windows only.
//
//   ComApartment apartment;            // before any COM call on this thread
//   Bstr name(L"StdRegProv");          // freed at the end of the scope
//   Variant value;                     // cleared at the end of the scope
//   object->Get(L"sValue", 0, value.Out(), nullptr, nullptr);
//   std::wstring why = HresultText(hr);  // "0x80041002 WBEM_E_NOT_FOUND"
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace registry::win32 {

// Joins the calling thread to a single-threaded apartment for the owner's
// lifetime (or keeps the apartment that the thread already has), and sets the
// process's COM security once, where it is not too late for that.  Create and
// destroy it on the same thread.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool mustUninitialize_ = false;
};

class Bstr {
public:
    explicit Bstr(const std::wstring& text);
    ~Bstr();
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const { return text_; }

private:
    BSTR text_;
};

class Variant {
public:
    Variant();
    ~Variant();
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    // Empties the variant and hands it to a call that fills it.
    VARIANT* Out();
    void Clear();
    VARIANT* Get() { return &value_; }
    const VARIANT& operator*() const { return value_; }
    const VARIANT* operator->() const { return &value_; }

private:
    VARIANT value_;
};

// "0x8004100E WBEM_E_INVALID_NAMESPACE", "0x80070005 Access is denied." or the
// bare number when the system has no text for it.
std::wstring HresultText(HRESULT hr);
// The system's text for a Win32 error code, with the code in front.
std::wstring Win32ErrorText(LONG error);

}  // namespace registry::win32
