#include "ui/controls.h"

#include <algorithm>
#include <stdexcept>

#include "text/utf.h"

namespace ui {

using values::ValueRefused;

namespace {

std::string Describe(const LayoutRow& row) {
    std::string name = text::ToUtf8(row.name);
    if (row.member != NoMember) name += "(" + std::to_string(row.member) + ")";
    return name;
}

}  // namespace

const LayoutRow& FindRow(const WindowLayout& layout, std::wstring_view name, int member) {
    for (const LayoutRow& row : layout.rows)
        if (row.name == name && row.member == member) return row;
    throw std::logic_error("the layout of " + text::ToUtf8(layout.name) + " has no control " + text::ToUtf8(name));
}

ControlModel::ControlModel(const LayoutRow& row, ControlKind kind) : row_(&row), enabled_(row.enabled) {
    if (row.kind != kind) throw std::logic_error("the model of " + Describe(row) + " is not of its row's kind");
}

void ControlModel::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    NotifyView();
}

FrameModel::FrameModel(const LayoutRow& row) : ControlModel(row, ControlKind::Frame) {}

LabelModel::LabelModel(const LayoutRow& row)
    : ControlModel(row, ControlKind::Label), caption_(row.text), foreColour_(row.foreColour) {}

void LabelModel::SetCaption(const std::wstring& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    NotifyView();
}

void LabelModel::SetForeColour(SystemColour colour) {
    if (colour == foreColour_) return;
    foreColour_ = colour;
    NotifyView();
}

TextBoxModel::TextBoxModel(const LayoutRow& row) : ControlModel(row, ControlKind::TextBox), text_(row.text) {}

void TextBoxModel::SetText(const std::wstring& text) {
    if (text == text_) return;
    text_ = text;
    NotifyView();
    Change.Fire();
}

CheckBoxModel::CheckBoxModel(const LayoutRow& row)
    : ControlModel(row, ControlKind::CheckBox),
      value_(row.checked ? values::CheckState::Checked : values::CheckState::Unchecked) {}

void CheckBoxModel::SetValue(values::CheckState value) {
    if (!values::IsCheckState(value))
        throw ValueRefused(Describe(Row()) + " has no check state " + std::to_string(static_cast<int>(value)));
    if (value == value_) return;
    value_ = value;
    NotifyView();
    Click.Fire();
}

OptionButtonModel::OptionButtonModel(const LayoutRow& row, OptionArray& group)
    : ControlModel(row, ControlKind::OptionButton), group_(&group), selected_(false) {}

void OptionButtonModel::Select() { group_->Select(Member()); }

OptionArray::OptionArray(const LayoutRow& member0, const LayoutRow& member1)
    : members_{OptionButtonModel(member0, *this), OptionButtonModel(member1, *this)} {
    if (member0.member != 0 || member1.member != 1)
        throw std::logic_error("an option array needs the rows of its members 0 and 1");
    // One group has at most one selected member: the first that the table marks.
    for (auto& member : members_) {
        if (member.Row().checked) {
            member.selected_ = true;
            break;
        }
    }
}

OptionButtonModel& OptionArray::operator[](int member) { return members_.at(static_cast<std::size_t>(member)); }

const OptionButtonModel& OptionArray::operator[](int member) const {
    return members_.at(static_cast<std::size_t>(member));
}

int OptionArray::Selected() const {
    for (const auto& member : members_)
        if (member.selected_) return member.Member();
    return NoMember;
}

void OptionArray::Select(int member) {
    OptionButtonModel& chosen = (*this)[member];
    if (chosen.selected_) return;
    // Clear first, so that no handler ever sees two selected members.
    for (auto& other : members_) {
        if (&other != &chosen && other.selected_) {
            other.selected_ = false;
            other.NotifyView();
        }
    }
    chosen.selected_ = true;
    chosen.NotifyView();
    Click.Fire(member);
}

ComboListModel::ComboListModel(const LayoutRow& row)
    : ControlModel(row, ControlKind::ComboList), items_(row.items.begin(), row.items.end()) {
    if (!row.text.empty()) SetText(std::wstring(row.text));
}

void ComboListModel::AddItem(const std::wstring& item) {
    if (std::find(items_.begin(), items_.end(), item) != items_.end())
        throw ValueRefused(Describe(Row()) + " lists \"" + text::ToUtf8(item) + "\" already");
    items_.push_back(item);
    NotifyView();
}

void ComboListModel::SetListIndex(int index) {
    if (index < -1 || index >= static_cast<int>(items_.size()))
        throw ValueRefused(Describe(Row()) + " has no item number " + std::to_string(index));
    if (index == listIndex_) return;
    listIndex_ = index;
    NotifyView();
    Click.Fire();
}

std::wstring ComboListModel::Text() const {
    return listIndex_ < 0 ? std::wstring() : items_[static_cast<std::size_t>(listIndex_)];
}

void ComboListModel::SetText(const std::wstring& text) {
    const auto found = std::find(items_.begin(), items_.end(), text);
    if (found == items_.end()) throw ValueRefused(Describe(Row()) + " has no item \"" + text::ToUtf8(text) + "\"");
    SetListIndex(static_cast<int>(found - items_.begin()));
}

ButtonModel::ButtonModel(const LayoutRow& row) : ControlModel(row, ControlKind::Button) {}

void ButtonModel::Press() const {
    if (Enabled()) Click.Fire();
}

ProgressBarModel::ProgressBarModel(const LayoutRow& row)
    : ControlModel(row, ControlKind::ProgressBar),
      min_(static_cast<float>(row.minimum)),
      max_(static_cast<float>(row.maximum)),
      value_(static_cast<float>(row.minimum)) {
    if (!(min_ < max_)) throw std::logic_error(Describe(row) + " needs a minimum below its maximum");
}

void ProgressBarModel::SetValue(float value) {
    if (!(value >= min_ && value <= max_))
        throw ValueRefused(Describe(Row()) + " cannot show " + std::to_string(value) + " outside its range");
    if (value == value_) return;
    value_ = value;
    NotifyView();
}

// Timers in the tables are described stopped; a window starts them itself.
TimerModel::TimerModel(const LayoutRow& row) : ControlModel(row, ControlKind::Timer) {
    if (row.interval <= 0) throw std::logic_error(Describe(row) + " needs a positive interval");
}

void TimerModel::SetRunning(bool running) {
    if (running == running_) return;
    running_ = running;
    NotifyView();
}

void TimerModel::Elapse() const {
    if (running_) Tick.Fire();
}

}  // namespace ui
