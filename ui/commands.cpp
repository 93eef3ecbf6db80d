#include "ui/commands.h"

#include <initializer_list>
#include <string>

namespace ui {

namespace {

std::wstring JoinLines(std::initializer_list<std::wstring_view> lines) {
    std::wstring text;
    bool first = true;
    for (auto line : lines) {
        if (!first) text += L"\r\n";
        text += line;
        first = false;
    }
    return text;
}

}  // namespace

void RunAboutCommand(Shell& shell) {
    const ProductVersion version = shell.ReadProductVersion();
    policy::MessageBoxRequest about;
    about.title = L"About " + version.productName;
    about.text = JoinLines({
        L"Quelvane v" + std::to_wstring(version.major) + L"." + std::to_wstring(version.minor),
        L"",
        L"",
        L"",
        CopyrightNotice,
        L"",
        L"",
        L"You wanna visit ours homepage?",
    });
    about.icon = policy::MessageIcon::Information;
    about.buttons = policy::MessageButtons::YesNo;
    if (shell.ShowMessage(about) == policy::MessageAnswer::Yes) shell.OpenDocument(std::wstring(HomePageAddress));
}

void RunLogoffCommand(Shell& shell) {
    policy::MessageBoxRequest warning;
    warning.title = L"Log Off Windows";
    warning.text = JoinLines({L"Close all applications before logoff.", L"", L"You wanna logoff now?"});
    warning.icon = policy::MessageIcon::Warning;
    warning.buttons = policy::MessageButtons::YesNo;
    if (shell.ShowMessage(warning) != policy::MessageAnswer::Yes) return;
    // A failing log-off request leaves here and is reported as unhandled; a
    // request the system merely refuses still ends the program.
    shell.LogOff();
    shell.EndProgram();
}

}  // namespace ui
