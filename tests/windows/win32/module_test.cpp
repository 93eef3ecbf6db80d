#include "win32/module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(ExecutablePath, IsThisProgramsWholePath) {
    std::vector<wchar_t> buffer(32768);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    ASSERT_GT(length, 0u);
    const std::wstring path = win32::ExecutablePath();
    EXPECT_EQ(path, std::wstring(buffer.data(), length));
    EXPECT_EQ(path.substr(path.size() - 14), L"win32_test.exe");
}
