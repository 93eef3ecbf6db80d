// The main window's status line as the tests spell it out, on its own: a test
// that took the texts from the program would pass with a misspelt one.
#pragma once

#include <string_view>

namespace status {

inline constexpr std::wstring_view Compatible = L"* Only compatible for Windows 2000/Me/XP";
inline constexpr std::wstring_view Updating = L"Updating your system, please wait..";
inline constexpr std::wstring_view Successful = L"Save process is successful";

}  // namespace status
