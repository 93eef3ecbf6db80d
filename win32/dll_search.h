// Windows only: keeps the loader away from the folder that the program was
// started from.  An elevated program started from a Downloads folder would
// otherwise load a DLL of a system name that someone left beside it
// (Microsoft's "Dynamic-Link Library Security").
//
//   int WINAPI wWinMain(...) {
//       win32::LimitDllSearch();   // first, before anything loads a DLL
#pragma once

namespace win32 {

// How far the DLL search could be limited on this system.
enum class DllSearch {
    // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32): a bare name is
    // looked for in the system folder alone (Windows 8 and later, 7 and
    // Vista with KB2533623).
    SystemFolderOnly,
    // SetDllDirectoryW(L""): the current folder is out, the program's folder
    // still in (XP SP1 and later without the update).
    CurrentFolderLeftOut,
    // Neither call exists (Windows 2000, XP before SP1) or both failed.
    Unchanged,
};

// Limits the DLL search of the whole process as far as this system allows.
// Both calls are looked up at run time, so the program still starts where
// they are missing; it runs whatever the answer, which says what was done.
DllSearch LimitDllSearch();

}  // namespace win32
