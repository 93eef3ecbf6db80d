// The main window's Logoff and About commands.  Neither keeps state between
// clicks nor handles a failure: what the shell raises reaches the caller.
//
// Usage, from the main window's click handlers:
//   ui::RunAboutCommand(shell);
//   ui::RunLogoffCommand(shell);
#pragma once

#include <string_view>

#include "ui/shell.h"

namespace ui {

// The maker's notice in the About box; the version resource's LegalCopyright
// says the same.
inline constexpr std::wstring_view CopyrightNotice = L"Copyright (C) 2003 Tessmor Software";
inline constexpr std::wstring_view HomePageAddress = L"http://www.tessmor.example/";

// Shows the product's name and version and offers the maker's home page,
// which it opens on Yes.
void RunAboutCommand(Shell& shell);

// Warns, and on Yes asks for a log-off and ends the program at once, whether
// or not the system then logs the user off.
void RunLogoffCommand(Shell& shell);

}  // namespace ui
