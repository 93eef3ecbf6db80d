// Windows only: whether the program runs on Wine rather than on Windows, the
// one place that says so.
//
// Wine's service lacks StdRegProv's GetDWORDValue, DeleteValue and
// CheckAccess and Win32_OperatingSystem's Win32Shutdown, so there, and only
// there, the program carries those operations out through the registry API
// and ExitWindowsEx.  Every Windows from 2000 on has each of these methods: a
// service that lacks one there is failing, and the program must not go
// around it unseen.
//
// A file of its own, so that a test program may link its own answer in place
// of this one and show Windows' rule under Wine.
#pragma once

namespace win32 {

bool RunningOnWine();

}  // namespace win32
