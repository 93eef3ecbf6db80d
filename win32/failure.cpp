#include "win32/failure.h"

#include <wbemcli.h>

#include <cstdio>
#include <iterator>

#include "text/utf.h"

namespace win32 {

namespace {

struct NamedCode {
    HRESULT code;
    const wchar_t* name;
};

#define QUELVANE_CODE(name) \
    { static_cast<HRESULT>(name), L## #name }
// The instrumentation service's own codes have no system message text.
const NamedCode WbemCodes[] = {
    QUELVANE_CODE(WBEM_E_FAILED),
    QUELVANE_CODE(WBEM_E_NOT_FOUND),
    QUELVANE_CODE(WBEM_E_ACCESS_DENIED),
    QUELVANE_CODE(WBEM_E_PROVIDER_FAILURE),
    QUELVANE_CODE(WBEM_E_TYPE_MISMATCH),
    QUELVANE_CODE(WBEM_E_OUT_OF_MEMORY),
    QUELVANE_CODE(WBEM_E_INVALID_CONTEXT),
    QUELVANE_CODE(WBEM_E_INVALID_PARAMETER),
    QUELVANE_CODE(WBEM_E_NOT_AVAILABLE),
    QUELVANE_CODE(WBEM_E_CRITICAL_ERROR),
    QUELVANE_CODE(WBEM_E_NOT_SUPPORTED),
    QUELVANE_CODE(WBEM_E_INVALID_NAMESPACE),
    QUELVANE_CODE(WBEM_E_INVALID_OBJECT),
    QUELVANE_CODE(WBEM_E_INVALID_CLASS),
    QUELVANE_CODE(WBEM_E_PROVIDER_NOT_FOUND),
    QUELVANE_CODE(WBEM_E_INVALID_PROVIDER_REGISTRATION),
    QUELVANE_CODE(WBEM_E_PROVIDER_LOAD_FAILURE),
    QUELVANE_CODE(WBEM_E_INITIALIZATION_FAILURE),
    QUELVANE_CODE(WBEM_E_TRANSPORT_FAILURE),
    QUELVANE_CODE(WBEM_E_INVALID_OPERATION),
    QUELVANE_CODE(WBEM_E_INVALID_QUERY),
    QUELVANE_CODE(WBEM_E_INVALID_QUERY_TYPE),
    QUELVANE_CODE(WBEM_E_ALREADY_EXISTS),
    QUELVANE_CODE(WBEM_E_UNEXPECTED),
    QUELVANE_CODE(WBEM_E_ILLEGAL_NULL),
    QUELVANE_CODE(WBEM_E_INVALID_PROPERTY),
    QUELVANE_CODE(WBEM_E_INVALID_METHOD),
    QUELVANE_CODE(WBEM_E_INVALID_METHOD_PARAMETERS),
    QUELVANE_CODE(WBEM_E_SHUTTING_DOWN),
    QUELVANE_CODE(WBEM_E_SERVER_TOO_BUSY),
};
#undef QUELVANE_CODE

std::wstring SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text;
}

std::wstring WithCode(DWORD code, const std::wstring& text) {
    wchar_t number[16];
    std::swprintf(number, std::size(number), L"0x%08lX", static_cast<unsigned long>(code));
    return text.empty() ? std::wstring(number) : std::wstring(number) + L" " + text;
}

}  // namespace

PlatformFailure::PlatformFailure(const std::wstring& operation, HRESULT result)
    : std::runtime_error(text::ToUtf8(operation + L" failed: " + HresultText(result))),
      operation_(operation),
      result_(result) {}

void FailWithLastError(const std::wstring& operation) {
    throw PlatformFailure(operation, HRESULT_FROM_WIN32(GetLastError()));
}

void Check(HRESULT result, const std::wstring& operation) {
    if (FAILED(result)) throw PlatformFailure(operation, result);
}

std::wstring HresultText(HRESULT hr) {
    for (const auto& known : WbemCodes)
        if (known.code == hr) return WithCode(static_cast<DWORD>(hr), known.name);
    return WithCode(static_cast<DWORD>(hr), SystemText(static_cast<DWORD>(hr)));
}

std::wstring Win32ErrorText(LONG error) {
    return WithCode(static_cast<DWORD>(error), SystemText(static_cast<DWORD>(error)));
}

}  // namespace win32
