#include "win32/module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/failure.h"

TEST(ExecutablePath, IsThisProgramsWholePath) {
    std::vector<wchar_t> buffer(32768);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    ASSERT_GT(length, 0u);
    const std::wstring path = win32::ExecutablePath();
    EXPECT_EQ(path, std::wstring(buffer.data(), length));
    EXPECT_EQ(path.substr(path.size() - 14), L"win32_test.exe");
}

TEST(SystemProcedure, BindsAFunctionOfASystemLibraryByName) {
    auto* const infoSize =
        win32::SystemProcedure<decltype(GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
    ASSERT_NE(infoSize, nullptr);
    // The bound function works: this program has no version resource.
    DWORD ignored = 0;
    const std::wstring self = win32::ExecutablePath();
    EXPECT_EQ(infoSize(self.c_str(), &ignored), 0u);
    wchar_t system[MAX_PATH];
    const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_NE(GetModuleHandleW((std::wstring(system, systemLength) + L"\\version.dll").c_str()), nullptr);
}

TEST(SystemProcedure, RaisesForAMissingFunctionOrLibrary) {
    try {
        win32::SystemProcedureAddress(L"version.dll", "QuelvaneNoSuchFunction");
        FAIL() << "nothing was raised";
    } catch (const win32::PlatformFailure& failure) {
        EXPECT_EQ(failure.Result(), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
        EXPECT_EQ(failure.Operation(), L"GetProcAddress(version.dll, QuelvaneNoSuchFunction)");
    }
    EXPECT_THROW(win32::SystemProcedureAddress(L"quelvane-no-such-library.dll", "Anything"), win32::PlatformFailure);
}
