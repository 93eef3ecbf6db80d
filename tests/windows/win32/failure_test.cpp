#include "win32/failure.h"

#include <gtest/gtest.h>
#include <wbemcli.h>

#include <string>

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(PlatformFailure, FailWithLastErrorCarriesTheOperationAndTheThreadsLastError) {
    SetLastError(ERROR_ACCESS_DENIED);
    try {
        win32::FailWithLastError(L"RegisterClassExW");
        FAIL() << "nothing was raised";
    } catch (const win32::PlatformFailure& failure) {
        EXPECT_EQ(failure.Operation(), L"RegisterClassExW");
        EXPECT_EQ(failure.Result(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
        EXPECT_TRUE(Contains(failure.what(), "RegisterClassExW failed: 0x80070005")) << failure.what();
    }
}

TEST(PlatformFailure, CheckRaisesOnlyForAFailedResult) {
    EXPECT_NO_THROW(win32::Check(S_OK, L"CoInitializeEx"));
    EXPECT_NO_THROW(win32::Check(S_FALSE, L"CoInitializeEx"));
    try {
        win32::Check(static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE), L"IWbemLocator::ConnectServer(root\\x)");
        FAIL() << "nothing was raised";
    } catch (const win32::PlatformFailure& failure) {
        EXPECT_EQ(failure.Result(), static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE));
        EXPECT_TRUE(Contains(failure.what(), "ConnectServer(root\\x) failed: 0x8004100E WBEM_E_INVALID_NAMESPACE"))
            << failure.what();
    }
}

TEST(FailureTexts, NameTheServicesOwnCodesAndGiveTheSystemsTextForOthers) {
    EXPECT_EQ(win32::HresultText(static_cast<HRESULT>(WBEM_E_NOT_FOUND)), L"0x80041002 WBEM_E_NOT_FOUND");
    const std::wstring denied = win32::Win32ErrorText(ERROR_ACCESS_DENIED);
    EXPECT_EQ(denied.rfind(L"0x00000005 ", 0), 0u);
    EXPECT_GT(denied.size(), 11u);  // the system's words follow the number
    EXPECT_NE(denied.back(), L'\n');
}
