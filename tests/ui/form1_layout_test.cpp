#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "policy/drive_selection_table.h"
#include "text/utf.h"
#include "ui/controls.h"
#include "ui/form1_layout.h"

using ui::ControlKind;
using ui::Form1Layout;
using ui::LayoutRow;

namespace {

const LayoutRow& Row(std::wstring_view name, int member = ui::NoMember) {
    return ui::FindRow(Form1Layout, name, member);
}

std::vector<const LayoutRow*> VisibleRows() {
    std::vector<const LayoutRow*> rows;
    for (const LayoutRow& row : Form1Layout.rows)
        if (row.kind != ControlKind::Timer) rows.push_back(&row);
    return rows;
}

std::wstring Label(const LayoutRow& row) {
    return std::wstring(row.name) + (row.member == ui::NoMember ? L"" : L"(" + std::to_wstring(row.member) + L")");
}

bool TakesFocus(ControlKind kind) {
    return kind != ControlKind::Frame && kind != ControlKind::Label && kind != ControlKind::ProgressBar &&
           kind != ControlKind::Timer;
}

}  // namespace

TEST(Form1Layout, HasTwentyFiveVisibleControlsWithTabIndexesZeroToTwentyFourWithoutGaps) {
    std::vector<int> tabIndexes;
    for (const LayoutRow* row : VisibleRows()) tabIndexes.push_back(row->tabIndex);
    std::sort(tabIndexes.begin(), tabIndexes.end());

    std::vector<int> expected(25);
    for (int i = 0; i < 25; ++i) expected[i] = i;
    EXPECT_EQ(tabIndexes, expected);
    EXPECT_EQ(Form1Layout.rows.size(), 26u);  // and the timer
}

TEST(Form1Layout, MovesTheKeyboardFocusInTheDesignedOrderNotTheScreenOrder) {
    std::vector<const LayoutRow*> focusable;
    for (const LayoutRow* row : VisibleRows())
        if (TakesFocus(row->kind)) focusable.push_back(row);
    std::sort(focusable.begin(), focusable.end(),
              [](const LayoutRow* a, const LayoutRow* b) { return a->tabIndex < b->tabIndex; });
    std::vector<std::wstring> order;
    for (const LayoutRow* row : focusable) order.push_back(Label(*row));

    EXPECT_EQ(order, (std::vector<std::wstring>{L"cboDrive", L"optSecurity(0)", L"optSecurity(1)", L"cmdSave",
                                                L"cmdLogoff", L"txtPassword", L"cmdAbout", L"cboRestrict",
                                                L"txtPassword2", L"chkRegistry", L"chkCMD", L"Text1"}));
}

TEST(Form1Layout, DescribesTheWindowAsAFixedPageOfFortySixNinetyFiveBySixtyThreeSeventyFiveTwips) {
    EXPECT_EQ(Form1Layout.name, L"Form1");
    EXPECT_EQ(Form1Layout.caption, L"Quelvane 2");
    EXPECT_EQ(Form1Layout.clientWidth, 4695);
    EXPECT_EQ(Form1Layout.clientHeight, 6375);
    EXPECT_EQ(ui::TwipsToPixels(Form1Layout.clientWidth, 96), 313);
    EXPECT_EQ(ui::TwipsToPixels(Form1Layout.clientHeight, 96), 425);
}

TEST(Form1Layout, PlacesEveryControlInsideItsContainerAndOnlyLabelsInsideFrames) {
    std::map<std::wstring_view, const LayoutRow*> frames;
    for (const LayoutRow& row : Form1Layout.rows)
        if (row.kind == ControlKind::Frame) frames[row.name] = &row;

    for (const LayoutRow* row : VisibleRows()) {
        SCOPED_TRACE(text::ToUtf8(Label(*row)));
        int width = Form1Layout.clientWidth, height = Form1Layout.clientHeight;
        if (!row->container.empty()) {
            ASSERT_TRUE(frames.contains(row->container));
            EXPECT_EQ(row->kind, ControlKind::Label);
            width = frames[row->container]->width;
            height = frames[row->container]->height;
        }
        EXPECT_GE(row->left, 0);
        EXPECT_GE(row->top, 0);
        EXPECT_LE(row->left + row->width, width);
        EXPECT_LE(row->top + row->height, height);
    }
}

