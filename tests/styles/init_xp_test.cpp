#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "styles/init_xp.h"
#include "text/utf.h"

using Calls = std::vector<std::string>;

namespace {

// A disk, with the common controls beside it, that records every operation
// asked of either in one sequence, and fails those whose name is in `failing`.
class FakeDisk : public styles::ManifestFileSystem, public styles::CommonControls {
public:
    std::map<std::wstring, std::pair<std::string, std::uint32_t>> files;  // bytes, attributes
    std::set<std::string> failing;
    Calls calls;

    styles::ExecutableLocation RunningExecutable() override {
        Do("RunningExecutable");
        return {L"C:\\Quelvane", L"Quelvane 2"};
    }
    bool FileExists(const std::wstring& path, std::uint32_t attributeMask) override {
        Do("FileExists", " mask " + std::to_string(attributeMask));
        return files.contains(path);
    }
    std::unique_ptr<styles::OutputFile> CreateForOutput(const std::wstring& path) override {
        Do("CreateForOutput");
        return std::make_unique<Output>(*this, files[path].first);
    }
    void SetAttributes(const std::wstring& path, std::uint32_t attributes) override {
        Do("SetAttributes", " " + std::to_string(attributes));
        files.at(path).second = attributes;
    }
    void Initialize() override { Do("InitCommonControls"); }

private:
    struct Output : styles::OutputFile {
        Output(FakeDisk& disk, std::string& bytes) : disk(disk), bytes(bytes) {}
        void Write(std::string_view text) override {
            disk.Do("Write");
            bytes += text;
        }
        void Close() override { disk.Do("Close"); }
        FakeDisk& disk;
        std::string& bytes;
    };

    void Do(const std::string& operation, const std::string& details = "") {
        calls.push_back(operation + details);
        if (failing.contains(operation)) throw styles::FileSystemFailure(operation + " failed on purpose");
    }
};

const std::wstring Manifest = L"C:\\Quelvane\\Quelvane 2.exe.manifest";
const Calls FullRun = {"RunningExecutable", "FileExists mask 7", "CreateForOutput", "Write", "Close",
                       "SetAttributes 39",  "InitCommonControls"};

}  // namespace

TEST(ManifestPath, IsTheExecutablesBaseNameNextToItWithOneExeBeforeManifest) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Tools\\Quelvane 2.exe", L"C:\\Tools\\Quelvane 2.exe.manifest"},
        {L"C:\\Quelvane 2.exe", L"C:\\Quelvane 2.exe.manifest"},  // a root folder keeps its one backslash
        {L"D:\\a\\quelvane", L"D:\\a\\quelvane.exe.manifest"},
        {L"D:\\a\\quelvane.scr", L"D:\\a\\quelvane.exe.manifest"},
        {L"D:\\v1.2\\quelvane", L"D:\\v1.2\\quelvane.exe.manifest"},
        {L"D:\\a\\q.exe.exe", L"D:\\a\\q.exe.manifest"},
        {L"D:\\a\\q.EXE.scr", L"D:\\a\\q.EXE.manifest"},
        {L"D:\\a\\q.eXe.exe", L"D:\\a\\q.eXe.manifest"},
        {L"D:\\a\\qexe.exe", L"D:\\a\\qexe.exe.manifest"},
        {L"D:\\a\\q.ex.exe", L"D:\\a\\q.ex.exe.manifest"},
        {L"\\\\server\\share\\q.exe", L"\\\\server\\share\\q.exe.manifest"},
    };
    for (auto [executable, manifest] : cases)
        EXPECT_EQ(styles::ManifestPath(styles::SplitExecutablePath(executable)), manifest) << text::ToUtf8(executable);
}

