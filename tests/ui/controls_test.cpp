#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/controls.h"

using ui::ControlKind;
using ui::LayoutRow;
using values::CheckState;
using values::ValueRefused;

namespace {

constexpr std::array<std::wstring_view, 3> Fruit{L"Apple", L"Pear", L"Plum"};

constexpr LayoutRow CheckRow{.name = L"chkTest", .kind = ControlKind::CheckBox, .text = L"Check"};
constexpr LayoutRow TextRow{.name = L"txtTest", .kind = ControlKind::TextBox, .password = true};
constexpr LayoutRow ListRow{.name = L"cboTest", .kind = ControlKind::ComboList, .items = Fruit};
constexpr LayoutRow Option0{.name = L"optTest", .member = 0, .kind = ControlKind::OptionButton, .checked = true};
constexpr LayoutRow Option1{.name = L"optTest", .member = 1, .kind = ControlKind::OptionButton};
constexpr LayoutRow LabelRow{
    .name = L"lblTest", .kind = ControlKind::Label, .text = L"Ready", .foreColour = ui::ColourHighlight};
constexpr LayoutRow ButtonRow{.name = L"cmdTest", .kind = ControlKind::Button, .text = L"Go", .enabled = false};
constexpr LayoutRow BarRow{.name = L"pgbTest", .kind = ControlKind::ProgressBar, .minimum = 0, .maximum = 100};
constexpr LayoutRow TimerRow{.name = L"tmrTest", .kind = ControlKind::Timer, .interval = 25};

// Counts the two kinds of notification of one model.
struct Counter {
    int behaviour = 0;
    int view = 0;
};

void WatchView(ui::ControlModel& model, Counter& counter) {
    model.ViewChanged = [&counter] { ++counter.view; };
}

}  // namespace

TEST(CheckBoxModel, FiresClickAndRedrawOncePerRealChangeAndNothingForTheSameState) {
    ui::CheckBoxModel box(CheckRow);
    Counter counter;
    box.Click = [&] { ++counter.behaviour; };
    WatchView(box, counter);

    box.SetValue(CheckState::Checked);
    box.SetValue(CheckState::Checked);
    EXPECT_EQ(box.Value(), CheckState::Checked);
    EXPECT_EQ(counter.behaviour, 1);
    EXPECT_EQ(counter.view, 1);

    box.SetValue(CheckState::Grayed);  // the grayed state is a state of the box
    box.SetValue(CheckState::Unchecked);
    EXPECT_EQ(counter.behaviour, 3);
    EXPECT_EQ(counter.view, 3);
}

TEST(CheckBoxModel, RefusesStatesOtherThanZeroOneAndTwoAndKeepsItsOwn) {
    ui::CheckBoxModel box(CheckRow);
    box.SetValue(CheckState::Checked);
    Counter counter;
    box.Click = [&] { ++counter.behaviour; };
    WatchView(box, counter);

    EXPECT_THROW(box.SetValue(static_cast<CheckState>(3)), ValueRefused);
    EXPECT_THROW(box.SetValue(static_cast<CheckState>(-1)), ValueRefused);
    EXPECT_EQ(box.Value(), CheckState::Checked);
    EXPECT_EQ(counter.behaviour, 0);
    EXPECT_EQ(counter.view, 0);
}

TEST(TextBoxModel, FiresChangeOnlyWhenTheTextReallyChanges) {
    ui::TextBoxModel box(TextRow);
    int changes = 0;
    box.Change = [&] { ++changes; };

    box.SetText(L"secret");
    box.SetText(L"secret");
    box.SetText(L"Secret");
    box.SetText(L"");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(box.Text(), L"");
    EXPECT_TRUE(box.Row().password);  // every character shown as "*"
}

TEST(TextBoxModel, TakesAnyLengthOfText) {
    ui::TextBoxModel box(TextRow);
    const std::wstring longText(100000, L'x');
    box.SetText(longText);
    EXPECT_EQ(box.Text(), longText);
}

