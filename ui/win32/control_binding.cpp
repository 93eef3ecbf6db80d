#include "ui/win32/control_binding.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace ui {

namespace {

// A drop-down list is placed with the height of its open list (at 96 DPI);
// the closed box then takes the height of the layout row.
constexpr int DroppedListPixels = 200;

template <typename Model>
const Model& ModelOf(const BoundControl& control) {
    return static_cast<const Model&>(*control.model);
}

template <typename Model>
Model& MutableModelOf(const BoundControl& control) {
    return static_cast<Model&>(*control.model);
}

// Every control starts a group of its own, but for the later members of an
// option array, which stay in the group of their first.
DWORD Grouped(const LayoutRow& row) { return row.kind == ControlKind::OptionButton && row.member > 0 ? 0 : WS_GROUP; }

std::wstring WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

// Rewriting an unchanged text would move the caret of the box being typed in.
void SetTextIfDifferent(HWND hwnd, std::wstring_view text) {
    const std::wstring wanted(text);
    if (WindowText(hwnd) != wanted) SetWindowTextW(hwnd, wanted.c_str());
}

void SetCheckIfDifferent(HWND hwnd, WPARAM check) {
    if (static_cast<WPARAM>(SendMessageW(hwnd, BM_GETCHECK, 0, 0)) != check) SendMessageW(hwnd, BM_SETCHECK, check, 0);
}

// ---- Frame ----

DWORD FrameStyle(const LayoutRow& row) { return Grouped(row) | BS_GROUPBOX; }

// ---- Label ----

DWORD LabelStyle(const LayoutRow& row) { return Grouped(row) | SS_LEFT; }

void SyncLabel(BoundControl& control, HWND) {
    SetTextIfDifferent(control.hwnd, ModelOf<LabelModel>(control).Caption());
    InvalidateRect(control.hwnd, nullptr, TRUE);  // the colour may be new
}

// ---- Text box ----

DWORD TextBoxStyle(const LayoutRow& row) {
    DWORD style = Grouped(row) | (row.multiLine ? ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL);
    if (row.password) style |= ES_PASSWORD;
    return style;
}

// A multi-line box wants every key, Escape too, and answers Escape in a
// dialog by posting WM_CLOSE to its parent, where a dialog takes it for Cancel
// and these windows for their close box.  They have no cancel button: the box
// leaves Escape to the dialog manager, whose IDCANCEL no control answers.  The
// box's own procedure is kept in its user data, which the edit class leaves free.
LRESULT CALLBACK LeaveEscapeToTheDialog(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CallWindowProcW(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)), hwnd,
                                           message, wParam, lParam);
    const auto* key = reinterpret_cast<const MSG*>(lParam);
    if (message == WM_GETDLGCODE && key && key->message == WM_KEYDOWN && key->wParam == VK_ESCAPE)
        return result & ~DLGC_WANTALLKEYS;
    return result;
}

void PrepareTextBox(HWND hwnd, const LayoutRow& row) {
    SendMessageW(hwnd, EM_LIMITTEXT, 0, 0);                             // 0: as much as the box can hold
    if (row.password) SendMessageW(hwnd, EM_SETPASSWORDCHAR, L'*', 0);  // not the themed bullet
    if (row.inputMethodDisabled) ImmAssociateContext(hwnd, nullptr);
    if (!row.multiLine) return;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
    SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LeaveEscapeToTheDialog));
}

void SyncTextBox(BoundControl& control, HWND) {
    SetTextIfDifferent(control.hwnd, ModelOf<TextBoxModel>(control).Text());
}

void TextBoxInput(const BoundControl& control) {
    MutableModelOf<TextBoxModel>(control).SetText(WindowText(control.hwnd));
}

// ---- Check box ----

DWORD CheckBoxStyle(const LayoutRow& row) { return Grouped(row) | BS_AUTOCHECKBOX; }

// The model's states are the button's own check values.
static_assert(BST_UNCHECKED == static_cast<int>(values::CheckState::Unchecked) &&
              BST_CHECKED == static_cast<int>(values::CheckState::Checked) &&
              BST_INDETERMINATE == static_cast<int>(values::CheckState::Grayed));

