#include "win32/module.h"

#include "win32/failure.h"

namespace win32 {

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) FailWithLastError(L"GetModuleFileNameW");
        // A full buffer may hold a cut path (XP does not even say so): only a
        // shorter answer is known to be whole.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

FARPROC SystemProcedureAddress(const wchar_t* library, const char* name) {
    // The full path: a DLL of that name next to the program is never loaded
    // in the system's place.
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) FailWithLastError(L"GetSystemDirectoryW");
    const std::wstring path = std::wstring(folder, length) + L"\\" + library;
    const HMODULE module = LoadLibraryW(path.c_str());
    if (!module) FailWithLastError(L"LoadLibraryW(" + path + L")");
    const FARPROC procedure = GetProcAddress(module, name);
    if (!procedure) {
        const std::wstring function(name, name + lstrlenA(name));
        FailWithLastError(L"GetProcAddress(" + std::wstring(library) + L", " + function + L")");
    }
    return procedure;
}

}  // namespace win32