TEST(ComboListModel, SelectsAnItemByItsTextAndClicksOncePerNewSelection) {
    ui::ComboListModel list(ListRow);
    int clicks = 0;
    list.Click = [&] { ++clicks; };
    EXPECT_EQ(list.Text(), L"");
    EXPECT_EQ(list.ListIndex(), -1);

    list.SetText(L"Pear");
    list.SetText(L"Pear");
    list.SetListIndex(1);
    EXPECT_EQ(list.ListIndex(), 1);
    EXPECT_EQ(clicks, 1);

    list.SetListIndex(-1);  // no item selected is a change of its own
    EXPECT_EQ(list.ListIndex(), -1);
    EXPECT_EQ(clicks, 2);
}

TEST(ComboListModel, RefusesTheEmptyTextAndKeepsItsSelection) {
    ui::ComboListModel list(ListRow);
    list.SetText(L"Pear");
    int clicks = 0;
    list.Click = [&] { ++clicks; };

    EXPECT_THROW(list.SetText(L""), ValueRefused);
    EXPECT_EQ(list.Text(), L"Pear");
    EXPECT_EQ(clicks, 0);
}

TEST(ComboListModel, AnAddedItemComesLastCanBeSelectedAndIsNeverListedTwice) {
    ui::ComboListModel list(ListRow);
    list.SetText(L"Pear");
    int redraws = 0;
    list.ViewChanged = [&] { ++redraws; };
    const std::size_t listed = list.Items().size();

    list.AddItem(L"Quince");
    EXPECT_EQ(list.Items().size(), listed + 1);
    EXPECT_EQ(list.Items().back(), L"Quince");
    EXPECT_EQ(list.Text(), L"Pear");
    EXPECT_EQ(redraws, 1);

    list.SetText(L"Quince");
    EXPECT_EQ(list.ListIndex(), static_cast<int>(listed));
    EXPECT_THROW(list.AddItem(L"Quince"), ValueRefused);
    EXPECT_THROW(list.AddItem(L"Pear"), ValueRefused);
    EXPECT_EQ(list.Items().size(), listed + 1);
}

TEST(ComboListModel, RefusesATextThatIsNotAnItemAndKeepsItsSelection) {
    ui::ComboListModel list(ListRow);
    list.SetText(L"Plum");
    int clicks = 0;
    list.Click = [&] { ++clicks; };

    EXPECT_THROW(list.SetText(L"plum"), ValueRefused);   // case counts
    EXPECT_THROW(list.SetText(L"Plum "), ValueRefused);  // nothing is trimmed
    EXPECT_THROW(list.SetListIndex(3), ValueRefused);
    EXPECT_THROW(list.SetListIndex(-2), ValueRefused);
    EXPECT_EQ(list.Text(), L"Plum");
    EXPECT_EQ(clicks, 0);
}

TEST(OptionArray, SelectingOneMemberClearsTheOtherAndClicksWithItsNumber) {
    ui::OptionArray options(Option0, Option1);
    EXPECT_EQ(options.Selected(), 0);
    std::vector<int> clicks;
    std::vector<std::pair<bool, bool>> seenByHandler;
    options.Click = [&](int member) {
        clicks.push_back(member);
        seenByHandler.emplace_back(options[0].Value(), options[1].Value());
    };
    Counter view0, view1;
    WatchView(options[0], view0);
    WatchView(options[1], view1);

    options[1].Select();
    options[1].Select();
    EXPECT_EQ(clicks, std::vector<int>{1});
    EXPECT_EQ(seenByHandler, (std::vector<std::pair<bool, bool>>{{false, true}}));
    EXPECT_EQ(view0.view, 1);
    EXPECT_EQ(view1.view, 1);

    options[0].Select();
    EXPECT_EQ(clicks, (std::vector<int>{1, 0}));
    EXPECT_FALSE(options[1].Value());
}

TEST(OptionArray, KeepsEachMembersEnabledStateOfItsOwn) {
    ui::OptionArray options(Option0, Option1);
    options[0].SetEnabled(false);
    EXPECT_FALSE(options[0].Enabled());
    EXPECT_TRUE(options[1].Enabled());
    // The program may still select a disabled member.
    options[1].Select();
    options[0].Select();
    EXPECT_EQ(options.Selected(), 0);
}

