#include "ui/win32/layout_window.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "text/utf.h"
#include "ui/win32/control_binding.h"
#include "ui/win32/failure_report.h"
#include "win32/failure.h"

namespace ui {

namespace {

constexpr wchar_t WindowClassName[] = L"Quelvane2LayoutWindow";
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Posted by the first showing; see CreateTooltips.
constexpr UINT CreateTooltipsMessage = WM_APP + 1;
// Windows 8.1's, not in the headers for the Windows versions that this
// program is built for (_WIN32_WINNT 0x0501).
constexpr UINT DpiChangedMessage = 0x02E0;  // WM_DPICHANGED
constexpr int DesignDpi = 96;               // the resolution at which a pixel is 15 twips
constexpr std::wstring_view WindowFontFace = L"MS Sans Serif";
constexpr int WindowFontHundredthsOfPoint = 800;
constexpr int MarkerFontHundredthsOfPoint = 825;

HINSTANCE ThisModule() { return GetModuleHandleW(nullptr); }

// Windows 10 (from 1607 on) gives each monitor its own resolution, and these
// calls exist only there: bound by name, so that Windows 2000 still starts.
struct PerMonitorCalls {
    UINT(WINAPI* dpiForWindow)(HWND) = nullptr;
    int(WINAPI* systemMetricsForDpi)(int, UINT) = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
    BOOL(WINAPI* systemParametersInfoForDpi)(UINT, UINT, void*, UINT, UINT) = nullptr;
};

template <typename Function>
void BindUser32(Function& function, HMODULE user32, const char* name) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

const PerMonitorCalls& PerMonitor() {
    static const PerMonitorCalls calls = [] {
        PerMonitorCalls found;
        // Loaded in every process that makes a window: asking for it loads nothing.
        if (const HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
            BindUser32(found.dpiForWindow, user32, "GetDpiForWindow");
            BindUser32(found.systemMetricsForDpi, user32, "GetSystemMetricsForDpi");
            BindUser32(found.adjustWindowRectExForDpi, user32, "AdjustWindowRectExForDpi");
            BindUser32(found.systemParametersInfoForDpi, user32, "SystemParametersInfoForDpi");
        }
        return found;
    }();
    return calls;
}

int SystemMetric(int index, int dpi) {
    return PerMonitor().systemMetricsForDpi ? PerMonitor().systemMetricsForDpi(index, static_cast<UINT>(dpi))
                                            : GetSystemMetrics(index);
}

// NONCLIENTMETRICSW as Windows Vista and later have it: the headers for the
// versions that this program is built for end it one field early.
struct NonClientMetrics {
    NONCLIENTMETRICSW upToXp;
    int paddedBorderWidth;
};

void RegisterWindowClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = LayoutWindow::WindowProc;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;  // DefDlgProcW keeps its state there
    windowClass.hInstance = ThisModule();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WindowClassName;
    // Both windows share the class: the second registration finds it there.
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        win32::FailWithLastError(L"RegisterClassExW");
}

// The progress bar and tooltip classes must be registered before the first
// control is made, whoever started the program.
void RegisterCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);
}

// A font of this face, size (hundredths of a point) and weight at the given
// resolution; null when the system makes none.
win32::UniqueFont MakeFont(std::wstring_view face, int hundredthsOfPoint, LONG weight, int dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(hundredthsOfPoint, dpi, 7200);
    font.lfWeight = weight;
    font.lfCharSet = ANSI_CHARSET;
    lstrcpynW(font.lfFaceName, std::wstring(face).c_str(), LF_FACESIZE);
    return win32::UniqueFont(CreateFontIndirectW(&font));
}

// The design writes system colours with the high bit set and the index in the low byte.
COLORREF ColourOf(SystemColour colour) { return GetSysColor(static_cast<int>(colour & 0xFF)); }

HBRUSH BrushOf(SystemColour colour) { return GetSysColorBrush(static_cast<int>(colour & 0xFF)); }

}  // namespace

