// Windows only: the running executable's path.
//
//   std::wstring self = win32::ExecutablePath();   // "C:\Tools\Quelvane 2.exe"
#pragma once

#include <string>

namespace win32 {

// GetModuleFileNameW of the executable, however long the path; raises
// win32::PlatformFailure when the system cannot say.
std::wstring ExecutablePath();

}  // namespace win32
