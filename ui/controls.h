// Toolkit-neutral models of the standard controls.  A window class holds one
// model per control, made from its layout row; the Win32 binding (ui/win32)
// mirrors each model in a real control, and tests work the models directly.
//
// Usage:
//   ui::CheckBoxModel chkCMD(row);                    // row: a LayoutRow of kind CheckBox
//   chkCMD.Click = [&] { chkCMD_Click(); };           // behaviour: real changes only
//   chkCMD.ViewChanged = [&] { Show(chkCMD); };       // view: every change of any state
//   chkCMD.SetValue(values::CheckState::Checked);     // user or program alike: fires ViewChanged, then Click
//   chkCMD.SetValue(values::CheckState::Checked);     // already checked: fires nothing
//   chkCMD.SetValue(static_cast<values::CheckState>(7));   // throws values::ValueRefused, state unchanged
//
// User input and program changes take the same road: the view binding calls
// the same setters that the program calls.  ViewChanged always fires before
// the behaviour event, so a handler that reads other controls sees them
// already drawn, and the binding never has to tell a user change from a
// program change.  Models are neither copyable nor movable: handlers capture
// their address.  A model checks that its row is of its own kind, so the
// binding may take a row's kind for the model's class.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/layout.h"
#include "values/check_state.h"
#include "values/value_refused.h"

namespace ui {

// One handler, set by whoever reacts: the window's procedures for the
// behaviour events, the view binding for ViewChanged and FocusRequested.  An
// event without a handler does nothing when it fires.
template <typename... Args>
struct Event : std::function<void(Args...)> {
    using std::function<void(Args...)>::operator=;
    void Fire(Args... args) const {
        if (*this) (*this)(args...);
    }
};

class ControlModel {
public:
    ControlModel(const LayoutRow& row, ControlKind kind);
    virtual ~ControlModel() = default;
    ControlModel(const ControlModel&) = delete;
    ControlModel& operator=(const ControlModel&) = delete;

    const LayoutRow& Row() const { return *row_; }
    int Member() const { return row_->member; }

    // The control's own enabled state.  A frame's state is not passed on to
    // the controls drawn on it.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    // Asks the view to move the input focus to this control.
    void SetFocus() const { FocusRequested.Fire(); }

    // Any change of the control's state, for the view binding.
    Event<> ViewChanged;
    Event<> FocusRequested;

protected:
    void NotifyView() const { ViewChanged.Fire(); }

private:
    const LayoutRow* row_;
    bool enabled_;
};

class FrameModel : public ControlModel {
public:
    explicit FrameModel(const LayoutRow& row);
    std::wstring_view Caption() const { return Row().text; }
};

class LabelModel : public ControlModel {
public:
    explicit LabelModel(const LayoutRow& row);

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& caption);
    SystemColour ForeColour() const { return foreColour_; }
    void SetForeColour(SystemColour colour);

private:
    std::wstring caption_;
    SystemColour foreColour_;
};

// A text box without length limit; a password box (its row's password)
// shows every character as "*".
class TextBoxModel : public ControlModel {
public:
    explicit TextBoxModel(const LayoutRow& row);

    const std::wstring& Text() const { return text_; }
    void SetText(const std::wstring& text);

    Event<> Change;

private:
    std::wstring text_;
};

class CheckBoxModel : public ControlModel {
public:
    explicit CheckBoxModel(const LayoutRow& row);

    values::CheckState Value() const { return value_; }
    // A number cast to CheckState that is none of the three is refused.
    void SetValue(values::CheckState value);

    Event<> Click;

private:
    values::CheckState value_;
};

class OptionArray;

// One member of an option-button array; selecting it clears the others.
class OptionButtonModel : public ControlModel {
public:
    OptionButtonModel(const LayoutRow& row, OptionArray& group);

    bool Value() const { return selected_; }
    void Select();

private:
    friend class OptionArray;
    OptionArray* group_;
    bool selected_;
};

// Two option buttons forming one group, addressed by member number; one Click
// event that receives the number of the member that became selected.
class OptionArray {
public:
    OptionArray(const LayoutRow& member0, const LayoutRow& member1);
    OptionArray(const OptionArray&) = delete;
    OptionArray& operator=(const OptionArray&) = delete;

    static constexpr int Count = 2;
    OptionButtonModel& operator[](int member);
    const OptionButtonModel& operator[](int member) const;
    // The selected member, or NoMember.
    int Selected() const;

    Event<int> Click;

private:
    friend class OptionButtonModel;
    void Select(int member);

    std::array<OptionButtonModel, Count> members_;
};

// A drop-down list without typing.  Its text is the selected item, or empty
// when nothing is selected.  Setting a text selects that item; a text that is
// not an item is refused, the empty text included: only SetListIndex(-1)
// takes the selection away.
class ComboListModel : public ControlModel {
public:
    explicit ComboListModel(const LayoutRow& row);

    // The row's items, then those that the program added, in list order.
    const std::vector<std::wstring>& Items() const { return items_; }
    // Adds an item at the end of the list; the selection stays as it is.  An
    // item that is listed already is refused: texts select items.
    void AddItem(const std::wstring& item);
    int ListIndex() const { return listIndex_; }  // -1: nothing selected
    void SetListIndex(int index);
    std::wstring Text() const;
    void SetText(const std::wstring& text);

    Event<> Click;

private:
    std::vector<std::wstring> items_;
    int listIndex_ = -1;
};

class ButtonModel : public ControlModel {
public:
    explicit ButtonModel(const LayoutRow& row);

    std::wstring_view Caption() const { return Row().text; }
    // The user's click (mouse, keyboard or the default button's Enter).  A
    // disabled button cannot be pressed.
    void Press() const;

    Event<> Click;
};

// The common-controls progress bar: single-precision minimum, maximum and
// value; a value outside the range is refused.
class ProgressBarModel : public ControlModel {
public:
    explicit ProgressBarModel(const LayoutRow& row);

    float Min() const { return min_; }
    float Max() const { return max_; }
    float Value() const { return value_; }
    void SetValue(float value);

private:
    float min_;
    float max_;
    float value_;
};

// A timer: while running, the host calls Elapse() once per interval.
class TimerModel : public ControlModel {
public:
    explicit TimerModel(const LayoutRow& row);

    int Interval() const { return Row().interval; }
    bool Running() const { return running_; }
    void SetRunning(bool running);
    // One interval has passed; a stopped timer ignores it.
    void Elapse() const;

    Event<> Tick;

private:
    bool running_ = false;
};

// The row of a layout by control name and member number; a missing row is a
// mistake in the program and raises std::logic_error.
const LayoutRow& FindRow(const WindowLayout& layout, std::wstring_view name, int member = NoMember);

// A window's models, one for each row of its layout (the timer included), for
// the view binding.
using ControlList = std::vector<ControlModel*>;

}  // namespace ui
