#include "ui/commands.h"

#include <string>

namespace ui {

void RunAboutCommand(Shell& shell) {
    const ProductVersion version = shell.ReadProductVersion();
    policy::MessageBoxRequest about;
    about.title = L"About " + version.productName;
    // Three empty lines before the notice and two after it.
    about.text = L"Quelvane v" + std::to_wstring(version.major) + L"." + std::to_wstring(version.minor) +
                 L"\r\n\r\n\r\n\r\n" + std::wstring(CopyrightNotice) + L"\r\n\r\n\r\nYou wanna visit ours homepage?";
    about.icon = policy::MessageIcon::Information;
    about.buttons = policy::MessageButtons::YesNo;
    if (shell.ShowMessage(about) == policy::MessageAnswer::Yes) shell.OpenDocument(std::wstring(HomePageAddress));
}

void RunLogoffCommand(Shell& shell) {
    policy::MessageBoxRequest warning;
    warning.title = L"Log Off Windows";
    warning.text = L"Close all applications before logoff.\r\n\r\nYou wanna logoff now?";
    warning.icon = policy::MessageIcon::Warning;
    warning.buttons = policy::MessageButtons::YesNo;
    if (shell.ShowMessage(warning) != policy::MessageAnswer::Yes) return;
    // A failing log-off request leaves here and is reported as unhandled; a
    // request the system merely refuses still ends the program.
    shell.LogOff();
    shell.EndProgram();
}

}  // namespace ui