namespace {

// The manifest's ten lines with their indentation and CR LF after all but the
// last, naming `architecture` in both assemblyIdentity elements.
std::string ExpectedManifest(const std::string& architecture) {
    const std::pair<int, std::string> lines[] = {
        {0, R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"},
        {0, R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)"},
        {5, R"(<assemblyIdentity version="1.0.0.0" processorArchitecture=")" + architecture +
                R"(" name="app" type="win32" />)"},
        {5, R"(<description>Gaya XP GW Githu Loh.. (by Brisolt)</description>)"},
        {5, R"(<dependency>)"},
        {10, R"(<dependentAssembly>)"},
        {15, R"(<assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" )"
             R"(processorArchitecture=")" +
                 architecture + R"(" publicKeyToken="6595b64144ccf1df" language="*" />)"},
        {10, R"(</dependentAssembly>)"},
        {5, R"(</dependency>)"},
        {0, R"(</assembly>)"},
    };
    std::string expected;
    for (const auto& [spaces, text] : lines) {
        if (!expected.empty()) expected += "\r\n";
        expected += std::string(spaces, ' ') + text;
    }
    return expected;
}

}  // namespace

TEST(ManifestText, IsTheTenLinesWithTheirIndentationAndCrLfAfterAllButTheLastForEitherProcessor) {
    EXPECT_EQ(styles::ManifestTextX86, ExpectedManifest("X86"));
    EXPECT_EQ(styles::ManifestTextAmd64, ExpectedManifest("amd64"));
    EXPECT_EQ(styles::ManifestTextFor(styles::ManifestArchitecture::X86), styles::ManifestTextX86);
    EXPECT_EQ(styles::ManifestTextFor(styles::ManifestArchitecture::Amd64), styles::ManifestTextAmd64);
}

TEST(ManifestText, OfThisBuildNamesTheProcessorOfItsProgram) {
#if defined(_WIN64)
    EXPECT_EQ(styles::ManifestText, styles::ManifestTextAmd64);  // the x86-64 Windows build
#else
    // The i686 program, and the native build, which runs the same bytes through InitXp.
    EXPECT_EQ(styles::ManifestText, styles::ManifestTextX86);
#endif
}

TEST(InitXp, WritesAMissingManifestInOneWriteMarksItAndThenStartsTheCommonControls) {
    FakeDisk disk;
    styles::InitXp(disk, disk);

    EXPECT_EQ(disk.calls, FullRun);
    EXPECT_EQ(disk.files[Manifest], std::pair(std::string(styles::ManifestText), 0x27u));
}

TEST(InitXp, LeavesAnExistingManifestAloneAndStillStartsTheCommonControls) {
    FakeDisk disk;
    disk.files[Manifest] = {"not a manifest", 0x06};
    styles::InitXp(disk, disk);

    EXPECT_EQ(disk.calls, (Calls{"RunningExecutable", "FileExists mask 7", "InitCommonControls"}));
    EXPECT_EQ(disk.files[Manifest], std::pair(std::string("not a manifest"), 0x06u));
}

TEST(InitXp, WritesNothingWhenTheExecutableOrTheLookUpCannotBeLearnt) {
    for (const char* step : {"RunningExecutable", "FileExists"}) {
        FakeDisk disk;
        disk.failing = {step};
        styles::InitXp(disk, disk);

        EXPECT_TRUE(disk.files.empty()) << step;
        EXPECT_EQ(disk.calls.back(), "InitCommonControls") << step;
    }
}

TEST(InitXp, MarksNothingWhenTheFileCannotBeCreatedAsWithAFolderOfThatName) {
    FakeDisk disk;
    disk.failing = {"CreateForOutput"};
    styles::InitXp(disk, disk);
    EXPECT_EQ(disk.calls, (Calls{"RunningExecutable", "FileExists mask 7", "CreateForOutput", "InitCommonControls"}));
}

TEST(InitXp, SkipsOnlyTheStepThatFailsOnceTheFileExistsAndNeverRaises) {
    for (const char* step : {"Write", "Close", "SetAttributes", "InitCommonControls"}) {
        FakeDisk disk;
        disk.failing = {step};
        styles::InitXp(disk, disk);

        EXPECT_EQ(disk.calls, FullRun) << step;
        EXPECT_EQ(disk.files[Manifest].second, step == std::string("SetAttributes") ? 0u : 0x27u) << step;
    }
}
