// The real main window under Wine on a virtual display: its controls as the
// layout table draws them, and a save driven through the controls.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <process.h>
#include <shlwapi.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/status_texts.h"
#include "tests/support/win32/window_input.h"
#include "tests/support/main_window_session.h"
#include "text/utf.h"
#include "ui/win32/program_windows.h"
#include "win32/module.h"

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;
using ui::ControlKind;
using ui::LayoutRow;
using values::CheckState;

using namespace keys;
using namespace window_input;

namespace {

std::string Utf8(std::wstring_view text) { return text::ToUtf8(std::wstring(text)); }

std::string NameOf(const LayoutRow& row) {
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "(" + std::string.
    std::string name = Utf8(row.name);
    if (row.member != ui::NoMember) {
        name += '(';
        name += std::to_string(row.member);
        name += ')';
    }
    return name;
}

// The main window as the program shows it after the login: an in-memory
// registry, Windows XP as the version, message boxes answered by the test.
class Form1Window : public ::testing::Test, protected MainWindowSession {
protected:
    std::unique_ptr<ui::LayoutWindow> window;

    void SetUp() override {
        window = std::make_unique<ui::LayoutWindow>(ui::Form1Layout, form.Controls(), ui::Form1WindowEvents(form));
        window->Create();
        window->Show();
        PumpFor(std::chrono::milliseconds(100));
    }

    void TearDown() override {
        window.reset();
        // Closing Form1 asks the loop to end; that request is not for the next test.
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    }

    HWND Control(const LayoutRow& row) const { return Control(row.name, row.member); }
    HWND Control(std::wstring_view name, int member = ui::NoMember) const {
        return ControlOf(window->Hwnd(), ui::Form1Layout, name, member);
    }

    // The tooltip window that the main window owns: a top-level window of
    // its own; null until it is made.
    HWND Tooltip() const {
        HWND tooltip = nullptr;
        do tooltip = FindWindowExW(nullptr, tooltip, TOOLTIPS_CLASSW, nullptr);
        while (tooltip && GetWindow(tooltip, GW_OWNER) != window->Hwnd());
        return tooltip;
    }

    // What a user's choice in a drop-down list sends; CB_SETCURSEL alone
    // notifies nobody.
    void ChooseItem(std::wstring_view list, int index) {
        HWND combo = Control(list);
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        SendMessageW(window->Hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(combo));
    }

    static int ScreenDpi() {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return dpi;
    }

    const LayoutRow& Row(std::wstring_view name, int member = ui::NoMember) const {
        return ui::FindRow(ui::Form1Layout, name, member);
    }
};

}  // namespace

TEST_F(Form1Window, RunsAtTheScreenResolutionTheTestAskedFor) {
    const char* expected = std::getenv("QUELVANE_EXPECTED_DPI");
    EXPECT_EQ(ScreenDpi(), expected ? std::atoi(expected) : 96);
}

