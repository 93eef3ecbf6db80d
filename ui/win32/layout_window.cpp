#include "ui/win32/layout_window.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "registry/registry_provider.h"
#include "ui/win32/failure_report.h"
#include "ui/win32/shell_win32.h"

namespace ui {

namespace {

constexpr wchar_t WindowClassName[] = L"Quelvane2LayoutWindow";
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and
// Escape when no control claims them: neither may reach a control.
constexpr int FirstControlId = 100;
// A drop-down list is created with the height of its open list; the closed
// box then takes the height of the layout row.
constexpr int DroppedListPixels = 200;
constexpr std::wstring_view WindowFontFace = L"MS Sans Serif";
constexpr int WindowFontHundredthsOfPoint = 800;

[[noreturn]] void FailWithLastError(const wchar_t* operation) {
    throw PlatformFailure(operation, HRESULT_FROM_WIN32(GetLastError()));
}

HINSTANCE ThisModule() { return GetModuleHandleW(nullptr); }

void RegisterWindowClass() {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(ThisModule(), WindowClassName, &existing)) return;

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = LayoutWindow::WindowProc;
    windowClass.hInstance = ThisModule();
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WindowClassName;
    if (!RegisterClassExW(&windowClass)) FailWithLastError(L"RegisterClassExW");
}

// The progress bar and tooltip classes must be registered before the first
// control is made, whoever started the program.
void RegisterCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
}

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

bool TakesFocus(ControlKind kind) {
    switch (kind) {
    case ControlKind::TextBox:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
    case ControlKind::ComboList:
    case ControlKind::Button: return true;
    default: return false;
    }
}

// The model behind a row must be of the row's kind; a mismatch is a mistake
// in the window's lookup and is caught when the window is made.
bool ModelFitsKind(ControlModel& model, ControlKind kind) {
    switch (kind) {
    case ControlKind::Frame: return dynamic_cast<FrameModel*>(&model) != nullptr;
    case ControlKind::Label: return dynamic_cast<LabelModel*>(&model) != nullptr;
    case ControlKind::TextBox: return dynamic_cast<TextBoxModel*>(&model) != nullptr;
    case ControlKind::CheckBox: return dynamic_cast<CheckBoxModel*>(&model) != nullptr;
    case ControlKind::OptionButton: return dynamic_cast<OptionButtonModel*>(&model) != nullptr;
    case ControlKind::ComboList: return dynamic_cast<ComboListModel*>(&model) != nullptr;
    case ControlKind::Button: return dynamic_cast<ButtonModel*>(&model) != nullptr;
    case ControlKind::ProgressBar: return dynamic_cast<ProgressBarModel*>(&model) != nullptr;
    case ControlKind::Timer: return dynamic_cast<TimerModel*>(&model) != nullptr;
    }
    return false;
}