TEST(Form1Layout, StartsWithSaveAndTheOptionalGroupDisabledAndTheUpperSecurityOptionSelected) {
    EXPECT_FALSE(Row(L"cmdSave").enabled);
    EXPECT_TRUE(Row(L"cmdSave").defaultButton);
    EXPECT_FALSE(Row(L"fraOptional").enabled);
    EXPECT_FALSE(Row(L"chkCMD").enabled);
    EXPECT_FALSE(Row(L"chkRegistry").enabled);
    EXPECT_FALSE(Row(L"chkCMD").checked);
    EXPECT_TRUE(Row(L"optSecurity", 0).checked);
    EXPECT_FALSE(Row(L"optSecurity", 1).checked);

    std::set<std::wstring> disabled;
    for (const LayoutRow* row : VisibleRows())
        if (!row->enabled) disabled.insert(Label(*row));
    EXPECT_EQ(disabled, (std::set<std::wstring>{L"cmdSave", L"fraOptional", L"chkCMD", L"chkRegistry"}));
}

TEST(Form1Layout, KeepsTheExactCaptionsWithTheirTrailingAndInnerBlanks) {
    EXPECT_EQ(Row(L"optSecurity", 0).text, L"Prevent Access to the Contents of Selected Drives");
    EXPECT_EQ(Row(L"optSecurity", 1).text, L"Hide Drives in My Computer ");
    EXPECT_EQ(Row(L"chkRegistry").text, L"Disable Registry Editing Tools ");
    EXPECT_EQ(Row(L"Label1", 0).text, L"Password    :");
    EXPECT_EQ(Row(L"Label1", 1).text, L"Retype        :");
    EXPECT_EQ(Row(L"Label2").text, L"Notes: ");
    EXPECT_EQ(Row(L"lblLoading").text, L"* Only compatible for Windows 2000/Me/XP");
    EXPECT_EQ(Row(L"lblLoading2").text, L"");
    EXPECT_EQ(Row(L"cmdLogoff").tooltip, L"Log out your Windows");
    EXPECT_EQ(Row(L"cmdSave").tooltip, L"Save your configurations");
}

TEST(Form1Layout, HoldsTheNotesAsOneLineOfOneHundredEightyNineCharactersEndingInCarriageReturnLineFeed) {
    const LayoutRow& notes = Row(L"Text1");
    EXPECT_EQ(notes.text.size(), 189u);
    EXPECT_TRUE(notes.text.starts_with(L"Click the Save button and Logoff your Windows"));
    EXPECT_TRUE(notes.text.ends_with(L"administrator account.\r\n"));
    EXPECT_EQ(notes.text.find(L'\n'), notes.text.size() - 1);
    EXPECT_TRUE(notes.multiLine);
    EXPECT_EQ(notes.backColour, ui::ColourButtonFace);
    EXPECT_EQ(notes.foreColour, ui::ColourInfoText);
}

TEST(Form1Layout, MarksTheTwoVersionBoundChoicesWithBoldHighlightedStarsInsideTheirFrames) {
    for (auto name : {L"Label3", L"Label4"}) {
        const LayoutRow& marker = Row(name);
        EXPECT_EQ(marker.text, L"*");
        EXPECT_TRUE(marker.boldMarkerFont);
        EXPECT_EQ(marker.foreColour, ui::ColourHighlight);
    }
    EXPECT_EQ(Row(L"Label3").container, L"fraSecurity");
    EXPECT_EQ(Row(L"Label4").container, L"fraOptional");
    EXPECT_EQ(Row(L"lblLoading").foreColour, ui::ColourHighlight);
    EXPECT_EQ(Row(L"lblLoading2").foreColour, ui::ColourHighlight);
}

TEST(Form1Layout, FillsTheDriveListFromTheDriveTableAndTheScopeListWithTheTwoScopes) {
    const auto driveItems = Row(L"cboDrive").items;
    ASSERT_EQ(driveItems.size(), policy::DriveSelectionRowCount);
    for (std::size_t i = 0; i < driveItems.size(); ++i) EXPECT_EQ(driveItems[i], policy::DriveSelectionTable[i].item);

    const auto scopes = Row(L"cboRestrict").items;
    EXPECT_EQ(std::vector<std::wstring_view>(scopes.begin(), scopes.end()),
              (std::vector<std::wstring_view>{L"Current user", L"All users"}));
    EXPECT_EQ(Row(L"cboDrive").text, L"");  // no item selected when created
}

TEST(Form1Layout, RunsTheProgressBarFromZeroToOneHundredAndTheTimerEveryTwentyFiveMilliseconds) {
    EXPECT_EQ(Row(L"pgbLoading").minimum, 0);
    EXPECT_EQ(Row(L"pgbLoading").maximum, 100);
    EXPECT_EQ(Row(L"tmrLoading").interval, 25);
    EXPECT_TRUE(Row(L"txtPassword").password);
    EXPECT_TRUE(Row(L"txtPassword2").password);
    EXPECT_TRUE(Row(L"txtPassword2").inputMethodDisabled);
}