TEST(ControlModel, EnablingRedrawsWithoutABehaviourEventAndOnlyOnAChange) {
    ui::CheckBoxModel box(CheckRow);
    Counter counter;
    box.Click = [&] { ++counter.behaviour; };
    WatchView(box, counter);

    box.SetEnabled(true);  // already enabled
    box.SetEnabled(false);
    box.SetEnabled(false);
    EXPECT_FALSE(box.Enabled());
    EXPECT_EQ(counter.view, 1);
    EXPECT_EQ(counter.behaviour, 0);
}

TEST(LabelModel, RedrawsForEveryNewCaptionOrColourOnly) {
    ui::LabelModel label(LabelRow);
    Counter counter;
    WatchView(label, counter);

    label.SetCaption(L"Ready");
    label.SetForeColour(ui::ColourHighlight);
    EXPECT_EQ(counter.view, 0);
    label.SetCaption(L"Busy");
    label.SetForeColour(ui::ColourInfoText);
    EXPECT_EQ(counter.view, 2);
    EXPECT_EQ(label.Caption(), L"Busy");
    EXPECT_EQ(label.ForeColour(), ui::ColourInfoText);
}

TEST(ButtonModel, ClicksWhenPressedOnlyWhileEnabled) {
    ui::ButtonModel button(ButtonRow);
    int clicks = 0;
    button.Click = [&] { ++clicks; };

    button.Press();
    EXPECT_EQ(clicks, 0);
    button.SetEnabled(true);
    button.Press();
    button.Press();  // a button has no state: every press is a click
    EXPECT_EQ(clicks, 2);
}

TEST(ProgressBarModel, TakesValuesWithinItsRangeAndRefusesOthers) {
    ui::ProgressBarModel bar(BarRow);
    EXPECT_EQ(bar.Min(), 0.0f);
    EXPECT_EQ(bar.Max(), 100.0f);
    EXPECT_EQ(bar.Value(), 0.0f);
    Counter counter;
    WatchView(bar, counter);

    bar.SetValue(100.0f);
    bar.SetValue(100.0f);
    bar.SetValue(2.5f);
    EXPECT_EQ(counter.view, 2);
    EXPECT_THROW(bar.SetValue(101.0f), ValueRefused);
    EXPECT_THROW(bar.SetValue(-1.0f), ValueRefused);
    EXPECT_EQ(bar.Value(), 2.5f);
}

TEST(TimerModel, TicksOnlyWhileRunning) {
    ui::TimerModel timer(TimerRow);
    int ticks = 0;
    timer.Tick = [&] { ++ticks; };
    Counter counter;
    WatchView(timer, counter);

    timer.Elapse();
    EXPECT_EQ(ticks, 0);
    timer.SetRunning(true);
    timer.SetRunning(true);
    timer.Elapse();
    timer.Elapse();
    timer.SetRunning(false);
    timer.Elapse();
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(counter.view, 2);
    EXPECT_EQ(timer.Interval(), 25);
}

// The binding takes a row's kind for its model's class: a model made from a
// row of another kind would be drawn as the wrong control.
TEST(ControlModel, RefusesARowOfAnotherKind) {
    EXPECT_THROW(ui::CheckBoxModel{ListRow}, std::logic_error);
    EXPECT_THROW(ui::TimerModel{ButtonRow}, std::logic_error);
    EXPECT_THROW(ui::OptionArray(Option0, CheckRow), std::logic_error);
}

TEST(FindRow, NamesTheMissingControlInsteadOfGuessing) {
    constexpr std::array rows{CheckRow, Option0, Option1};
    const ui::WindowLayout layout{.name = L"FormTest", .caption = L"Test", .rows = rows};
    EXPECT_EQ(&ui::FindRow(layout, L"optTest", 1), &rows[2]);
    EXPECT_THROW(ui::FindRow(layout, L"optTest"), std::logic_error);
    EXPECT_THROW(ui::FindRow(layout, L"chkMissing"), std::logic_error);
}