// A font of this face, size (hundredths of a point) and weight at the given
// resolution; null when the system makes none.
UniqueFont MakeFont(std::wstring_view face, int hundredthsOfPoint, LONG weight, int dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(hundredthsOfPoint, dpi, 7200);
    font.lfWeight = weight;
    font.lfCharSet = ANSI_CHARSET;
    lstrcpynW(font.lfFaceName, std::wstring(face).c_str(), LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

// The design writes system colours with the high bit set and the index in the low byte.
COLORREF ColourOf(SystemColour colour) { return GetSysColor(static_cast<int>(colour & 0xFF)); }

HBRUSH BrushOf(SystemColour colour) { return GetSysColorBrush(static_cast<int>(colour & 0xFF)); }

}  // namespace

LayoutWindow::LayoutWindow(const WindowLayout& layout, ModelLookup lookup, LayoutWindowEvents events,
                           int iconResourceId)
    : layout_(layout),
      lookup_(std::move(lookup)),
      events_(std::move(events)),
      iconResourceId_(iconResourceId) {}

LayoutWindow::~LayoutWindow() {
    subscriptions_.clear();
    // Destroyed here, not in the base, so that WM_DESTROY still reaches this object.
    Destroy();
}

void LayoutWindow::Create() {
    if (hwnd_) throw std::logic_error("the window exists already");
    RegisterCommonControls();
    RegisterWindowClass();

    {
        ScreenDc screen;
        dpiX_ = GetDeviceCaps(screen.Get(), LOGPIXELSX);
        dpiY_ = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    }
    RECT frame{0, 0, TwipsToPixels(layout_.clientWidth, dpiX_), TwipsToPixels(layout_.clientHeight, dpiY_)};
    AdjustWindowRectEx(&frame, WindowStyle, FALSE, 0);

    const std::wstring caption(layout_.caption);
    if (!CreateWindowExW(0, WindowClassName, caption.c_str(), WindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, ThisModule(), this))
        FailWithLastError(L"CreateWindowExW");

    if (iconResourceId_ != 0) {
        // Both sizes from the same resource; the system picks the image.
        bigIcon_.reset(static_cast<HICON>(LoadImageW(ThisModule(), MAKEINTRESOURCEW(iconResourceId_), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
        smallIcon_.reset(static_cast<HICON>(LoadImageW(ThisModule(), MAKEINTRESOURCEW(iconResourceId_), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), 0)));
        if (bigIcon_) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
        if (smallIcon_) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    }

    CreateControls();
}

void LayoutWindow::Show(int showCommand) {
    if (!hwnd_) throw std::logic_error("the window does not exist");
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
}

void LayoutWindow::Destroy() {
    if (hwnd_) DestroyWindow(hwnd_);
}

HWND LayoutWindow::Control(std::wstring_view name, int member) const {
    for (const BoundControl& control : controls_)
        if (control.row->name == name && control.row->member == member) return control.hwnd;
    return nullptr;
}

bool LayoutWindow::IsLayoutWindow(HWND hwnd) {
    wchar_t className[64] = {};
    return GetClassNameW(hwnd, className, 64) > 0 && std::wstring_view(className) == WindowClassName;
}

void LayoutWindow::CreateControls() {
    // The layout was drawn for "MS Sans Serif" 8 pt, the markers in its
    // 8.25 pt bold: both are made for the screen's resolution.
    windowFont_ = MakeFont(WindowFontFace, WindowFontHundredthsOfPoint, FW_NORMAL, dpiY_);
    markerFont_ = MakeFont(WindowFontFace, 825, FW_BOLD, dpiY_);
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, ThisModule(), nullptr);

    subscriptions_.clear();
    controls_.clear();
    int id = FirstControlId;
    for (const LayoutRow& row : layout_.rows) {
        ControlModel& model = lookup_(row);
        if (!ModelFitsKind(model, row.kind))
            throw std::logic_error("the model of " + registry::ToUtf8(std::wstring(row.name)) +
                                   " is not of its row's kind");
        controls_.push_back({&row, &model, nullptr, id++, false});
    }

    // Siblings are made top of the Z order first, and the Z order is the
    // keyboard order: the controls in tab order, then the frames, which lie
    // behind everything drawn on them.
    std::vector<BoundControl*> order;
    for (BoundControl& control : controls_)
        if (control.row->kind != ControlKind::Timer) order.push_back(&control);
    std::stable_sort(order.begin(), order.end(), [](const BoundControl* a, const BoundControl* b) {
        const bool aFrame = a->row->kind == ControlKind::Frame, bFrame = b->row->kind == ControlKind::Frame;
        if (aFrame != bFrame) return bFrame;
        return a->row->tabIndex < b->row->tabIndex;
    });
    for (BoundControl* control : order) CreateControl(*control);

    for (BoundControl& control : controls_) {
        Subscribe(control);
        Sync(control);
    }
}

RECT LayoutWindow::PixelRect(const LayoutRow& row) const {
    int left = row.left, top = row.top;
    if (!row.container.empty()) {
        const LayoutRow& frame = FindRow(layout_, row.container);
        left += frame.left;
        top += frame.top;
    }
    const int x = TwipsToPixels(left, dpiX_), y = TwipsToPixels(top, dpiY_);
    return {x, y, x + TwipsToPixels(row.width, dpiX_), y + TwipsToPixels(row.height, dpiY_)};
}

void LayoutWindow::CreateControl(BoundControl& control) {
    const LayoutRow& row = *control.row;
    const wchar_t* className = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (row.kind) {
    case ControlKind::Frame: style |= BS_GROUPBOX; break;
    case ControlKind::Label: className = L"STATIC"; style |= SS_LEFT; break;
    case ControlKind::TextBox:
        className = L"EDIT";
        exStyle = WS_EX_CLIENTEDGE;
        style |= row.multiLine ? ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL;
        if (row.password) style |= ES_PASSWORD;
        break;
    case ControlKind::CheckBox: style |= BS_AUTOCHECKBOX; break;
    case ControlKind::OptionButton: style |= BS_AUTORADIOBUTTON; break;
    case ControlKind::ComboList: className = L"COMBOBOX"; style |= CBS_DROPDOWNLIST | WS_VSCROLL; break;
    case ControlKind::Button: style |= row.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON; break;
    case ControlKind::ProgressBar: className = PROGRESS_CLASSW; break;
    case ControlKind::Timer: return;
    }
    // An option button's stop follows its group's selection (see Sync).
    if (TakesFocus(row.kind) && row.kind != ControlKind::OptionButton) style |= WS_TABSTOP;
    // A group runs from one WS_GROUP control to the next: the option array's
    // later members stay in the group of its first.
    if (!(row.kind == ControlKind::OptionButton && row.member > 0)) style |= WS_GROUP;

    const RECT rect = PixelRect(row);
    const int height = row.kind == ControlKind::ComboList ? DroppedListPixels : rect.bottom - rect.top;
    const std::wstring text(row.kind == ControlKind::ComboList ? std::wstring_view() : row.text);
    control.hwnd = CreateWindowExW(exStyle, className, text.c_str(), style, rect.left, rect.top,
                                   rect.right - rect.left, height, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), ThisModule(), nullptr);
    if (!control.hwnd) FailWithLastError(L"CreateWindowExW");
    HWND hwnd = control.hwnd;

    HFONT font = row.boldMarkerFont && markerFont_ ? markerFont_.get()
                 : windowFont_                         ? windowFont_.get()
                                                       : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    switch (row.kind) {
    case ControlKind::TextBox:
        SendMessageW(hwnd, EM_LIMITTEXT, 0, 0);  // 0: as much as the box can hold
        if (row.password) SendMessageW(hwnd, EM_SETPASSWORDCHAR, L'*', 0);  // not the themed bullet
        if (row.inputMethodDisabled) ImmAssociateContext(hwnd, nullptr);
        break;
    case ControlKind::ComboList: {
        // The items come with the first Sync, as later added ones do.
        // The closed box's height follows its selection field: make that
        // field as much taller or shorter as the box misses the row's height.
        RECT box;
        GetWindowRect(hwnd, &box);
        const int fieldHeight = static_cast<int>(SendMessageW(hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
        const int missing = (rect.bottom - rect.top) - (box.bottom - box.top);
        if (missing != 0 && fieldHeight + missing > 0)
            SendMessageW(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fieldHeight + missing);
        break;
    }
    case ControlKind::ProgressBar:
        SendMessageW(hwnd, PBM_SETRANGE32, static_cast<WPARAM>(row.minimum), static_cast<LPARAM>(row.maximum));
        break;
    case ControlKind::Button:
        if (row.defaultButton) defaultButtonId_ = control.id;
        break;
    default: break;
    }
    if (!row.tooltip.empty()) AddTooltip(control);
}

void LayoutWindow::AddTooltip(const BoundControl& control) {
    if (!tooltip_) return;
    tooltipTexts_.emplace_back(control.row->tooltip);
    TOOLINFOW tool{};
    // The smallest structure that every comctl32 accepts (5.8 and 6.0 alike).
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control.hwnd);
    tool.lpszText = tooltipTexts_.back().data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void LayoutWindow::Subscribe(BoundControl& control) {
    const std::size_t index = static_cast<std::size_t>(&control - controls_.data());
    subscriptions_.emplace_back(control.model->ViewChanged.Subscribe([this, index] {
        BoundControl& bound = controls_[index];
        Sync(bound);
        // A frame's state greys the labels drawn on it.
        if (bound.row->kind == ControlKind::Frame) SyncContainedIn(bound.row->name);
    }));
    subscriptions_.emplace_back(control.model->FocusRequested.Subscribe([this, index] {
        if (HWND hwnd = controls_[index].hwnd) SetFocus(hwnd);
    }));
}

bool LayoutWindow::EffectiveEnabled(const BoundControl& control) const {
    if (!control.model->Enabled()) return false;
    if (control.row->container.empty()) return true;
    for (const BoundControl& frame : controls_)
        if (frame.row->name == control.row->container) return frame.model->Enabled();
    return true;
}

void LayoutWindow::SyncContainedIn(std::wstring_view frame) {
    for (BoundControl& control : controls_)
        if (control.row->container == frame) Sync(control);
}

void LayoutWindow::Sync(BoundControl& control) {
    if (!hwnd_) return;
    const bool wasUpdating = updatingFromModel_;
    updatingFromModel_ = true;

    const LayoutRow& row = *control.row;
    if (row.kind == ControlKind::Timer) {
        const auto& timer = static_cast<const TimerModel&>(*control.model);
        if (timer.Running() && !control.timerSet) {
            control.timerSet = SetTimer(hwnd_, static_cast<UINT_PTR>(control.id), static_cast<UINT>(timer.Interval()),
                                        nullptr) != 0;
        } else if (!timer.Running() && control.timerSet) {
            KillTimer(hwnd_, static_cast<UINT_PTR>(control.id));
            control.timerSet = false;
        }
        updatingFromModel_ = wasUpdating;
        return;
    }

    HWND hwnd = control.hwnd;
    const bool enabled = EffectiveEnabled(control);
    if ((IsWindowEnabled(hwnd) != FALSE) != enabled) {
        const bool hadFocus = GetFocus() == hwnd;
        EnableWindow(hwnd, enabled);
        // A disabled control keeps no focus, and the keys would go nowhere.
        if (!enabled && hadFocus) SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
    }

    switch (row.kind) {
    case ControlKind::Label: {
        const auto& label = static_cast<const LabelModel&>(*control.model);
        SetTextIfDifferent(hwnd, label.Caption());
        InvalidateRect(hwnd, nullptr, TRUE);  // the colour may be new
        break;
    }
    case ControlKind::TextBox:
        SetTextIfDifferent(hwnd, static_cast<const TextBoxModel&>(*control.model).Text());
        break;
    case ControlKind::CheckBox: {
        const int value = static_cast<const CheckBoxModel&>(*control.model).Value();
        // A two-state box cannot show the grayed state: the box turns into a
        // three-state one for as long as the model is grayed.
        const LONG_PTR type = GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_TYPEMASK;
        const LONG_PTR wantedType = value == 2 ? BS_AUTO3STATE : BS_AUTOCHECKBOX;
        if (type != wantedType) SendMessageW(hwnd, BM_SETSTYLE, static_cast<WPARAM>(wantedType), TRUE);
        const WPARAM check = value == 2 ? BST_INDETERMINATE : value == 1 ? BST_CHECKED : BST_UNCHECKED;
        if (static_cast<WPARAM>(SendMessageW(hwnd, BM_GETCHECK, 0, 0)) != check)
            SendMessageW(hwnd, BM_SETCHECK, check, 0);
        break;
    }
    case ControlKind::OptionButton: {
        const auto& option = static_cast<const OptionButtonModel&>(*control.model);
        const WPARAM check = option.Value() ? BST_CHECKED : BST_UNCHECKED;
        if (static_cast<WPARAM>(SendMessageW(hwnd, BM_GETCHECK, 0, 0)) != check)
            SendMessageW(hwnd, BM_SETCHECK, check, 0);
        // The group is one stop of the tab order: its selected member, or its
        // first while none is selected; the arrow keys move within it.  Every
        // member is set each time, since a selection passes through a moment
        // in which no member is selected.
        const int selected = option.Group().Selected();
        for (const BoundControl& member : controls_) {
            if (member.row->name != row.name || !member.hwnd) continue;
            const bool tabStop = selected == NoMember ? member.row->member == 0 : selected == member.row->member;
            const LONG_PTR style = GetWindowLongPtrW(member.hwnd, GWL_STYLE);
            const LONG_PTR wanted = tabStop ? style | WS_TABSTOP : style & ~static_cast<LONG_PTR>(WS_TABSTOP);
            if (wanted != style) SetWindowLongPtrW(member.hwnd, GWL_STYLE, wanted);
        }
        break;
    }
    case ControlKind::ComboList: {
        const auto& list = static_cast<const ComboListModel&>(*control.model);
        const std::vector<std::wstring>& items = list.Items();
        // The model only ever adds items, at the end.
        for (auto count = static_cast<std::size_t>(SendMessageW(hwnd, CB_GETCOUNT, 0, 0)); count < items.size();
             ++count)
            SendMessageW(hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[count].c_str()));
        const int index = list.ListIndex();
        if (static_cast<int>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0)) != index)
            SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        break;
    }
    case ControlKind::ProgressBar: {
        const float value = static_cast<const ProgressBarModel&>(*control.model).Value();
        const int position = static_cast<int>(std::lround(value));
        if (static_cast<int>(SendMessageW(hwnd, PBM_GETPOS, 0, 0)) != position)
            SendMessageW(hwnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
        break;
    }
    default: break;
    }
    updatingFromModel_ = wasUpdating;
}

LayoutWindow::BoundControl* LayoutWindow::FindById(int id) {
    for (BoundControl& control : controls_)
        if (control.id == id) return &control;
    return nullptr;
}

const LayoutWindow::BoundControl* LayoutWindow::FindByHwnd(HWND hwnd) const {
    for (const BoundControl& control : controls_)
        if (control.hwnd == hwnd && hwnd) return &control;
    return nullptr;
}

void LayoutWindow::OnCommand(int id, int code) {
    // The controls' answers to the binding's own writes.
    if (updatingFromModel_) return;
    BoundControl* control = FindById(id);
    if (!control || !control->hwnd) return;
    HWND hwnd = control->hwnd;

    // Only the notifications that carry user input; the others (EN_UPDATE,
    // focus, drop-down) arrive while the control holds input that the model
    // has not seen yet, and must not put the model's state back.
    std::function<void()> input;
    switch (control->row->kind) {
    case ControlKind::Button:
        if (code == BN_CLICKED) input = [control] { static_cast<ButtonModel&>(*control->model).Press(); };
        break;
    case ControlKind::CheckBox:
        if (code == BN_CLICKED)
            input = [control, hwnd] {
                const LRESULT check = SendMessageW(hwnd, BM_GETCHECK, 0, 0);
                static_cast<CheckBoxModel&>(*control->model)
                    .SetValue(check == BST_INDETERMINATE ? 2 : check == BST_CHECKED ? 1 : 0);
            };
        break;
    case ControlKind::OptionButton:
        if (code == BN_CLICKED)
            input = [control, hwnd] {
                if (SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED)
                    static_cast<OptionButtonModel&>(*control->model).Select();
            };
        break;
    case ControlKind::TextBox:
        if (code == EN_CHANGE)
            input = [control, hwnd] { static_cast<TextBoxModel&>(*control->model).SetText(WindowText(hwnd)); };
        break;
    case ControlKind::ComboList:
        if (code == CBN_SELCHANGE)
            input = [control, hwnd] {
                static_cast<ComboListModel&>(*control->model)
                    .SetListIndex(static_cast<int>(SendMessageW(hwnd, CB_GETCURSEL, 0, 0)));
            };
        break;
    default: break;
    }
    if (!input) return;

    RunReportingFailures(input);
    // Where the model kept its state (a click on the selected option, a
    // refused value), the control goes back to showing it.  The handler may
    // have closed the window: Sync then does nothing.
    Sync(*control);
}

void LayoutWindow::OnTimer(UINT_PTR id) {
    if (ReportingUnhandledFailure()) return;
    BoundControl* control = FindById(static_cast<int>(id));
    if (!control || control->row->kind != ControlKind::Timer) return;
    RunReportingFailures([&] { static_cast<TimerModel&>(*control->model).Elapse(); });
}

LRESULT LayoutWindow::OnControlColour(UINT message, HDC dc, HWND child) {
    const BoundControl* control = FindByHwnd(child);
    if (!control || (control->row->foreColour == DefaultColour && control->row->backColour == DefaultColour))
        return DefWindowProcW(hwnd_, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));

    SystemColour fore = control->row->foreColour;
    if (control->row->kind == ControlKind::Label) fore = static_cast<const LabelModel&>(*control->model).ForeColour();
    // Edit boxes draw on the window colour and statics on the button face
    // unless told otherwise.
    const SystemColour back = control->row->backColour != DefaultColour ? control->row->backColour
                              : message == WM_CTLCOLOREDIT            ? 0x80000005u
                                                                       : ColourButtonFace;
    if (fore != DefaultColour) SetTextColor(dc, ColourOf(fore));
    SetBkColor(dc, ColourOf(back));
    return reinterpret_cast<LRESULT>(BrushOf(back));
}

