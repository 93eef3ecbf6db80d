#include "win32/scoped.h"

#include <gtest/gtest.h>

#include <utility>

#include "tests/support/win32/com.h"

namespace {

const std::wstring TestKey = L"Software\\Quelvane Win32 Test";

// Whether the handle still names an open object of this process.
bool IsOpenHandle(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

class RegistryKeyOwner : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteKeyW(HKEY_CURRENT_USER, TestKey.c_str()); }
    void TearDown() override { RegDeleteKeyW(HKEY_CURRENT_USER, TestKey.c_str()); }
};

}  // namespace

TEST(HandleOwner, ClosesItsHandleWhenItGoes) {
    HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    {
        const win32::Handle event(raw);
        EXPECT_TRUE(IsOpenHandle(raw));
    }
    EXPECT_FALSE(IsOpenHandle(raw));
}

TEST(HandleOwner, AMoveHandsTheHandleOnAndOnlyTheNewOwnerClosesIt) {
    win32::Handle first(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE raw = first.Get();
    win32::Handle second(std::move(first));
    EXPECT_FALSE(first.IsValid());
    first.Reset();
    EXPECT_TRUE(IsOpenHandle(raw));
    EXPECT_TRUE(second.Close());
    EXPECT_FALSE(IsOpenHandle(raw));
    EXPECT_FALSE(second.IsValid());
}

TEST(HandleOwner, TakesCreateFilesFailureValueForNoHandle) {
    win32::Handle file(
        CreateFileW(L"Z:\\quelvane\\no such folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(file.Get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(file.IsValid());
    EXPECT_FALSE(file.Close());
}

TEST_F(RegistryKeyOwner, CreatesAKeyThatThenOpensAndClosesItWhenItGoes) {
    HKEY raw = nullptr;
    {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TestKey.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                  &raw, nullptr),
                  ERROR_SUCCESS);
        const win32::RegistryKey created(raw);
        EXPECT_TRUE(created.IsOpen());
        DWORD subkeys = 99;
        EXPECT_EQ(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(subkeys, 0u);
    }
    // The handle is closed: the registry no longer takes it.
    EXPECT_NE(RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    win32::RegistryKey opened;
    EXPECT_EQ(win32::OpenRegistryKey(HKEY_CURRENT_USER, TestKey, KEY_READ, opened), ERROR_SUCCESS);
    EXPECT_TRUE(opened.IsOpen());
}

TEST_F(RegistryKeyOwner, AKeyThatDoesNotOpenLeavesTheOwnerEmptyAndSaysWhy) {
    HKEY raw = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TestKey.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &raw, nullptr),
              ERROR_SUCCESS);
    win32::RegistryKey key(raw);
    EXPECT_EQ(win32::OpenRegistryKey(HKEY_CURRENT_USER, TestKey + L"\\Missing", KEY_READ, key), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.IsOpen());
}

TEST(ComOwners, ABstrHoldsTheWholeTextEmbeddedNullsIncluded) {
    const std::wstring text(L"a\0b", 3);
    const win32::Bstr bstr(text);
    ASSERT_NE(bstr.Get(), nullptr);
    EXPECT_EQ(std::wstring(bstr.Get(), SysStringLen(bstr.Get())), text);
    // Even the empty text is a real BSTR, never the null that stands for none.
    EXPECT_NE(win32::Bstr(L"").Get(), nullptr);
}

TEST(ComOwners, AVariantIsEmptiedBeforeACallFillsIt) {
    win32::Variant value;
    value.Get()->vt = VT_BSTR;
    value.Get()->bstrVal = SysAllocString(L"old");
    VARIANT* out = value.Out();
    EXPECT_EQ(out->vt, VT_EMPTY);
}

TEST(ComOwners, TheApartmentJoinsTheThreadAndLeavesItAgain) {
    {
        const com::Apartment apartment;
        // Joined: a second join of the same kind is only counted.
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
        CoUninitialize();
    }
    // Left: the thread joins anew.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
}

TEST(GdiOwners, TheScreenDcReportsTheScreensResolution) {
    const win32::ScreenDc screen;
    ASSERT_NE(screen.Get(), nullptr);
    EXPECT_GT(GetDeviceCaps(screen.Get(), LOGPIXELSX), 0);
}

TEST(GdiOwners, AFontOwnerDeletesTheFont) {
    LOGFONTW description{};
    description.lfHeight = -11;
    HFONT raw = CreateFontIndirectW(&description);
    ASSERT_NE(raw, nullptr);
    { const win32::UniqueFont font(raw); }
    EXPECT_EQ(GetObjectType(raw), 0u);
}
