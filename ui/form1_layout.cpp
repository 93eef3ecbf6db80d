#include "ui/form1_layout.h"

#include "policy/drive_selection_table.h"

namespace ui {

namespace {

using enum ControlKind;

// The drive list shows the drive selection table's items, in its order.
constexpr std::array<std::wstring_view, policy::DriveSelectionRowCount> DriveItemTexts = policy::DriveItems();

constexpr std::wstring_view NotesText =
    L"Click the Save button and Logoff your Windows for the change to take effect. Limited account is cannot to "
    L"change configurations of your system, so you must logon as administrator account.\r\n";

// Rows in the order of the design; the tab index, not the row order, decides
// the keyboard order and the creation order of the real controls.
// One row per control, to be read against the design.
// clang-format off
constexpr std::array Form1Rows{
    LayoutRow{.name = L"fraSecurity", .kind = Frame, .left = 120, .top = 120, .width = 4455, .height = 855,
              .tabIndex = 2, .text = L"Security mode"},
    LayoutRow{.name = L"optSecurity", .member = 0, .kind = OptionButton, .left = 240, .top = 360, .width = 3975,
              .height = 255, .tabIndex = 3, .text = L"Prevent Access to the Contents of Selected Drives",
              .checked = true},
    LayoutRow{.name = L"optSecurity", .member = 1, .kind = OptionButton, .left = 240, .top = 600, .width = 2415,
              .height = 255, .tabIndex = 4, .text = L"Hide Drives in My Computer "},
    LayoutRow{.name = L"Label3", .kind = Label, .container = L"fraSecurity", .left = 4080, .top = 240, .width = 255,
              .height = 255, .tabIndex = 23, .text = L"*", .foreColour = ColourHighlight, .boldMarkerFont = true},
    LayoutRow{.name = L"fraDrive", .kind = Frame, .left = 120, .top = 1080, .width = 2175, .height = 855,
              .tabIndex = 0, .text = L"Drive letters", .labelFor = L"cboDrive"},
    LayoutRow{.name = L"cboDrive", .kind = ComboList, .left = 240, .top = 1440, .width = 1815, .height = 315,
              .tabIndex = 1, .items = DriveItemTexts},
    LayoutRow{.name = L"fraRestrict", .kind = Frame, .left = 2400, .top = 1080, .width = 2175, .height = 855,
              .tabIndex = 10, .text = L"Restrict to:", .labelFor = L"cboRestrict"},
    LayoutRow{.name = L"cboRestrict", .kind = ComboList, .left = 2520, .top = 1440, .width = 1815, .height = 315,
              .tabIndex = 11, .items = RestrictItems},
    LayoutRow{.name = L"fraOptional", .kind = Frame, .left = 120, .top = 2040, .width = 4455, .height = 975,
              .tabIndex = 16, .text = L"Optional", .enabled = false},
    LayoutRow{.name = L"chkCMD", .kind = CheckBox, .left = 240, .top = 2280, .width = 3255, .height = 255,
              .tabIndex = 18, .text = L"Prevent access to the Command Prompt", .enabled = false},
    LayoutRow{.name = L"chkRegistry", .kind = CheckBox, .left = 240, .top = 2640, .width = 2415, .height = 255,
              .tabIndex = 17, .text = L"Disable Registry Editing Tools ", .enabled = false},
    LayoutRow{.name = L"Label4", .kind = Label, .container = L"fraOptional", .left = 3360, .top = 240, .width = 255,
              .height = 255, .tabIndex = 24, .text = L"*", .foreColour = ColourHighlight, .boldMarkerFont = true},
    LayoutRow{.name = L"fraPassword", .kind = Frame, .left = 120, .top = 3120, .width = 4455, .height = 975,
              .tabIndex = 7, .text = L"Login password"},
    LayoutRow{.name = L"Label1", .member = 0, .kind = Label, .container = L"fraPassword", .left = 240, .top = 240,
              .width = 975, .height = 255, .tabIndex = 13, .text = L"Password    :", .labelFor = L"txtPassword"},
    LayoutRow{.name = L"Label1", .member = 1, .kind = Label, .container = L"fraPassword", .left = 240, .top = 600,
              .width = 975, .height = 255, .tabIndex = 14, .text = L"Retype        :", .labelFor = L"txtPassword2"},
    LayoutRow{.name = L"txtPassword", .kind = TextBox, .left = 1320, .top = 3360, .width = 3015, .height = 285,
              .tabIndex = 8, .password = true, .inputMethodDisabled = true},
    LayoutRow{.name = L"txtPassword2", .kind = TextBox, .left = 1320, .top = 3720, .width = 3015, .height = 285,
              .tabIndex = 12, .password = true, .inputMethodDisabled = true},
    LayoutRow{.name = L"Label2", .kind = Label, .left = 120, .top = 4200, .width = 4215, .height = 255,
              .tabIndex = 15, .text = L"Notes: ", .labelFor = L"Text1"},
    LayoutRow{.name = L"Text1", .kind = TextBox, .left = 120, .top = 4440, .width = 4455, .height = 855,
              .tabIndex = 19, .text = NotesText, .foreColour = ColourInfoText, .backColour = ColourButtonFace,
              .multiLine = true},
    LayoutRow{.name = L"lblLoading", .kind = Label, .left = 120, .top = 5400, .width = 3735, .height = 255,
              .tabIndex = 21, .text = L"* Only compatible for Windows 2000/Me/XP", .foreColour = ColourHighlight},
    LayoutRow{.name = L"lblLoading2", .kind = Label, .left = 4080, .top = 5400, .width = 495, .height = 255,
              .tabIndex = 22, .foreColour = ColourHighlight},
    LayoutRow{.name = L"pgbLoading", .kind = ProgressBar, .left = 120, .top = 5640, .width = 4455, .height = 135,
              .tabIndex = 20, .minimum = 0, .maximum = 100},
    LayoutRow{.name = L"cmdAbout", .kind = Button, .left = 120, .top = 5880, .width = 975, .height = 375,
              .tabIndex = 9, .text = L"About"},
    LayoutRow{.name = L"cmdLogoff", .kind = Button, .left = 2400, .top = 5880, .width = 975, .height = 375,
              .tabIndex = 6, .text = L"Logoff", .tooltip = L"Log out your Windows"},
    LayoutRow{.name = L"cmdSave", .kind = Button, .left = 3600, .top = 5880, .width = 975, .height = 375,
              .tabIndex = 5, .text = L"Save", .enabled = false, .defaultButton = true,
              .tooltip = L"Save your configurations"},
    LayoutRow{.name = L"tmrLoading", .kind = Timer, .interval = 25},
};
// clang-format on

}  // namespace

// Constant-initialised, like every row and item it points to: the table is
// ready before any window is made, whatever the order in which the program's
// static objects are initialised.
constinit const WindowLayout Form1Layout{
    .name = L"Form1", .caption = L"Quelvane 2", .clientWidth = 4695, .clientHeight = 6375, .rows = Form1Rows};

}  // namespace ui
