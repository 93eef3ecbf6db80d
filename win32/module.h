// Windows only: the running executable's path, and functions of the system's
// libraries bound by name where the program needs them rarely.
//
//   std::wstring self = win32::ExecutablePath();   // "C:\Tools\Quelvane 2.exe"
//   static auto* const shellExecute =
//       win32::SystemProcedure<decltype(ShellExecuteA)>(L"shell32.dll", "ShellExecuteA");
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// GetModuleFileNameW of the executable, however long the path; raises
// win32::PlatformFailure when the system cannot say.
std::wstring ExecutablePath();

// The function of that name in the library of the system folder, which is
// loaded on the first call and stays for the rest of the run.  A library that
// every start would load for one command only is bound this way: the start
// does not pay for it.  Raises win32::PlatformFailure when the library or the
// function is missing.  Not for comctl32, whose version the manifest picks
// by its plain name.
FARPROC SystemProcedureAddress(const wchar_t* library, const char* name);

template <typename Function>
Function* SystemProcedure(const wchar_t* library, const char* name) {
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(SystemProcedureAddress(library, name)));
}

}  // namespace win32
