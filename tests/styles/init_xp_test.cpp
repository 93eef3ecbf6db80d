#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "registry/registry_provider.h"
#include "styles/init_xp.h"

using styles::ExecutableLocation;
using styles::FileSystemFailure;
using styles::ManifestPath;
using styles::SplitExecutablePath;

namespace {

// A disk of a few files and folders that records every operation asked of it
// and can make any one of them fail.
class FakeFileSystem : public styles::ManifestFileSystem {
public:
    enum class Step { RunningExecutable, FileExists, CreateForOutput, Write, Close, SetAttributes, InitCommonControls };

    struct File {
        std::string bytes;
        std::uint32_t attributes = 0;
    };

    ExecutableLocation executable{L"C:\\Program Files\\Quelvane", L"Quelvane 2"};
    std::map<std::wstring, File> files;
    std::set<std::wstring> folders;
    std::set<Step> failing;
    std::vector<std::string> calls;

    ExecutableLocation RunningExecutable() override {
        Record(Step::RunningExecutable, "RunningExecutable");
        return executable;
    }

    bool FileExists(const std::wstring& path, std::uint32_t attributeMask) override {
        Record(Step::FileExists, "FileExists " + registry::ToUtf8(path) + " mask " + std::to_string(attributeMask));
        return files.contains(path);
    }

    std::unique_ptr<styles::OutputFile> CreateForOutput(const std::wstring& path) override {
        Record(Step::CreateForOutput, "CreateForOutput " + registry::ToUtf8(path));
        if (folders.contains(path)) throw FileSystemFailure("a folder has that name");
        files[path] = File{};
        return std::make_unique<Output>(*this, files[path]);
    }

    void SetAttributes(const std::wstring& path, std::uint32_t attributes) override {
        Record(Step::SetAttributes, "SetAttributes " + registry::ToUtf8(path) + " " + std::to_string(attributes));
        files.at(path).attributes = attributes;
    }

    void InitCommonControls() override { Record(Step::InitCommonControls, "InitCommonControls"); }

private:
    class Output : public styles::OutputFile {
    public:
        Output(FakeFileSystem& owner, File& file) : owner_(owner), file_(file) {}
        void Write(std::string_view bytes) override {
            owner_.Record(Step::Write, "Write " + std::to_string(bytes.size()));
            file_.bytes += bytes;
        }
        void Close() override { owner_.Record(Step::Close, "Close"); }

    private:
        FakeFileSystem& owner_;
        File& file_;
    };

    void Record(Step step, std::string call) {
        calls.push_back(std::move(call));
        if (failing.contains(step)) throw FileSystemFailure("failed on purpose: " + calls.back());
    }
};

const std::wstring QuelvaneManifest = L"C:\\Program Files\\Quelvane\\Quelvane 2.exe.manifest";
const std::string QuelvaneManifestUtf8 = registry::ToUtf8(QuelvaneManifest);

}  // namespace

TEST(ManifestPath, FollowsTheExecutablesFolderAndBaseName) {
    EXPECT_EQ(ManifestPath({L"C:\\Tools", L"Quelvane 2"}), L"C:\\Tools\\Quelvane 2.exe.manifest");
    EXPECT_EQ(ManifestPath({L"\\\\server\\share", L"q"}), L"\\\\server\\share\\q.exe.manifest");
}

TEST(ManifestPath, HasASingleBackslashInADrivesRootFolder) {
    EXPECT_EQ(ManifestPath({L"C:\\", L"Quelvane 2"}), L"C:\\Quelvane 2.exe.manifest");
    EXPECT_EQ(ManifestPath(SplitExecutablePath(L"C:\\Quelvane 2.exe")), L"C:\\Quelvane 2.exe.manifest");
}

TEST(ManifestPath, AddsOnlyDotManifestWhenTheBaseNameEndsInExeInAnyCase) {
    EXPECT_EQ(ManifestPath({L"D:\\a", L"q.exe"}), L"D:\\a\\q.exe.manifest");
    EXPECT_EQ(ManifestPath({L"D:\\a", L"q.EXE"}), L"D:\\a\\q.EXE.manifest");
    EXPECT_EQ(ManifestPath({L"D:\\a", L"q.eXe"}), L"D:\\a\\q.eXe.manifest");
    EXPECT_EQ(ManifestPath(SplitExecutablePath(L"D:\\a\\q.Exe.exe")), L"D:\\a\\q.Exe.manifest");
    // Almost ".exe" is not ".exe".
    EXPECT_EQ(ManifestPath({L"D:\\a", L"qexe"}), L"D:\\a\\qexe.exe.manifest");
    EXPECT_EQ(ManifestPath({L"D:\\a", L"q.ex"}), L"D:\\a\\q.ex.exe.manifest");
}

