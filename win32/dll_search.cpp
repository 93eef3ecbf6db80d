#include "win32/dll_search.h"

#include <windows.h>

namespace win32 {

namespace {

// The headers declare neither call for the Windows versions that this
// program is built for (_WIN32_WINNT 0x0501).
constexpr DWORD SearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);

template <typename Function>
Function Kernel32Procedure(HMODULE kernel32, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

}  // namespace

DllSearch LimitDllSearch() {
    // kernel32 is in every process already: asking for its handle loads
    // nothing, and a static import of either call would keep the program
    // from starting on Windows 2000.
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (!kernel32) return DllSearch::Unchanged;
    const auto setDefaultDllDirectories =
        Kernel32Procedure<SetDefaultDllDirectoriesFunction>(kernel32, "SetDefaultDllDirectories");
    if (setDefaultDllDirectories && setDefaultDllDirectories(SearchSystem32)) return DllSearch::SystemFolderOnly;
    const auto setDllDirectory = Kernel32Procedure<SetDllDirectoryFunction>(kernel32, "SetDllDirectoryW");
    if (setDllDirectory && setDllDirectory(L"")) return DllSearch::CurrentFolderLeftOut;
    return DllSearch::Unchanged;
}

}  // namespace win32
