#include <gtest/gtest.h>

#include "tests/support/recording_shell.h"
#include "ui/commands.h"

using policy::MessageAnswer;
using policy::MessageButtons;
using policy::MessageIcon;

TEST(AboutCommand, ShowsNameVersionAndNoticeWithTheEmptyLinesInTheirPlaces) {
    RecordingShell shell;
    shell.answers = {MessageAnswer::No};
    ui::RunAboutCommand(shell);

    ASSERT_EQ(shell.messages.size(), 1u);
    const auto& about = shell.messages[0];
    EXPECT_EQ(about.title, L"About Quelvane 2");
    EXPECT_EQ(about.text,
              L"Quelvane v2.3\r\n\r\n\r\n\r\nCopyright (C) 2003 Tessmor Software\r\n\r\n\r\n"
              L"You wanna visit ours homepage?");
    EXPECT_EQ(about.icon, MessageIcon::Information);
    EXPECT_EQ(about.buttons, MessageButtons::YesNo);
}

TEST(AboutCommand, WritesTheVersionResourcesNumbersInPlainDecimal) {
    RecordingShell shell;
    shell.version = {L"Other", 10, 0};
    shell.answers = {MessageAnswer::No};
    ui::RunAboutCommand(shell);

    EXPECT_EQ(shell.messages.at(0).title, L"About Other");
    EXPECT_EQ(shell.messages.at(0).text.substr(0, 15), L"Quelvane v10.0\r");
}

TEST(AboutCommand, OpensTheHomePageOnlyOnYes) {
    RecordingShell no;
    no.answers = {MessageAnswer::No};
    ui::RunAboutCommand(no);
    EXPECT_EQ(no.calls, (std::vector<std::string>{"ReadProductVersion", "ShowMessage About Quelvane 2"}));

    RecordingShell yes;
    yes.answers = {MessageAnswer::Yes};
    ui::RunAboutCommand(yes);
    EXPECT_EQ(yes.calls, (std::vector<std::string>{"ReadProductVersion", "ShowMessage About Quelvane 2",
                                                   "OpenDocument http://www.tessmor.example/"}));
}

TEST(LogoffCommand, WarnsWithThreeLinesAndDoesNothingMoreOnNo) {
    RecordingShell shell;
    shell.answers = {MessageAnswer::No};
    ui::RunLogoffCommand(shell);

    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0],
              (policy::MessageBoxRequest{L"Close all applications before logoff.\r\n\r\nYou wanna logoff now?",
                                         L"Log Off Windows", MessageIcon::Warning, MessageButtons::YesNo}));
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"ShowMessage Log Off Windows"}));
}

TEST(LogoffCommand, OnYesAsksForTheLogOffAndThenEndsTheProgram) {
    RecordingShell shell;
    shell.answers = {MessageAnswer::Yes};
    ui::RunLogoffCommand(shell);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"ShowMessage Log Off Windows", "LogOff", "EndProgram"}));
}

TEST(LogoffCommand, LetsAFailingLogOffRequestRiseWithoutEndingTheProgram) {
    RecordingShell shell;
    shell.answers = {MessageAnswer::Yes};
    shell.logOffFails = true;
    EXPECT_THROW(ui::RunLogoffCommand(shell), std::runtime_error);
    EXPECT_EQ(shell.calls.back(), "LogOff");
}
