// Windows only: a real top-level window and its child controls, made from a
// WindowLayout and bound to the window's control models.
//
// Usage (Form1Window and Form2Window do this for the program's two windows):
//   ui::LayoutWindow window(layout, [&](const ui::LayoutRow& row) -> ui::ControlModel& { ... },
//                           {.activated = [&] { ... }, .destroyed = [] { PostQuitMessage(0); }}, IDI_APP);
//   window.Create();        // hidden; every control shows its model's state
//   window.Show(SW_SHOWNORMAL);
//   return ui::RunMessageLoop();
//
// Binding: every change of a model is shown in its control (enabled state,
// texts, checks, selection, colours, progress, the timer); user input goes to
// the models through the same setters that the program uses.  While the
// binding writes to a control, the notifications that the control sends
// about it are dropped, so a program change never comes back as a second,
// user-made event.  Sizes come from the screen's real resolution; the client
// area is the layout's, the frame fixed.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/win32/base_window.h"
#include "ui/win32/control_binding.h"
#include "ui/win32/message_loop.h"
#include "win32/scoped.h"

namespace ui {

// The model that a layout row stands for.
using ModelLookup = std::function<ControlModel&(const LayoutRow&)>;

struct LayoutWindowEvents {
    std::function<void()> activated{};     // every activation of the window
    std::function<void()> closeCommand{};  // the platform's close command; without one the window is destroyed
    std::function<void()> destroyed{};     // the window is being destroyed
};

class LayoutWindow : public BaseWindow<LayoutWindow> {
public:
    LayoutWindow(const WindowLayout& layout, ModelLookup lookup, LayoutWindowEvents events, int iconResourceId = 0);
    ~LayoutWindow();

    // Makes the hidden window, and with it its icons and controls; with
    // ContentsAt::FirstShow those wait for the first Show, so that a window
    // that may close unseen never pays for them.  Raises win32::PlatformFailure
    // when the platform refuses a window.
    enum class ContentsAt { Creation, FirstShow };
    void Create(ContentsAt contentsAt = ContentsAt::Creation);
    void Show(int showCommand);
    void Destroy();

    // The control of a row, or nullptr (no such row, a timer, or no window).
    HWND Control(std::wstring_view name, int member = NoMember) const;
    // The tooltip window, made once the window has been shown; nullptr before.
    HWND Tooltip() const { return tooltip_; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Whether a top-level window is one of these (for the message loop).
    static bool IsLayoutWindow(HWND hwnd);

private:
    void CreateContents();
    void CreateControls();
    void CreateControl(BoundControl& control);
    void CreateTooltips();
    void Subscribe(BoundControl& control);
    void Sync(BoundControl& control);
    void SyncContainedIn(std::wstring_view frame);
    bool EffectiveEnabled(const BoundControl& control) const;
    void OnCommand(int id, int code);
    void OnTimer(UINT_PTR id);
    void OnActivate(bool active);
    void OnDestroy();
    LRESULT OnControlColour(UINT message, HDC dc, HWND child);
    void RestoreFocus();
    BoundControl* FindById(int id);
    const BoundControl* FindByHwnd(HWND hwnd) const;
    RECT PixelRect(const LayoutRow& row) const;

    const WindowLayout& layout_;
    ModelLookup lookup_;
    LayoutWindowEvents events_;
    int iconResourceId_;
    bool contentsMade_ = false;
    int dpiX_ = 96;
    int dpiY_ = 96;
    std::vector<BoundControl> controls_;
    win32::UniqueFont windowFont_;
    win32::UniqueFont markerFont_;
    win32::UniqueIcon bigIcon_;
    win32::UniqueIcon smallIcon_;
    HWND tooltip_ = nullptr;  // owned by the window, destroyed with it
    int defaultButtonId_ = 0;
    HWND lastFocus_ = nullptr;
    bool updatingFromModel_ = false;
    // The models usually outlive the window: its subscriptions end with it.
    std::vector<ScopedConnection> subscriptions_;
};

}  // namespace ui