void SyncCheckBox(BoundControl& control, HWND) {
    const values::CheckState state = ModelOf<CheckBoxModel>(control).Value();
    // A two-state box cannot show the grayed state: the box turns into a
    // three-state one for as long as the model is grayed.
    const LONG_PTR type = GetWindowLongPtrW(control.hwnd, GWL_STYLE) & BS_TYPEMASK;
    const LONG_PTR wantedType = state == values::CheckState::Grayed ? BS_AUTO3STATE : BS_AUTOCHECKBOX;
    if (type != wantedType) SendMessageW(control.hwnd, BM_SETSTYLE, static_cast<WPARAM>(wantedType), TRUE);
    SetCheckIfDifferent(control.hwnd, static_cast<WPARAM>(state));
}

void CheckBoxInput(const BoundControl& control) {
    MutableModelOf<CheckBoxModel>(control).SetValue(
        static_cast<values::CheckState>(SendMessageW(control.hwnd, BM_GETCHECK, 0, 0)));
}

// ---- Option button ----

DWORD OptionStyle(const LayoutRow& row) { return Grouped(row) | BS_AUTORADIOBUTTON; }

void SyncOption(BoundControl& control, HWND) {
    SetCheckIfDifferent(control.hwnd, ModelOf<OptionButtonModel>(control).Value() ? BST_CHECKED : BST_UNCHECKED);
    // The group is one stop of the tab order: its checked member, or its
    // first while none is checked; the arrow keys move within it.  Every
    // member is set each time, since a selection passes through a moment in
    // which none is checked.  The group runs in the Z order from a control
    // with WS_GROUP up to the next one, whatever its members' state.
    const auto startsGroup = [](HWND hwnd) { return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_GROUP) != 0; };
    HWND first = control.hwnd;
    for (HWND previous; !startsGroup(first) && (previous = GetWindow(first, GW_HWNDPREV));) first = previous;
    std::vector<HWND> members{first};
    for (HWND next = GetWindow(first, GW_HWNDNEXT); next && !startsGroup(next); next = GetWindow(next, GW_HWNDNEXT))
        members.push_back(next);
    const auto checked = std::find_if(members.begin(), members.end(), [](HWND member) {
        return SendMessageW(member, BM_GETCHECK, 0, 0) == BST_CHECKED;
    });
    for (HWND member : members) {
        const bool tabStop = checked == members.end() ? member == first : member == *checked;
        const LONG_PTR style = GetWindowLongPtrW(member, GWL_STYLE);
        const LONG_PTR wanted = tabStop ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP);
        if (wanted != style) SetWindowLongPtrW(member, GWL_STYLE, wanted);
    }
}

