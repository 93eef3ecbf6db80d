// Windows only: a real top-level window and its child controls, made from a
// WindowLayout and bound to the window's control models.  The program's two
// windows are these, made where the program starts:
//
//   ui::Form1 form(registryProvider, versionProbe, shell);     // outlives the window
//   ui::LayoutWindow window(ui::Form1Layout, form.Controls(),
//                           {.load = [&] { form.Form_Load(); }, .activated = [&] { form.Form_Activate(); },
//                            .destroyed = [] { PostQuitMessage(0); }},
//                           IDI_QUELVANE);                      // icon resource id, 0 for none
//   window.Create();        // hidden; every control shows its model's state; then the load
//   window.Show(SW_SHOWNORMAL);
//   return ui::RunMessageLoop();
//
// Windows is the dialog manager: the class has the dialog's extra bytes and
// its messages fall through to DefDlgProcW, which gives the default button,
// Tab and Shift+Tab, Enter and the focus kept across activations.  The
// procedure is the class's own, not a dialog procedure: it returns its
// results itself (no DWLP_MSGRESULT), keeps the object in GWLP_USERDATA, and
// never sees WM_INITDIALOG, since CreateWindowExW makes the window.
//
// Binding: every change of a model is shown in its control (enabled state,
// texts, checks, selection, colours, progress, the timer); user input goes to
// the models through the same setters that the program uses.  While the
// binding writes to a control, the notifications that the control sends
// about it are dropped, so a program change never comes back as a second,
// user-made event.  A row's control has the id
// FirstControlId plus the row's index in the layout, so GetDlgItem finds it.
//
// Resolution: the window is laid out for its monitor's (GetDpiForWindow on
// Windows 10, else the screen's), the client area the layout's, the frame
// fixed.  Moved to a monitor of another scale (WM_DPICHANGED), it makes its
// fonts and icons again and lays every control out from the layout's twips
// as a start there would, then takes the rectangle that Windows suggests; so
// moving back gives the first layout again, to the pixel.
//
// Names: a screen reader names a text box or a list after the static right
// before it in the Z order.  The caption of a row whose labelFor names the box
// stands there in an invisible static, since the Z order is the tab order.
// A failure that escapes a handler rises to the program's boundary for it:
// the window procedure's (base_window.h), or WinMain's for the load and the
// activation that Create and Show run outside any window procedure.
#pragma once

#include <windows.h>

#include <functional>
#include <string_view>
#include <vector>

#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/win32/base_window.h"
#include "ui/win32/control_binding.h"
#include "ui/win32/message_loop.h"
#include "win32/scoped.h"

namespace ui {

// Clear of IDOK and IDCANCEL, which the dialog manager sends for Enter and
// Escape when no control claims them: neither may reach a control.
inline constexpr int FirstControlId = 100;

struct LayoutWindowEvents {
    std::function<void()> load{};          // the window exists, hidden, with its controls if made at creation
    std::function<void()> activated{};     // every activation of the window
    std::function<void()> closeCommand{};  // the platform's close command; without one the window is destroyed
    std::function<void()> destroyed{};     // the window is being destroyed
};

class LayoutWindow : public BaseWindow<LayoutWindow> {
public:
    // models: one for each row of the layout, in its order, else std::logic_error.
    LayoutWindow(const WindowLayout& layout, ControlList models, LayoutWindowEvents events, int iconResourceId = 0);
    ~LayoutWindow();

    // Makes the hidden window, and with it its icons and controls, then runs
    // the load; with ContentsAt::FirstShow icons and controls wait for the
    // first Show, so that a window that may close unseen never pays for them.
    // Raises win32::PlatformFailure when the platform refuses a window.
    enum class ContentsAt { Creation, FirstShow };
    void Create(ContentsAt contentsAt = ContentsAt::Creation);
    // Shows the window, then runs the activation handler once more: a window
    // shown without being activated (SW_SHOWNOACTIVATE, another program in
    // front) is still the freshly shown one.
    void Show(int showCommand = SW_SHOWNORMAL);
    void Destroy();

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT DefaultProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        return DefDlgProcW(hwnd, message, wParam, lParam);
    }

private:
    void CreateContents();
    void CreateControls();
    void CreateControl(BoundControl& control);
    void CreateInvisibleLabel(std::wstring_view caption);
    void CreateTooltips();
    void MakeFonts();
    void LoadIcons();
    void PlaceControl(BoundControl& control);
    void SetTooltipFont();
    void ChangeDpi(int dpi, const RECT& suggested);
    SIZE FrameSize() const;
    int PlacedHeight(const ControlKindRow& kind, const RECT& rect) const;
    HFONT FontOf(const LayoutRow& row) const;
    void Bind(BoundControl& control);
    void Sync(BoundControl& control);
    void SyncContainedIn(std::wstring_view frame);
    bool EffectiveEnabled(const BoundControl& control) const;
    void OnCommand(int id, int code);
    void OnTimer(UINT_PTR id);
    void OnDestroy();
    LRESULT OnControlColour(UINT message, HDC dc, HWND child);
    BoundControl* FindById(int id);
    const BoundControl* FindByHwnd(HWND hwnd) const;
    RECT PixelRect(const LayoutRow& row) const;

    const WindowLayout& layout_;
    ControlList models_;
    LayoutWindowEvents events_;
    int iconResourceId_;
    bool contentsMade_ = false;
    int dpi_ = 96;
    std::vector<BoundControl> controls_;
    win32::UniqueFont windowFont_;
    win32::UniqueFont markerFont_;
    win32::UniqueFont tooltipFont_;
    win32::UniqueIcon bigIcon_;
    win32::UniqueIcon smallIcon_;
    HWND tooltip_ = nullptr;  // owned by the window, destroyed with it
    bool updatingFromModel_ = false;
};

}  // namespace ui