LayoutWindow::LayoutWindow(const WindowLayout& layout, ControlList models, LayoutWindowEvents events,
                           int iconResourceId)
    : layout_(layout), models_(std::move(models)), events_(std::move(events)), iconResourceId_(iconResourceId) {
    for (std::size_t i = 0; i < layout_.rows.size(); ++i) {
        if (models_.size() != layout_.rows.size() || &models_[i]->Row() != &layout_.rows[i])
            throw std::logic_error(text::ToUtf8(std::wstring(layout_.name)) +
                                   " needs one model for each row of its layout, in the layout's order");
        // A label for a box that the layout lacks would never be made.
        if (!layout_.rows[i].labelFor.empty()) FindRow(layout_, layout_.rows[i].labelFor);
    }
}

LayoutWindow::~LayoutWindow() {
    // The models usually outlive the window: they stop showing themselves here.
    for (ControlModel* model : models_) {
        model->ViewChanged = nullptr;
        model->FocusRequested = nullptr;
    }
    // Destroyed here, not in the base, so that WM_DESTROY still reaches this object.
    Destroy();
}

void LayoutWindow::Create(ContentsAt contentsAt) {
    if (hwnd_) throw std::logic_error("the window exists already");
    RegisterCommonControls();
    RegisterWindowClass();

    {
        win32::ScreenDc screen;
        dpi_ = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    }
    const SIZE frame = FrameSize();
    const std::wstring caption(layout_.caption);
    if (!CreateWindowExW(0, WindowClassName, caption.c_str(), WindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, frame.cx,
                         frame.cy, nullptr, nullptr, ThisModule(), this))
        win32::FailWithLastError(L"CreateWindowExW");
    // Only the window knows its monitor, and with it its resolution, which
    // may not be the screen's that the size above was made for.
    if (PerMonitor().dpiForWindow) {
        const int monitorDpi = static_cast<int>(PerMonitor().dpiForWindow(hwnd_));
        if (monitorDpi > 0 && monitorDpi != dpi_) {
            dpi_ = monitorDpi;
            const SIZE size = FrameSize();
            SetWindowPos(hwnd_, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    contentsMade_ = false;
    if (contentsAt == ContentsAt::Creation) CreateContents();
    if (events_.load) events_.load();
}

SIZE LayoutWindow::FrameSize() const {
    RECT frame{0, 0, TwipsToPixels(layout_.clientWidth, dpi_), TwipsToPixels(layout_.clientHeight, dpi_)};
    if (PerMonitor().adjustWindowRectExForDpi)
        PerMonitor().adjustWindowRectExForDpi(&frame, WindowStyle, FALSE, 0, static_cast<UINT>(dpi_));
    else
        AdjustWindowRectEx(&frame, WindowStyle, FALSE, 0);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void LayoutWindow::CreateContents() {
    contentsMade_ = true;
    LoadIcons();
    CreateControls();
}

void LayoutWindow::LoadIcons() {
    if (iconResourceId_ == 0) return;
    // Both sizes from the same resource; the system picks the image.
    const auto load = [this](int width, int height) {
        return win32::UniqueIcon(
            static_cast<HICON>(LoadImageW(ThisModule(), MAKEINTRESOURCEW(iconResourceId_), IMAGE_ICON,
                                          SystemMetric(width, dpi_), SystemMetric(height, dpi_), 0)));
    };
    win32::UniqueIcon big = load(SM_CXICON, SM_CYICON), little = load(SM_CXSMICON, SM_CYSMICON);
    // The window lets go of the icons that it shows before they are destroyed.
    if (big) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    if (little) SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(little.get()));
    if (big) bigIcon_ = std::move(big);
    if (little) smallIcon_ = std::move(little);
}

void LayoutWindow::Show(int showCommand) {
    if (!hwnd_) throw std::logic_error("the window does not exist");
    if (!contentsMade_) CreateContents();
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    if (!tooltip_) PostMessageW(hwnd_, CreateTooltipsMessage, 0, 0);
    if (events_.activated) events_.activated();
}

void LayoutWindow::Destroy() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void LayoutWindow::MakeFonts() {
    // The layout was drawn for "MS Sans Serif" 8 pt, the markers in its
    // 8.25 pt bold: both are made for the window's resolution.
    windowFont_ = MakeFont(WindowFontFace, WindowFontHundredthsOfPoint, FW_NORMAL, dpi_);
    markerFont_ = MakeFont(WindowFontFace, MarkerFontHundredthsOfPoint, FW_BOLD, dpi_);
}

void LayoutWindow::CreateControls() {
    MakeFonts();
    controls_.clear();
    int id = FirstControlId;
    for (ControlModel* model : models_) controls_.push_back({&model->Row(), model, nullptr, id++, false});

    // Siblings are made top of the Z order first, and the Z order is the
    // keyboard order: the controls in tab order, then the frames, which lie
    // behind everything drawn on them.  A screen reader names a text box or a
    // list after the nearest static before it in the Z order, searching no
    // further back than a tab stop that starts a group; here that is no label
    // of the design.  So right before each box that a row's caption names
    // stands an invisible static with that caption.  The visible labels keep
    // their places: one right above its box would paint over the box's edge
    // where the two overlap by a pixel, and a frame is no static at all.
    std::vector<BoundControl*> order;
    for (BoundControl& control : controls_)
        if (control.row->kind != ControlKind::Timer) order.push_back(&control);
    std::stable_sort(order.begin(), order.end(), [](const BoundControl* a, const BoundControl* b) {
        const bool aFrame = a->row->kind == ControlKind::Frame, bFrame = b->row->kind == ControlKind::Frame;
        if (aFrame != bFrame) return bFrame;
        return a->row->tabIndex < b->row->tabIndex;
    });
    for (BoundControl* control : order) {
        for (const LayoutRow& label : layout_.rows)
            if (label.labelFor == control->row->name) CreateInvisibleLabel(label.text);
        CreateControl(*control);
    }

    for (BoundControl& control : controls_) {
        Bind(control);
        Sync(control);
        // The dialog manager's default button; Enter presses it while it is enabled.
        if (control.row->defaultButton) SendMessageW(hwnd_, DM_SETDEFID, static_cast<WPARAM>(control.id), 0);
    }
}

RECT LayoutWindow::PixelRect(const LayoutRow& row) const {
    int left = row.left, top = row.top;
    if (!row.container.empty()) {
        const LayoutRow& frame = FindRow(layout_, row.container);
        left += frame.left;
        top += frame.top;
    }
    const int x = TwipsToPixels(left, dpi_), y = TwipsToPixels(top, dpi_);
    return {x, y, x + TwipsToPixels(row.width, dpi_), y + TwipsToPixels(row.height, dpi_)};
}

void LayoutWindow::CreateControl(BoundControl& control) {
    const LayoutRow& row = *control.row;
    const ControlKindRow& kind = KindRow(row.kind);
    if (!kind.className) return;

    const RECT rect = PixelRect(row);
    const std::wstring text(row.text);
    const DWORD style = WS_CHILD | WS_VISIBLE | kind.style(row) | (kind.tabStop ? WS_TABSTOP : 0);
    control.hwnd = CreateWindowExW(kind.exStyle, kind.className, text.c_str(), style, rect.left, rect.top,
                                   rect.right - rect.left, PlacedHeight(kind, rect), hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), ThisModule(), nullptr);
    if (!control.hwnd) win32::FailWithLastError(L"CreateWindowExW");

    SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(row)), FALSE);
    kind.prepare(control.hwnd, row);
    kind.fit(control.hwnd, rect);
}

