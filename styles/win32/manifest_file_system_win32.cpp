#include "styles/win32/manifest_file_system_win32.h"

#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include "win32/failure.h"
#include "win32/module.h"
#include "win32/scoped.h"

namespace styles {

using win32::FailWithLastError;

namespace {

class Win32OutputFile : public OutputFile {
public:
    explicit Win32OutputFile(win32::Handle file) : file_(std::move(file)) {}

    void Write(std::string_view bytes) override {
        DWORD written = 0;
        if (!WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            FailWithLastError(L"WriteFile");
        if (written != bytes.size()) throw FileSystemFailure("WriteFile wrote only part of the manifest");
    }

    void Close() override {
        if (!file_.Close()) FailWithLastError(L"CloseHandle");
    }

private:
    win32::Handle file_;
};

}  // namespace

ExecutableLocation ManifestFileSystemWin32::RunningExecutable() { return SplitExecutablePath(win32::ExecutablePath()); }

bool ManifestFileSystemWin32::FileExists(const std::wstring& path, std::uint32_t attributeMask) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
        FailWithLastError(L"GetFileAttributesW");
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    // Hidden and system files are seen only when the mask asks for them; the
    // read-only bit never hides a file.
    return (attributes & ~attributeMask & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::unique_ptr<OutputFile> ManifestFileSystemWin32::CreateForOutput(const std::wstring& path) {
    win32::Handle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) FailWithLastError(L"CreateFileW");
    return std::make_unique<Win32OutputFile>(std::move(file));
}

void ManifestFileSystemWin32::SetAttributes(const std::wstring& path, std::uint32_t attributes) {
    if (!SetFileAttributesW(path.c_str(), attributes)) FailWithLastError(L"SetFileAttributesW");
}

void CommonControlsWin32::Initialize() {
    // Bound by name, so that the styles library needs no import library and a
    // failure stays one step that InitXp skips.  The program's windows import
    // comctl32 anyway (ui/win32 registers the progress bar and tooltip classes
    // through InitCommonControlsEx), so in Quelvane 2.exe the library is loaded
    // before WinMain and this call finds it there; the plain name lets the
    // manifest's activation context choose the version, where a full path
    // would bypass it.  Never freed: the window classes it registers must
    // outlive every window of the program.
    HMODULE library = LoadLibraryW(L"comctl32.dll");
    if (!library) FailWithLastError(L"LoadLibraryW(comctl32.dll)");
    auto procedure = GetProcAddress(library, "InitCommonControls");
    if (!procedure) FailWithLastError(L"GetProcAddress(InitCommonControls)");
    reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(procedure))();
}

void InitXp() noexcept {
    ManifestFileSystemWin32 files;
    CommonControlsWin32 controls;
    InitXp(files, controls);
}

}  // namespace styles
