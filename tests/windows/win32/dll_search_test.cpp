#include "win32/dll_search.h"

#include <windows.h>

#include <gtest/gtest.h>

// Changes the DLL search of the whole test program, for good: the other cases
// name system DLLs by their full path or load nothing.
TEST(LimitDllSearch, KeepsTheLoaderFromADllBesideTheProgramAndNotFromTheSystemFolder) {
    // Found by its bare name before the call, so that the check after it can fail.
    const HMODULE before = LoadLibraryW(QUELVANE_BESIDE_PROBE);
    ASSERT_NE(before, nullptr) << "the probe DLL beside the test program was not built there";
    ASSERT_TRUE(FreeLibrary(before));
    ASSERT_EQ(GetModuleHandleW(QUELVANE_BESIDE_PROBE), nullptr);
    ASSERT_EQ(GetModuleHandleW(L"mpr.dll"), nullptr);

    // Wine has the call, as Windows 8 and later have.
    EXPECT_EQ(win32::LimitDllSearch(), win32::DllSearch::SystemFolderOnly);

    EXPECT_EQ(LoadLibraryW(QUELVANE_BESIDE_PROBE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(LoadLibraryW(L"mpr.dll"), nullptr);
}