// A caption for screen readers alone.
void LayoutWindow::CreateInvisibleLabel(std::wstring_view caption) {
    const std::wstring text(caption);
    // Not WS_VISIBLE, and of no size: it takes no room and is never drawn.
    if (!CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_GROUP | SS_LEFT, 0, 0, 0, 0, hwnd_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)), ThisModule(), nullptr))
        win32::FailWithLastError(L"CreateWindowExW");
}

// The controls are moved and given their new fonts as a start at the new
// resolution makes them, every place from the layout's twips again, then the
// window takes the rectangle that Windows chose for it on its new monitor.
void LayoutWindow::ChangeDpi(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    if (contentsMade_) {
        // The controls draw with the old fonts until they have the new ones.
        const win32::UniqueFont oldWindowFont = std::move(windowFont_), oldMarkerFont = std::move(markerFont_);
        MakeFonts();
        for (BoundControl& control : controls_)
            if (control.hwnd) PlaceControl(control);
        SetTooltipFont();
        LoadIcons();
    }
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void LayoutWindow::PlaceControl(BoundControl& control) {
    const ControlKindRow& kind = KindRow(control.row->kind);
    const RECT rect = PixelRect(*control.row);
    SendMessageW(control.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(*control.row)), FALSE);
    SetWindowPos(control.hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, PlacedHeight(kind, rect),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    kind.fit(control.hwnd, rect);
}

int LayoutWindow::PlacedHeight(const ControlKindRow& kind, const RECT& rect) const {
    return kind.createdHeight ? MulDiv(kind.createdHeight, dpi_, DesignDpi) : rect.bottom - rect.top;
}

HFONT LayoutWindow::FontOf(const LayoutRow& row) const {
    return row.boldMarkerFont && markerFont_ ? markerFont_.get()
           : windowFont_                     ? windowFont_.get()
                                             : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// The tooltip draws in the status font that it takes for the system's
// resolution; on a monitor of another scale it needs that font at the
// window's.  Only Windows 10 tells a font for a resolution, and only there
// can the two differ.
void LayoutWindow::SetTooltipFont() {
    if (!tooltip_ || !PerMonitor().systemParametersInfoForDpi) return;
    NonClientMetrics metrics{};
    metrics.upToXp.cbSize = sizeof metrics;
    if (!PerMonitor().systemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0,
                                                 static_cast<UINT>(dpi_)))
        return;
    win32::UniqueFont font(CreateFontIndirectW(&metrics.upToXp.lfStatusFont));
    if (!font) return;
    SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    tooltipFont_ = std::move(font);
}

// A tooltip shows only once the pointer rests on a control: its window is
// made after the first showing, off the path to the visible window.
void LayoutWindow::CreateTooltips() {
    if (tooltip_ || !hwnd_) return;
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, ThisModule(), nullptr);
    if (!tooltip_) return;
    for (const BoundControl& control : controls_) {
        if (control.row->tooltip.empty() || !control.hwnd) continue;
        // The tooltip control keeps its own copy of the text.
        std::wstring text(control.row->tooltip);
        TOOLINFOW tool{};
        // The smallest structure that every comctl32 accepts (5.8 and 6.0 alike).
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(control.hwnd);
        tool.lpszText = text.data();
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SetTooltipFont();
}

void LayoutWindow::Bind(BoundControl& control) {
    const std::size_t index = static_cast<std::size_t>(&control - controls_.data());
    control.model->ViewChanged = [this, index] {
        BoundControl& bound = controls_[index];
        Sync(bound);
        // A frame's state greys the labels drawn on it.
        if (bound.row->kind == ControlKind::Frame) SyncContainedIn(bound.row->name);
    };
    // Through the dialog manager, so that the default button follows the
    // focus.  The dialog manager also selects all the text of an edit box
    // that it focuses; a focus request leaves what the user typed as it was,
    // with the selection and caret where they were, so the next key adds to it.
    control.model->FocusRequested = [this, index] {
        HWND hwnd = controls_[index].hwnd;
        if (!hwnd) return;
        const bool keepsSelection = (SendMessageW(hwnd, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0;
        DWORD start = 0, end = 0;
        if (keepsSelection)
            SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(hwnd), TRUE);
        if (keepsSelection) SendMessageW(hwnd, EM_SETSEL, start, end);
    };
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
    const bool wasUpdating = std::exchange(updatingFromModel_, true);
    if (HWND hwnd = control.hwnd) {
        const bool enabled = EffectiveEnabled(control);
        if ((IsWindowEnabled(hwnd) != FALSE) != enabled) {
            // A disabled control keeps no focus: it hands it to the next tab
            // stop first, since once disabled it has lost it and "next" would
            // start from nothing.
            if (!enabled && GetFocus() == hwnd) SendMessageW(hwnd_, WM_NEXTDLGCTL, 0, FALSE);
            EnableWindow(hwnd, enabled);
        }
    }
    if (control.hwnd || !KindRow(control.row->kind).className) KindRow(control.row->kind).sync(control, hwnd_);
    updatingFromModel_ = wasUpdating;
}

BoundControl* LayoutWindow::FindById(int id) {
    for (BoundControl& control : controls_)
        if (control.id == id) return &control;
    return nullptr;
}

const BoundControl* LayoutWindow::FindByHwnd(HWND hwnd) const {
    for (const BoundControl& control : controls_)
        if (control.hwnd == hwnd && hwnd) return &control;
    return nullptr;
}

void LayoutWindow::OnCommand(int id, int code) {
    // The controls' answers to the binding's own writes.
    if (updatingFromModel_) return;
    BoundControl* control = FindById(id);
    if (!control || !control->hwnd) return;
    // Only the notification that carries user input; the others (EN_UPDATE,
    // focus, drop-down) arrive while the control holds input that the model
    // has not seen yet, and must not put the model's state back.
    const ControlKindRow& kind = KindRow(control->row->kind);
    if (code != kind.inputNotification) return;

    kind.input(*control);
    // Where the model kept its state (a click on the selected option, a
    // refused value), the control goes back to showing it.  The handler may
    // have closed the window: Sync then does nothing.
    Sync(*control);
}

void LayoutWindow::OnTimer(UINT_PTR id) {
    if (ReportingUnhandledFailure()) return;
    BoundControl* control = FindById(static_cast<int>(id));
    if (!control || control->row->kind != ControlKind::Timer) return;
    static_cast<TimerModel&>(*control->model).Elapse();
}

LRESULT LayoutWindow::OnControlColour(UINT message, HDC dc, HWND child) {
    const BoundControl* control = FindByHwnd(child);
    if (!control || (control->row->foreColour == DefaultColour && control->row->backColour == DefaultColour))
        return DefDlgProcW(hwnd_, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));

    SystemColour fore = control->row->foreColour;
    if (control->row->kind == ControlKind::Label) fore = static_cast<const LabelModel&>(*control->model).ForeColour();
    // Edit boxes draw on the window colour and statics on the button face
    // unless told otherwise.
    const SystemColour back = control->row->backColour != DefaultColour ? control->row->backColour
                              : message == WM_CTLCOLOREDIT              ? ColourWindow
                                                                        : ColourButtonFace;
    if (fore != DefaultColour) SetTextColor(dc, ColourOf(fore));
    SetBkColor(dc, ColourOf(back));
    return reinterpret_cast<LRESULT>(BrushOf(back));
}

void LayoutWindow::OnDestroy() {
    for (BoundControl& control : controls_) {
        if (control.timerSet) KillTimer(hwnd_, static_cast<UINT_PTR>(control.id));
        control.timerSet = false;
    }
    if (events_.destroyed) events_.destroyed();
}

LRESULT LayoutWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case CreateTooltipsMessage: CreateTooltips(); return 0;
    case DpiChangedMessage:
        // The new resolution in the high word, and the rectangle that Windows
        // suggests for the window on its new monitor.
        ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return OnControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));

    case WM_ACTIVATE: {
        // The dialog manager puts the focus back first.
        const LRESULT result = DefDlgProcW(hwnd_, message, wParam, lParam);
        if (LOWORD(wParam) != WA_INACTIVE && events_.activated) events_.activated();
        return result;
    }
    // The close box, Alt+F4, the system menu and another program's request
    // (taskkill): the dialog manager would turn them into IDCANCEL, which no
    // control of these windows answers.  Escape never comes this way, not even
    // from a multi-line box (control_binding.cpp): it stays IDCANCEL.
    case WM_CLOSE:
        if (events_.closeCommand)
            events_.closeCommand();
        else
            DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY: OnDestroy(); break;
    case WM_NCDESTROY:
        // The children are gone: model changes from now on have nothing to show.
        for (BoundControl& control : controls_) control.hwnd = nullptr;
        tooltip_ = nullptr;
        break;
    default: break;
    }
    return DefDlgProcW(hwnd_, message, wParam, lParam);
}

}  // namespace ui
