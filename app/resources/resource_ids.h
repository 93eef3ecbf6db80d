// Resource numbers of Quelvane 2.exe, shared by the .rc file and the code.
#pragma once

// The program icon (32x32 and 16x16, 16 colours), for both windows.  The
// lowest-numbered icon is also the one Explorer shows for the file.
#define IDI_QUELVANE 1