TEST(ManifestPath, NamesTheManifestAfterTheBaseNameForOtherExtensionsAndNone) {
    EXPECT_EQ(ManifestPath(SplitExecutablePath(L"D:\\a\\quelvane.scr")), L"D:\\a\\quelvane.exe.manifest");
    EXPECT_EQ(ManifestPath(SplitExecutablePath(L"D:\\a\\quelvane")), L"D:\\a\\quelvane.exe.manifest");
    EXPECT_EQ(ManifestPath(SplitExecutablePath(L"D:\\v1.2\\quelvane")), L"D:\\v1.2\\quelvane.exe.manifest");
}

TEST(ManifestText, IsTheTenLinesWithTheirIndentationAndCrLfAfterAllButTheLast) {
    const std::vector<std::pair<int, std::string>> lines = {
        {0, R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"},
        {0, R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)"},
        {5, R"(<assemblyIdentity version="1.0.0.0" processorArchitecture="X86" name="app" type="win32" />)"},
        {5, R"(<description>Gaya XP GW Githu Loh.. (by Brisolt)</description>)"},
        {5, R"(<dependency>)"},
        {10, R"(<dependentAssembly>)"},
        {15, R"(<assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" )"
             R"(processorArchitecture="X86" publicKeyToken="6595b64144ccf1df" language="*" />)"},
        {10, R"(</dependentAssembly>)"},
        {5, R"(</dependency>)"},
        {0, R"(</assembly>)"},
    };
    std::string expected;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        expected += std::string(lines[i].first, ' ') + lines[i].second;
        if (i + 1 < lines.size()) expected += "\r\n";
    }
    EXPECT_EQ(styles::ManifestText, expected);
}

TEST(InitXp, WritesAMissingManifestInOnePieceMarksItAndThenStartsTheCommonControls) {
    FakeFileSystem disk;
    styles::InitXp(disk);

    ASSERT_TRUE(disk.files.contains(QuelvaneManifest));
    EXPECT_EQ(disk.files[QuelvaneManifest].bytes, styles::ManifestText);
    EXPECT_EQ(disk.files[QuelvaneManifest].attributes, 0x27u);
    EXPECT_EQ(disk.calls, (std::vector<std::string>{
                              "RunningExecutable",
                              "FileExists " + QuelvaneManifestUtf8 + " mask 7",
                              "CreateForOutput " + QuelvaneManifestUtf8,
                              "Write " + std::to_string(styles::ManifestText.size()),
                              "Close",
                              "SetAttributes " + QuelvaneManifestUtf8 + " 39",
                              "InitCommonControls",
                          }));
}

TEST(InitXp, LeavesAnExistingManifestOfAnyContentAndAttributesAlone) {
    for (std::uint32_t attributes : {0x00u, 0x01u, 0x02u, 0x04u, 0x27u}) {
        FakeFileSystem disk;
        disk.files[QuelvaneManifest] = {"not a manifest at all", attributes};
        styles::InitXp(disk);

        EXPECT_EQ(disk.files[QuelvaneManifest].bytes, "not a manifest at all");
        EXPECT_EQ(disk.files[QuelvaneManifest].attributes, attributes);
        EXPECT_EQ(disk.calls.back(), "InitCommonControls");
        EXPECT_EQ(disk.calls.size(), 3u) << "only the location, the look-up and the common controls";
    }
}

TEST(InitXp, WritesNothingWhenTheExecutableOrTheLookUpCannotBeLearnt) {
    for (auto step : {FakeFileSystem::Step::RunningExecutable, FakeFileSystem::Step::FileExists}) {
        FakeFileSystem disk;
        disk.failing = {step};
        styles::InitXp(disk);

        EXPECT_TRUE(disk.files.empty());
        EXPECT_EQ(disk.calls.back(), "InitCommonControls");
    }
}

TEST(InitXp, LeavesAFolderWithTheManifestsNameUntouchedAndStillStartsTheControls) {
    FakeFileSystem disk;
    disk.folders.insert(QuelvaneManifest);
    styles::InitXp(disk);

    EXPECT_TRUE(disk.files.empty());
    EXPECT_EQ(disk.calls, (std::vector<std::string>{"RunningExecutable",
                                                    "FileExists " + QuelvaneManifestUtf8 + " mask 7",
                                                    "CreateForOutput " + QuelvaneManifestUtf8, "InitCommonControls"}));
}

TEST(InitXp, SkipsOnlyTheStepThatFailsAfterTheFileWasCreated) {
    using Step = FakeFileSystem::Step;
    for (auto step : {Step::Write, Step::Close, Step::SetAttributes}) {
        FakeFileSystem disk;
        disk.failing = {step};
        styles::InitXp(disk);

        EXPECT_EQ(disk.calls.size(), 7u) << "every later step still runs";
        EXPECT_EQ(disk.calls.back(), "InitCommonControls");
        EXPECT_EQ(disk.files[QuelvaneManifest].attributes, step == Step::SetAttributes ? 0u : 0x27u);
    }
}

TEST(InitXp, KeepsAFailureOfTheCommonControlsToItself) {
    FakeFileSystem disk;
    disk.failing = {FakeFileSystem::Step::InitCommonControls};
    EXPECT_NO_THROW(styles::InitXp(disk));
    EXPECT_EQ(disk.files[QuelvaneManifest].bytes, styles::ManifestText);
}
