#include "styles/win32/manifest_file_system_win32.h"

#include <windows.h>

#include <memory>
#include <string>
#include <utility>

namespace styles {

namespace {

[[noreturn]] void FailWithLastError(const char* operation) {
    throw FileSystemFailure(std::string(operation) + " failed, error " + std::to_string(GetLastError()));
}

class Win32OutputFile : public OutputFile {
public:
    explicit Win32OutputFile(HANDLE handle) : handle_(handle) {}
    Win32OutputFile(const Win32OutputFile&) = delete;
    Win32OutputFile& operator=(const Win32OutputFile&) = delete;
    ~Win32OutputFile() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }

    void Write(std::string_view bytes) override {
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            FailWithLastError("WriteFile");
        if (written != bytes.size()) throw FileSystemFailure("WriteFile wrote only part of the manifest");
    }

    void Close() override {
        HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
        if (!CloseHandle(handle)) FailWithLastError("CloseHandle");
    }

private:
    HANDLE handle_;
};

}  // namespace

ExecutableLocation ManifestFileSystemWin32::RunningExecutable() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) FailWithLastError("GetModuleFileNameW");
        // A full buffer may hold a cut path (XP does not even say so).
        if (length < path.size()) {
            path.resize(length);
            return SplitExecutablePath(path);
        }
        path.resize(path.size() * 2);
    }
}

bool ManifestFileSystemWin32::FileExists(const std::wstring& path, std::uint32_t attributeMask) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
        FailWithLastError("GetFileAttributesW");
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    // Hidden and system files are seen only when the mask asks for them; the
    // read-only bit never hides a file.
    return (attributes & ~attributeMask & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::unique_ptr<OutputFile> ManifestFileSystemWin32::CreateForOutput(const std::wstring& path) {
    HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) FailWithLastError("CreateFileW");
    return std::make_unique<Win32OutputFile>(handle);
}

void ManifestFileSystemWin32::SetAttributes(const std::wstring& path, std::uint32_t attributes) {
    if (!SetFileAttributesW(path.c_str(), attributes)) FailWithLastError("SetFileAttributesW");
}

void ManifestFileSystemWin32::InitCommonControls() {
    // Bound by name so that a system without comctl32 (or without the entry
    // point) still starts.  The library is deliberately never freed: the
    // window classes it registers must outlive every window of the program.
    HMODULE library = LoadLibraryW(L"comctl32.dll");
    if (!library) FailWithLastError("LoadLibraryW(comctl32.dll)");
    auto procedure = GetProcAddress(library, "InitCommonControls");
    if (!procedure) FailWithLastError("GetProcAddress(InitCommonControls)");
    reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(procedure))();
}

void InitXp() noexcept {
    ManifestFileSystemWin32 files;
    InitXp(files);
}

}  // namespace styles
