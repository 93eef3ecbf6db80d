// InitXp on the real file system: the manifest next to this test program.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "styles/win32/manifest_file_system_win32.h"

namespace {

std::wstring ManifestNextToThisProgram() {
    styles::ManifestFileSystemWin32 files;
    return styles::ManifestPath(files.RunningExecutable());
}

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

std::string Contents(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
    std::string bytes(65536, '\0');
    DWORD read = 0;
    BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok) return "<cannot read>";
    bytes.resize(read);
    return bytes;
}

void WriteFileWith(const std::wstring& path, const std::string& bytes, DWORD attributes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(file);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes));
}

FILETIME LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// The manifest lies in the build tree next to the test program: each test
// starts and ends without it.
class InitXpOnDisk : public ::testing::Test {
protected:
    const std::wstring manifest = ManifestNextToThisProgram();

    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }

    void Remove() {
        DWORD attributes = Attributes(manifest);
        if (attributes == INVALID_FILE_ATTRIBUTES) return;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveDirectoryW(manifest.c_str());
        } else {
            SetFileAttributesW(manifest.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(manifest.c_str());
        }
    }
};

}  // namespace

TEST_F(InitXpOnDisk, NamesTheManifestAfterThisProgramNextToIt) {
    wchar_t self[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(manifest, std::wstring(self, length) + L".manifest");
}

TEST_F(InitXpOnDisk, WritesTheTenLinesHiddenSystemReadOnlyAndStartsComctl32) {
    styles::InitXp();

    EXPECT_EQ(Contents(manifest), styles::ManifestText);
    EXPECT_EQ(Attributes(manifest), 0x27u);
    EXPECT_NE(GetModuleHandleW(L"comctl32.dll"), nullptr);
}

TEST_F(InitXpOnDisk, ASecondRunLeavesTheWrittenManifestAsItIs) {
    styles::InitXp();
    const FILETIME written = LastWrite(manifest);
    Sleep(20);
    styles::InitXp();

    EXPECT_EQ(Contents(manifest), styles::ManifestText);
    EXPECT_EQ(Attributes(manifest), 0x27u);
    const FILETIME after = LastWrite(manifest);
    EXPECT_EQ(CompareFileTime(&written, &after), 0);
}

TEST_F(InitXpOnDisk, LeavesAnExistingFileOfAnyContentAndAttributesAlone) {
    const DWORD cases[] = {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_READONLY,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};
    for (DWORD attributes : cases) {
        SCOPED_TRACE(attributes);
        Remove();
        WriteFileWith(manifest, "<broken", attributes);
        // Wine adds the archive bit to every file: compare with what is there.
        const DWORD before = Attributes(manifest);
        styles::InitXp();

        EXPECT_EQ(Contents(manifest), "<broken");
        EXPECT_EQ(Attributes(manifest), before);
    }
    Remove();
    WriteFileWith(manifest, "", FILE_ATTRIBUTE_ARCHIVE);
    styles::InitXp();
    EXPECT_EQ(Contents(manifest), "");
}

TEST_F(InitXpOnDisk, LeavesAFolderOfThatNameAFolderWithItsAttributes) {
    ASSERT_TRUE(CreateDirectoryW(manifest.c_str(), nullptr));
    const DWORD before = Attributes(manifest);
    styles::InitXp();

    EXPECT_EQ(Attributes(manifest), before);
    EXPECT_TRUE(Attributes(manifest) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_NE(GetModuleHandleW(L"comctl32.dll"), nullptr);
}

TEST(ManifestFileSystemWin32, SeesHiddenAndSystemFilesOnlyThroughTheMaskAndNeverAFolder) {
    styles::ManifestFileSystemWin32 files;
    const std::wstring folder = files.RunningExecutable().folder;
    const std::wstring hidden = folder + L"\\init_xp_hidden.tmp";
    WriteFileWith(hidden, "x", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(files.FileExists(hidden, styles::ManifestLookupMask));
    EXPECT_FALSE(files.FileExists(hidden, styles::AttributeReadOnly));
    EXPECT_FALSE(files.FileExists(folder, styles::ManifestLookupMask));
    EXPECT_FALSE(files.FileExists(folder + L"\\no such file.manifest", styles::ManifestLookupMask));
    EXPECT_FALSE(files.FileExists(folder + L"\\no such folder\\x.manifest", styles::ManifestLookupMask));

    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(hidden.c_str());
}
