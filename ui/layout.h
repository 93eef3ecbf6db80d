// A window's controls described once, as data.  Both the headless control
// models and the real Win32 controls are made from these rows, so a reviewer
// checks a window against its design in one read.
//
// Positions and sizes are in twips (15 twips to a pixel at 96 DPI), relative
// to the row's container: the window's client area or a group frame.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace ui {

enum class ControlKind { Frame, Label, TextBox, CheckBox, OptionButton, ComboList, Button, ProgressBar, Timer };

// Windows system colours with the high bit set, as the design writes them.
using SystemColour = std::uint32_t;
inline constexpr SystemColour DefaultColour = 0;
inline constexpr SystemColour ColourWindow = 0x80000005;
inline constexpr SystemColour ColourHighlight = 0x8000000D;
inline constexpr SystemColour ColourButtonFace = 0x8000000F;
inline constexpr SystemColour ColourInfoText = 0x80000017;

inline constexpr int NoTabIndex = -1;
inline constexpr int NoMember = -1;

struct LayoutRow {
    std::wstring_view name{};  // control name, e.g. L"optSecurity"
    int member = NoMember;     // 0 or 1 for the two control arrays
    ControlKind kind{};
    std::wstring_view container{};  // empty: the window; otherwise a frame's name
    int left = 0, top = 0, width = 0, height = 0;
    int tabIndex = NoTabIndex;
    std::wstring_view text{};  // caption or initial text
    bool enabled = true;
    bool checked = false;  // option button selected / check box checked
    SystemColour foreColour = DefaultColour;
    SystemColour backColour = DefaultColour;
    bool boldMarkerFont = false;  // "MS Sans Serif" 8.25 pt bold
    bool password = false;        // every character shown as "*"
    bool multiLine = false;       // with a vertical scroll bar
    bool defaultButton = false;
    std::wstring_view tooltip{};
    int interval = 0;                            // timer, milliseconds
    std::span<const std::wstring_view> items{};  // drop-down list items, in order
    int minimum = 0, maximum = 0;                // progress bar range
    bool inputMethodDisabled = false;            // text box: no input method editor
    // A label or frame whose caption names this text box or list, the name
    // that a screen reader says for it.
    std::wstring_view labelFor{};
};

struct WindowLayout {
    std::wstring_view name;
    std::wstring_view caption;
    int clientWidth = 0, clientHeight = 0;  // twips
    std::span<const LayoutRow> rows;
};

// Twips to pixels at a given DPI (1440 twips an inch), rounded to nearest.
constexpr int TwipsToPixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

}  // namespace ui