TEST_F(Form1Window, HasAFixedClientAreaOfThreeHundredThirteenByFourHundredTwentyFivePixelsAtNinetySixDpi) {
    const int dpi = ScreenDpi();
    RECT client;
    GetClientRect(window->Hwnd(), &client);
    EXPECT_EQ(client.right - client.left, ui::TwipsToPixels(4695, dpi));
    EXPECT_EQ(client.bottom - client.top, ui::TwipsToPixels(6375, dpi));
    if (dpi == 96) {
        EXPECT_EQ(client.right - client.left, 313);
        EXPECT_EQ(client.bottom - client.top, 425);
    }
    EXPECT_EQ(TextOf(window->Hwnd()), L"Quelvane 2");
    const LONG style = GetWindowLongW(window->Hwnd(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(IsWindowVisible(window->Hwnd()));
}

TEST_F(Form1Window, DrawsEveryControlOfTheLayoutWithItsClassPlaceAndSize) {
    // Drawn: the invisible statics that name the boxes for screen readers are not.
    std::vector<HWND> children;
    for (HWND child = GetWindow(window->Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) children.push_back(child);
    EXPECT_EQ(children.size(), 25u);

    for (const LayoutRow& row : ui::Form1Layout.rows) {
        if (row.kind == ControlKind::Timer) continue;
        SCOPED_TRACE(NameOf(row));
        HWND hwnd = Control(row);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(GetParent(hwnd), window->Hwnd());
        EXPECT_EQ(ClassOf(hwnd), ExpectedClass(row.kind));

        int left = row.left, top = row.top;
        if (!row.container.empty()) {
            left += Row(row.container).left;
            top += Row(row.container).top;
        }
        RECT rect;
        GetWindowRect(hwnd, &rect);
        MapWindowPoints(nullptr, window->Hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        const int dpi = ScreenDpi();
        EXPECT_EQ(rect.left, ui::TwipsToPixels(left, dpi));
        EXPECT_EQ(rect.top, ui::TwipsToPixels(top, dpi));
        EXPECT_EQ(rect.right - rect.left, ui::TwipsToPixels(left + row.width, dpi) - ui::TwipsToPixels(left, dpi));
        const int height = ui::TwipsToPixels(top + row.height, dpi) - ui::TwipsToPixels(top, dpi);
        if (row.kind == ControlKind::ComboList && dpi > 96) {
            // A closed list is never lower than its font needs: at 144 DPI
            // Wine keeps the 20-pixel items' field at 30 pixels, two more
            // than the row leaves it.
            EXPECT_GE(rect.bottom - rect.top, height);
            EXPECT_LE(rect.bottom - rect.top, height + 2);
        } else {
            EXPECT_EQ(rect.bottom - rect.top, height);
        }
    }
}

TEST_F(Form1Window, ShowsTheLoadedAndActivatedStateInTheControls) {
    for (const LayoutRow& row : ui::Form1Layout.rows) {
        SCOPED_TRACE(NameOf(row));
        // A freshly shown window still reads as it was designed.
        if (row.kind != ControlKind::Timer && row.kind != ControlKind::ComboList &&
            row.kind != ControlKind::ProgressBar) {
            EXPECT_EQ(TextOf(Control(row)), row.text);
        }
    }
    EXPECT_EQ(TextOf(Control(L"cboDrive")), L"No selected");
    EXPECT_EQ(TextOf(Control(L"cboRestrict")), L"Current user");
    EXPECT_EQ(SendMessageW(Control(L"optSecurity", 0), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Control(L"optSecurity", 1), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // Only Save is disabled on Windows XP with scope "Current user".
    for (const LayoutRow& row : ui::Form1Layout.rows) {
        if (row.kind == ControlKind::Timer) continue;
        SCOPED_TRACE(NameOf(row));
        EXPECT_EQ(IsWindowEnabled(Control(row)) != FALSE, row.name != L"cmdSave");
    }
}

TEST_F(Form1Window, NamesEveryTextBoxAndListForAScreenReaderAfterItsLabel) {
    std::vector<std::wstring> names;
    for (const LayoutRow& row : ui::Form1Layout.rows)
        if (row.kind == ControlKind::TextBox || row.kind == ControlKind::ComboList)
            names.push_back(AccessibleName(Control(row)));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Drive letters", L"Restrict to:", L"Password    :", L"Retype        :",
                                                L"Notes: "}));
}

namespace {

// LayoutOf the main window as a start at this resolution makes it: a build of
// the preview, started while the desktop settings say so (Wine reads them as
// a program starts), reports it.
std::vector<std::string> LayoutOfAStartAt(DWORD dpi, DWORD was) {
    SHSetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    const auto quoted = [](const std::filesystem::path& path) { return L"\"" + path.wstring() + L"\""; };
    const auto program = std::filesystem::path(win32::ExecutablePath()).replace_filename("ui_form1_layout_report.exe");
    const auto report = std::filesystem::temp_directory_path() / "form1-layout.txt";
    _wspawnl(_P_WAIT, program.c_str(), quoted(program).c_str(), L"30", L"report", quoted(report).c_str(), nullptr);
    SHSetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &was, sizeof was);
    std::ifstream file(report);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST_F(Form1Window, MovedToTwiceTheScaleAndBackLaysOutAsAStartThereAndThenAsBeforeEveryTime) {
    constexpr UINT DpiChanged = 0x02E0;  // WM_DPICHANGED, newer than the headers for XP
    const std::vector<std::string> first = LayoutOf(window->Hwnd(), ui::Form1Layout);
    const int dpi = ScreenDpi();
    const std::vector<std::string> twice = LayoutOfAStartAt(2 * dpi, dpi);
    ASSERT_EQ(twice.size(), first.size());
    RECT before, after;
    GetWindowRect(window->Hwnd(), &before);
    const int width = std::stoi(twice[0]), height = std::stoi(twice[0].substr(twice[0].find(' ')));  // its size
    const RECT suggested{before.left + 8, before.top + 8, before.left + 8 + width, before.top + 8 + height};
    for (int move = 0; move < 3; ++move) {
        SendMessageW(window->Hwnd(), DpiChanged, MAKEWPARAM(2 * dpi, 2 * dpi), reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(window->Hwnd(), &after);
        EXPECT_TRUE(EqualRect(&after, &suggested));
        EXPECT_EQ(LayoutOf(window->Hwnd(), ui::Form1Layout), twice);
        SendMessageW(window->Hwnd(), DpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&before));
        EXPECT_EQ(LayoutOf(window->Hwnd(), ui::Form1Layout), first);
    }
}

TEST_F(Form1Window, GivesEachKindOfControlItsDesignedBehaviourAndLook) {
    HWND notes = Control(L"Text1");
    EXPECT_TRUE(GetWindowLongW(notes, GWL_STYLE) & ES_MULTILINE);
    EXPECT_TRUE(GetWindowLongW(notes, GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(TextOf(notes).size(), 189u);
    for (auto name : {L"txtPassword", L"txtPassword2"}) {
        EXPECT_EQ(SendMessageW(Control(name), EM_GETPASSWORDCHAR, 0, 0), L'*');
        EXPECT_TRUE(GetWindowLongW(Control(name), GWL_STYLE) & ES_PASSWORD);
    }
    EXPECT_EQ((GetWindowLongW(Control(L"cboDrive"), GWL_STYLE) & 3), CBS_DROPDOWNLIST);
    EXPECT_EQ(SendMessageW(Control(L"cboDrive"), CB_GETCOUNT, 0, 0), 33);
    EXPECT_EQ(SendMessageW(Control(L"cboRestrict"), CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(GetWindowLongW(Control(L"cmdSave"), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongW(Control(L"chkCMD"), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_EQ(GetWindowLongW(Control(L"optSecurity", 0), GWL_STYLE) & (BS_TYPEMASK | WS_GROUP),
              BS_AUTORADIOBUTTON | WS_GROUP);
    EXPECT_EQ(GetWindowLongW(Control(L"optSecurity", 1), GWL_STYLE) & (BS_TYPEMASK | WS_GROUP), BS_AUTORADIOBUTTON);
    EXPECT_EQ(SendMessageW(Control(L"pgbLoading"), PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageW(Control(L"pgbLoading"), PBM_GETRANGE, FALSE, 0), 100);
}

TEST_F(Form1Window, DrawsEveryControlInMsSansSerifOfEightPointsAtTheScreensResolution) {
    const int dpi = ScreenDpi();
    for (const LayoutRow& row : ui::Form1Layout.rows) {
        if (row.kind == ControlKind::Timer) continue;
        SCOPED_TRACE(NameOf(row));
        const auto font = reinterpret_cast<HFONT>(SendMessageW(Control(row), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        EXPECT_NE(font, GetStockObject(DEFAULT_GUI_FONT));
        LOGFONTW asked{};
        ASSERT_EQ(GetObjectW(font, sizeof asked, &asked), static_cast<int>(sizeof asked));
        EXPECT_EQ(std::wstring(asked.lfFaceName), L"MS Sans Serif");
        // 8 pt, the markers 8.25 pt bold: 11 and 11 pixels at 96 DPI, 16 and 17 at 144.
        EXPECT_EQ(asked.lfHeight, row.boldMarkerFont ? -MulDiv(825, dpi, 7200) : -MulDiv(8, dpi, 72));
        EXPECT_EQ(asked.lfWeight, row.boldMarkerFont ? FW_BOLD : FW_NORMAL);
    }
    // The face that the screen really draws with: the prefix has Wine's own
    // fonts, so no other face stands in for it.
    HDC dc = GetDC(Control(L"Label2"));
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Control(L"Label2"), WM_GETFONT, 0, 0)));
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    ReleaseDC(Control(L"Label2"), dc);
    EXPECT_EQ(std::wstring(face), L"MS Sans Serif");
}

TEST_F(Form1Window, LogoffAndSaveCarryTheirTooltipsOnceTheWindowIsShown) {
    ASSERT_TRUE(PumpUntil([&] { return Tooltip() != nullptr; }, std::chrono::seconds(2)));
    HWND tooltip = Tooltip();
    EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 2);
    for (auto [name, text] :
         {std::pair{L"cmdLogoff", L"Log out your Windows"}, std::pair{L"cmdSave", L"Save your configurations"}}) {
        wchar_t shown[80] = {};
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = window->Hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(Control(name));
        tool.lpszText = shown;
        SendMessageW(tooltip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(std::wstring(shown), text) << text::ToUtf8(name);
    }
}

TEST_F(Form1Window, KeepsTheDesignedTabOrderAndTabSkipsDisabledControls) {
    std::vector<std::string> tabStops;
    for (HWND child = GetWindow(window->Hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP)) continue;
        for (const LayoutRow& row : ui::Form1Layout.rows)
            if (Control(row) == child) tabStops.push_back(NameOf(row));
    }
    // The option group is one stop: its selected member.
    EXPECT_EQ(tabStops,
              (std::vector<std::string>{"cboDrive", "optSecurity(0)", "cmdSave", "cmdLogoff", "txtPassword", "cmdAbout",
                                        "cboRestrict", "txtPassword2", "chkRegistry", "chkCMD", "Text1"}));

    // The Tab key, from the list that has the focus after showing; Save is
    // disabled and skipped.
    ASSERT_EQ(GetFocus(), Control(L"cboDrive"));
    std::vector<HWND> visited;
    for (int i = 0; i < 4; ++i) {
        PressKey(VK_TAB);
        visited.push_back(GetFocus());
    }
    EXPECT_EQ(visited, (std::vector<HWND>{Control(L"optSecurity", 0), Control(L"cmdLogoff"), Control(L"txtPassword"),
                                          Control(L"cmdAbout")}));
}

TEST_F(Form1Window, TheArrowKeysMoveWithinTheOptionGroupAndTabFindsItsSelectedMember) {
    SetFocus(Control(L"optSecurity", 0));
    PressKey(VK_DOWN);
    EXPECT_EQ(GetFocus(), Control(L"optSecurity", 1));
    EXPECT_EQ(form.optSecurity.Selected(), 1);
    EXPECT_TRUE(IsWindowEnabled(Control(L"cmdSave")));
    EXPECT_FALSE(GetWindowLongW(Control(L"optSecurity", 0), GWL_STYLE) & WS_TABSTOP);
    EXPECT_TRUE(GetWindowLongW(Control(L"optSecurity", 1), GWL_STYLE) & WS_TABSTOP);

    // Back in from the list before it, Tab lands on the selected member.
    SetFocus(Control(L"cboDrive"));
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), Control(L"optSecurity", 1));
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), Control(L"cmdSave"));

    // A selection made by the program moves the stop as well.
    form.optSecurity[0].Select();
    EXPECT_TRUE(GetWindowLongW(Control(L"optSecurity", 0), GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(GetWindowLongW(Control(L"optSecurity", 1), GWL_STYLE) & WS_TABSTOP);
}

TEST_F(Form1Window, AnItemTheModelAddsIsListedLastAndCanBeChosen) {
    form.cboDrive.AddItem(L"Custom: A:, B:, C:, D:");
    HWND list = Control(L"cboDrive");
    ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 34);
    wchar_t text[64] = {};
    SendMessageW(list, CB_GETLBTEXT, 33, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(std::wstring(text), L"Custom: A:, B:, C:, D:");
    EXPECT_EQ(TextOf(list), L"No selected");

    ChooseItem(L"cboDrive", 33);
    EXPECT_EQ(form.cboDrive.Text(), L"Custom: A:, B:, C:, D:");
    form.cboDrive.SetText(L"C:");
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), 3);
}

TEST_F(Form1Window, ChoosingADriveEnablesSaveAndSaveRunsTheBarToOneHundredPercent) {
    ChooseItem(L"cboDrive", 3);  // "C:"
    EXPECT_EQ(form.cboDrive.Text(), L"C:");
    EXPECT_TRUE(IsWindowEnabled(Control(L"cmdSave")));

    const auto start = std::chrono::steady_clock::now();
    SendMessageW(Control(L"cmdSave"), BM_CLICK, 0, 0);
    EXPECT_EQ(reg.Value(HiveCurrentUser, ExplorerKey, L"NoViewOnDrive"), registry::StoredValue{std::int32_t{4}});

    const bool done =
        PumpUntil([&] { return TextOf(Control(L"lblLoading")) == status::Successful; }, std::chrono::seconds(15));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(done);
    EXPECT_EQ(TextOf(Control(L"lblLoading2")), L"100%");
    EXPECT_EQ(SendMessageW(Control(L"pgbLoading"), PBM_GETPOS, 0, 0), 100);
    EXPECT_FALSE(IsWindowEnabled(Control(L"cmdSave")));
    EXPECT_GE(elapsed, std::chrono::milliseconds(2000));  // 100 ticks of 25 ms
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(Form1Window, EnterPressesSaveOnlyWhileItIsEnabled) {
    SetFocus(Control(L"txtPassword"));
    PressKey(VK_RETURN);
    EXPECT_FALSE(form.tmrLoading.Running());
    EXPECT_FALSE(reg.HasKey(HiveLocalMachine, SettingsKey));

    SendMessageW(Control(L"chkRegistry"), BM_CLICK, 0, 0);
    ASSERT_EQ(form.chkRegistry.Value(), CheckState::Checked);
    SetFocus(Control(L"txtPassword"));
    PressKey(VK_RETURN);
    EXPECT_TRUE(form.tmrLoading.Running());
    EXPECT_TRUE(reg.HasKey(HiveLocalMachine, SettingsKey));
}

TEST_F(Form1Window, TypingReachesTheModelsAndOnlyTheRetypeBoxEnablesSave) {
    SetWindowTextW(Control(L"txtPassword"), L"Tulip");
    EXPECT_EQ(form.txtPassword.Text(), L"Tulip");
    EXPECT_FALSE(IsWindowEnabled(Control(L"cmdSave")));

    SetWindowTextW(Control(L"txtPassword2"), L"Tulip");
    EXPECT_EQ(form.txtPassword2.Text(), L"Tulip");
    EXPECT_TRUE(IsWindowEnabled(Control(L"cmdSave")));
}

TEST_F(Form1Window, ShowsEveryProgramChangeOfTheModelsWithoutAnEchoAsUserInput) {
    int retypeChanges = 0;
    form.txtPassword2.Change = [&, formsHandler = form.txtPassword2.Change] {
        ++retypeChanges;
        formsHandler.Fire();
    };
    policy::MainWindowValues& values = form;
    values.SetText(policy::TextControl::txtPassword2, L"from the program");
    EXPECT_EQ(TextOf(Control(L"txtPassword2")), L"from the program");
    EXPECT_EQ(retypeChanges, 1);

    // The program's focus request moves the default button with the focus,
    // from the push button that had it back to Save.
    SendMessageW(window->Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(L"cmdLogoff")), TRUE);
    form.chkRegistry.SetFocus();
    EXPECT_EQ(GetFocus(), Control(L"chkRegistry"));
    EXPECT_EQ(GetWindowLongW(Control(L"cmdLogoff"), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);

    ChooseItem(L"cboRestrict", 1);  // "All users"
    EXPECT_FALSE(IsWindowEnabled(Control(L"fraOptional")));
    EXPECT_FALSE(IsWindowEnabled(Control(L"Label4")));  // greyed with its frame
    EXPECT_FALSE(IsWindowEnabled(Control(L"chkCMD")));
    EXPECT_FALSE(IsWindowEnabled(Control(L"chkRegistry")));
    // The box handed the focus on before it was disabled: to the next tab
    // stop that is still enabled, not to the first.
    EXPECT_EQ(GetFocus(), Control(L"Text1"));

    values.SetCheckState(policy::CheckControl::chkCMD, values::CheckState::Grayed);
    EXPECT_EQ(SendMessageW(Control(L"chkCMD"), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    form.optSecurity[1].Select();
    EXPECT_EQ(SendMessageW(Control(L"optSecurity", 0), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(Control(L"optSecurity", 1), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Form1Window, ClickingAGrayedBoxClearsItAndClickingAgainChecksIt) {
    ChooseItem(L"cboRestrict", 0);
    policy::MainWindowValues& values = form;
    values.SetCheckState(policy::CheckControl::chkRegistry, values::CheckState::Grayed);

    SendMessageW(Control(L"chkRegistry"), BM_CLICK, 0, 0);
    EXPECT_EQ(form.chkRegistry.Value(), CheckState::Unchecked);
    SendMessageW(Control(L"chkRegistry"), BM_CLICK, 0, 0);
    EXPECT_EQ(form.chkRegistry.Value(), CheckState::Checked);
    EXPECT_EQ(SendMessageW(Control(L"chkRegistry"), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Form1Window, ClosingTheWindowEndsTheProgramsMessageLoop) {
    PostMessageW(window->Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return window->Hwnd() == nullptr; }, std::chrono::seconds(2)));
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    // Model changes after the window is gone are nobody's to show.
    form.cboDrive.SetText(L"A:");
    EXPECT_TRUE(form.cmdSave.Enabled());
}

// Escape in any control leaves the window open and the user's choices as they
// were, the multi-line Notes box included (which posts WM_CLOSE on Escape).
class Form1WindowEscape : public Form1Window, public ::testing::WithParamInterface<const LayoutRow*> {};

TEST_P(Form1WindowEscape, LeavesTheWindowOpenWithTheChoicesAsTheyWere) {
    ChooseItem(L"cboDrive", 3);  // a choice not saved yet, and Save enabled
    form.Text1.SetText(L"notes");
    HWND control = Control(*GetParam());
    SendMessageW(window->Hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    ASSERT_EQ(GetFocus(), control);
    const auto choices = [&] {
        return std::vector<std::wstring>{form.cboDrive.Text(),
                                         form.cboRestrict.Text(),
                                         std::to_wstring(form.optSecurity.Selected()),
                                         std::to_wstring(static_cast<int>(form.chkCMD.Value())),
                                         std::to_wstring(static_cast<int>(form.chkRegistry.Value())),
                                         form.txtPassword.Text(),
                                         form.txtPassword2.Text(),
                                         form.Text1.Text(),
                                         form.cmdSave.Enabled() ? L"Save enabled" : L"Save disabled"};
    };
    const std::vector<std::wstring> before = choices();

    PressKey(VK_ESCAPE);
    PumpFor(std::chrono::milliseconds(100));

    ASSERT_NE(window->Hwnd(), nullptr);
    EXPECT_TRUE(IsWindowVisible(window->Hwnd()));
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    EXPECT_EQ(choices(), before);
}

namespace {

std::vector<const LayoutRow*> RowsThatTakeTheFocus() {
    std::vector<const LayoutRow*> rows;
    for (const LayoutRow& row : ui::Form1Layout.rows)
        if (row.kind == ControlKind::TextBox || row.kind == ControlKind::CheckBox ||
            row.kind == ControlKind::OptionButton || row.kind == ControlKind::ComboList ||
            row.kind == ControlKind::Button)
            rows.push_back(&row);
    return rows;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(InEveryControlThatTakesTheFocus, Form1WindowEscape,
                         ::testing::ValuesIn(RowsThatTakeTheFocus()), [](const auto& info) {
                             std::string name = NameOf(*info.param);
                             std::erase_if(name, [](char c) { return c == '(' || c == ')'; });
                             return name;
                         });
