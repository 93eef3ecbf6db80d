// Windows only: a platform call that failed, as one exception type, and the
// texts of the platform's failure codes.
//
//   if (!RegisterClassExW(&windowClass)) win32::FailWithLastError(L"RegisterClassExW");
//   win32::Check(locator->ConnectServer(...), L"IWbemLocator::ConnectServer");
//   catch (const win32::PlatformFailure& failure) { failure.Operation(); failure.Result(); }
//   std::wstring why = win32::HresultText(hr);   // "0x80041002 WBEM_E_NOT_FOUND"
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace win32 {

// Which call failed and its HRESULT (a Win32 error as HRESULT_FROM_WIN32);
// what() says both, with the system's text for the code, in UTF-8.
class PlatformFailure : public std::runtime_error {
public:
    PlatformFailure(const std::wstring& operation, HRESULT result);
    const std::wstring& Operation() const { return operation_; }
    HRESULT Result() const { return result_; }

private:
    std::wstring operation_;
    HRESULT result_;
};

// Raises PlatformFailure with the calling thread's last error.
[[noreturn]] void FailWithLastError(const std::wstring& operation);
// Raises PlatformFailure when the result is a failure.
void Check(HRESULT result, const std::wstring& operation);

// "0x8004100E WBEM_E_INVALID_NAMESPACE", "0x80070005 Access is denied." or the
// bare number when the system has no text for it.
std::wstring HresultText(HRESULT hr);
// The system's text for a Win32 error code, with the code in front.
std::wstring Win32ErrorText(LONG error);

}  // namespace win32