void OptionInput(const BoundControl& control) {
    if (SendMessageW(control.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED)
        MutableModelOf<OptionButtonModel>(control).Select();
}

// ---- Drop-down list ----

DWORD ComboStyle(const LayoutRow& row) { return Grouped(row) | CBS_DROPDOWNLIST | WS_VSCROLL; }

void FitCombo(HWND hwnd, const RECT& rect) {
    // Placed with the height of its open list; the closed box's height follows
    // its selection field, whose height follows the font: make that field as
    // much taller or shorter as the box misses the row's height.
    // The field keeps a minimum that its font needs.
    RECT box;
    GetWindowRect(hwnd, &box);
    const int fieldHeight = static_cast<int>(SendMessageW(hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    const int missing = (rect.bottom - rect.top) - (box.bottom - box.top);
    if (missing != 0 && fieldHeight + missing > 0)
        SendMessageW(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fieldHeight + missing);
}

void SyncCombo(BoundControl& control, HWND) {
    const auto& list = ModelOf<ComboListModel>(control);
    const std::vector<std::wstring>& items = list.Items();
    // The model only ever adds items, at the end; the first sync brings them all.
    for (auto count = static_cast<std::size_t>(SendMessageW(control.hwnd, CB_GETCOUNT, 0, 0)); count < items.size();
         ++count)
        SendMessageW(control.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[count].c_str()));
    const int index = list.ListIndex();
    if (static_cast<int>(SendMessageW(control.hwnd, CB_GETCURSEL, 0, 0)) != index)
        SendMessageW(control.hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void ComboInput(const BoundControl& control) {
    MutableModelOf<ComboListModel>(control).SetListIndex(
        static_cast<int>(SendMessageW(control.hwnd, CB_GETCURSEL, 0, 0)));
}

// ---- Push button ----

DWORD ButtonStyle(const LayoutRow& row) {
    return Grouped(row) | (row.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

void ButtonInput(const BoundControl& control) { ModelOf<ButtonModel>(control).Press(); }

// ---- Progress bar ----

DWORD ProgressStyle(const LayoutRow& row) { return Grouped(row); }

void PrepareProgress(HWND hwnd, const LayoutRow& row) {
    SendMessageW(hwnd, PBM_SETRANGE32, static_cast<WPARAM>(row.minimum), static_cast<LPARAM>(row.maximum));
}

void SyncProgress(BoundControl& control, HWND) {
    const int position = static_cast<int>(std::lround(ModelOf<ProgressBarModel>(control).Value()));
    if (static_cast<int>(SendMessageW(control.hwnd, PBM_GETPOS, 0, 0)) != position)
        SendMessageW(control.hwnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

// ---- Timer: a window timer of the parent, with the row's id ----

DWORD NoStyle(const LayoutRow&) { return 0; }

void SyncTimer(BoundControl& control, HWND window) {
    const auto& timer = ModelOf<TimerModel>(control);
    const auto id = static_cast<UINT_PTR>(control.id);
    if (timer.Running() && !control.timerSet) {
        control.timerSet = SetTimer(window, id, static_cast<UINT>(timer.Interval()), nullptr) != 0;
    } else if (!timer.Running() && control.timerSet) {
        KillTimer(window, id);
        control.timerSet = false;
    }
}

using enum ControlKind;

// clang-format off
// In the order of ControlKind.  A row gives the window, then its input, then
// its functions, a line each, and leaves out what it does not have.
constexpr std::array<ControlKindRow, 9> KindRows{{
    {.kind = Frame, .className = L"BUTTON", .style = FrameStyle},
    {.kind = Label, .className = L"STATIC", .style = LabelStyle,
     .sync = SyncLabel},
    {.kind = TextBox, .className = L"EDIT", .style = TextBoxStyle, .exStyle = WS_EX_CLIENTEDGE,
     .tabStop = true, .inputNotification = EN_CHANGE,
     .prepare = PrepareTextBox, .sync = SyncTextBox, .input = TextBoxInput},
    {.kind = CheckBox, .className = L"BUTTON", .style = CheckBoxStyle,
     .tabStop = true, .inputNotification = BN_CLICKED,
     .sync = SyncCheckBox, .input = CheckBoxInput},
    {.kind = OptionButton, .className = L"BUTTON", .style = OptionStyle,
     .inputNotification = BN_CLICKED,
     .sync = SyncOption, .input = OptionInput},
    {.kind = ComboList, .className = L"COMBOBOX", .style = ComboStyle, .createdHeight = DroppedListPixels,
     .tabStop = true, .inputNotification = CBN_SELCHANGE,
     .fit = FitCombo, .sync = SyncCombo, .input = ComboInput},
    {.kind = Button, .className = L"BUTTON", .style = ButtonStyle,
     .tabStop = true, .inputNotification = BN_CLICKED,
     .input = ButtonInput},
    {.kind = ProgressBar, .className = PROGRESS_CLASSW, .style = ProgressStyle,
     .prepare = PrepareProgress, .sync = SyncProgress},
    {.kind = Timer, .className = nullptr, .style = NoStyle,
     .sync = SyncTimer},
}};
// clang-format on

}  // namespace

const ControlKindRow& KindRow(ControlKind kind) {
    const ControlKindRow& row = KindRows.at(static_cast<std::size_t>(kind));
    if (row.kind != kind) throw std::logic_error("the table of control kinds is out of order");
    return row;
}

}  // namespace ui