void LayoutWindow::RestoreFocus() {
    HWND target = lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_) ? lastFocus_ : nullptr;
    if (!target) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (target) SetFocus(target);
}

LRESULT LayoutWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return OnControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));

    // The dialog manager (IsDialogMessage) asks a window that is not a
    // dialog for its default button too; Enter presses it while it is enabled.
    case DM_GETDEFID:
        return defaultButtonId_ != 0 ? MAKELRESULT(defaultButtonId_, DC_HASDEFID) : 0;
    case DM_SETDEFID:
        defaultButtonId_ = static_cast<int>(wParam);
        return TRUE;
    // A multi-line edit box hands Tab on with this message, which only a
    // dialog's own procedure would understand.
    case WM_NEXTDLGCTL: {
        HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                   : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
        if (next) SetFocus(next);
        return 0;
    }

    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
        } else {
            RestoreFocus();
            if (events_.activated) RunReportingFailures(events_.activated);
        }
        return 0;
    case WM_SETFOCUS:
        RestoreFocus();
        return 0;
    case WM_CLOSE:
        if (events_.closeCommand) {
            RunReportingFailures(events_.closeCommand);
            return 0;
        }
        break;
    case WM_DESTROY:
        for (BoundControl& control : controls_) {
            if (control.timerSet) KillTimer(hwnd_, static_cast<UINT_PTR>(control.id));
            control.timerSet = false;
        }
        if (events_.destroyed) RunReportingFailures(events_.destroyed);
        return 0;
    case WM_NCDESTROY:
        // The children are gone: model changes from now on have nothing to show.
        for (BoundControl& control : controls_) control.hwnd = nullptr;
        tooltip_ = nullptr;
        lastFocus_ = nullptr;
        break;
    default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

int RunMessageLoop() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (root && LayoutWindow::IsLayoutWindow(root) && IsDialogMessageW(root, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

bool DispatchPendingMessages() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left in the queue for whoever runs the real loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        HWND root = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (root && LayoutWindow::IsLayoutWindow(root) && IsDialogMessageW(root, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

}  // namespace ui
