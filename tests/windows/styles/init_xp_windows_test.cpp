// InitXp on the real file system: the manifest next to this test program.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <string_view>

#include "styles/win32/manifest_file_system_win32.h"

namespace {

// The processor this test program runs as, known from the compiler rather
// than from the header that picks the manifest.
#ifdef _WIN64
constexpr std::string_view OwnProcessor = "amd64";
#else
constexpr std::string_view OwnProcessor = "X86";
#endif

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

std::string Contents(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
    std::string bytes(65536, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes.substr(0, read);
}

FILETIME LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// Whether the activation context made from the manifest sends comctl32.dll to
// a side-by-side assembly: only when its Common-Controls dependency exists for
// the processor that it names.  (LoadLibrary would not show it once the plain
// comctl32 of another test is loaded.)
bool RedirectsCommonControls(const std::wstring& manifest) {
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.lpSource = manifest.c_str();
    HANDLE context = CreateActCtxW(&request);
    if (context == INVALID_HANDLE_VALUE) return false;
    bool redirected = false;
    ULONG_PTR cookie = 0;
    if (ActivateActCtx(context, &cookie)) {
        ACTCTX_SECTION_KEYED_DATA found{};
        found.cbSize = sizeof found;
        redirected = FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, L"comctl32.dll",
                                              &found) != FALSE;
        DeactivateActCtx(0, cookie);
    }
    ReleaseActCtx(context);
    return redirected;
}

// Each test starts and ends without a manifest next to the test program.
class InitXpOnDisk : public ::testing::Test {
protected:
    std::wstring manifest;

    void SetUp() override {
        wchar_t self[MAX_PATH];
        manifest = std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)) + L".manifest";
        Remove();
    }
    void TearDown() override { Remove(); }

    void Remove() {
        SetFileAttributesW(manifest.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(manifest.c_str())) RemoveDirectoryW(manifest.c_str());
    }

    void Plant(const std::string& bytes, DWORD attributes) {
        HANDLE file = CreateFileW(manifest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        ASSERT_TRUE(SetFileAttributesW(manifest.c_str(), attributes));
    }
};

}  // namespace

TEST_F(InitXpOnDisk, WritesTheManifestNamedAfterThisProgramHiddenSystemReadOnlyAndStartsComctl32) {
    styles::InitXp();

    EXPECT_EQ(Contents(manifest), styles::ManifestText);
    EXPECT_EQ(Attributes(manifest), 0x27u);
    EXPECT_NE(GetModuleHandleW(L"comctl32.dll"), nullptr);
}

TEST_F(InitXpOnDisk, TheWrittenManifestNamesThisProgramsProcessorInBothPlacesAndFindsItsCommonControls) {
    styles::InitXp();
    const std::string written = Contents(manifest);

    const std::string own = "processorArchitecture=\"" + std::string(OwnProcessor) + "\"";
    EXPECT_EQ(Occurrences(written, own), 2) << written;
    EXPECT_EQ(Occurrences(written, "processorArchitecture="), 2) << written;
    // A manifest that names another processor makes no context, or one
    // without the common controls 6.0 of this processor.
    EXPECT_TRUE(RedirectsCommonControls(manifest));
}

TEST_F(InitXpOnDisk, ASecondRunLeavesTheWrittenManifestAsItIs) {
    styles::InitXp();
    const FILETIME written = LastWrite(manifest);
    Sleep(20);
    styles::InitXp();

    const FILETIME after = LastWrite(manifest);
    EXPECT_EQ(CompareFileTime(&written, &after), 0);
    EXPECT_EQ(Contents(manifest), styles::ManifestText);
    EXPECT_EQ(Attributes(manifest), 0x27u);
}

TEST_F(InitXpOnDisk, LeavesAnExistingFileOfAnyContentAndAttributesAlone) {
    const DWORD cases[] = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_READONLY,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};
    for (DWORD attributes : cases) {
        Remove();
        Plant("<broken", attributes);
        // Wine adds the archive bit to every file: compare with what is there.
        const DWORD before = Attributes(manifest);
        styles::InitXp();

        EXPECT_EQ(Contents(manifest), "<broken") << attributes;
        EXPECT_EQ(Attributes(manifest), before) << attributes;
    }
}

TEST_F(InitXpOnDisk, LeavesAFolderOfThatNameAFolderWithItsAttributes) {
    ASSERT_TRUE(CreateDirectoryW(manifest.c_str(), nullptr));
    const DWORD before = Attributes(manifest);
    styles::InitXp();

    EXPECT_EQ(Attributes(manifest), before);
    EXPECT_TRUE(Attributes(manifest) & FILE_ATTRIBUTE_DIRECTORY);
}
