// The real login dialog under Wine on a virtual display.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fake_version_probe.h"
#include "tests/support/memory_registry.h"
#include "tests/support/registry_keys.h"
#include "tests/support/win32/window_input.h"
#include "tests/support/login_session.h"
#include "ui/win32/layout_window.h"
#include "ui/win32/program_windows.h"
#include "ui/win32/shell_win32.h"

using namespace window_input;

namespace {

class Form2Window : public ::testing::Test, protected LoginSession {
protected:
    std::vector<std::string> hostCalls;
    std::unique_ptr<ui::LayoutWindow> window;
    bool existedWhenClosed = false;
    bool visibleWhenClosed = false;
    bool hadControlsWhenClosed = false;

    void Start() {
        form = std::make_unique<ui::Form2>(
            reg, shell, [] {},
            [this] {
                // The dialog's window is gone by the time the main window is asked for.
                hostCalls.push_back(window->Hwnd() ? "ShowForm1 with the dialog still there" : "ShowForm1");
            });
        // As the program starts it: hidden while the load runs, shown when
        // the load leaves it waiting, destroyed when it closes.
        form->Closed = [this] {
            existedWhenClosed = window && window->Hwnd();
            visibleWhenClosed = existedWhenClosed && IsWindowVisible(window->Hwnd());
            hadControlsWhenClosed = existedWhenClosed && Control(L"txtPassword") != nullptr;
            window->Destroy();
        };
        window = std::make_unique<ui::LayoutWindow>(
            ui::Form2Layout, form->Controls(),
            ui::LayoutWindowEvents{.load = [this] { form->Form_Load(); },
                                   .closeCommand = [this] { form->CloseCommand(); }});
        window->Create(ui::LayoutWindow::ContentsAt::FirstShow);
        if (form->State() == ui::Form2::StateKind::Waiting) window->Show();
        PumpFor(std::chrono::milliseconds(50));
    }

    HWND Control(std::wstring_view name) const { return ControlOf(window->Hwnd(), ui::Form2Layout, name); }
};

// In the program's loop: the user closes the login dialog with its close box.
void CALLBACK CloseTheLogin(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    HWND login = FindWindowW(nullptr, L"Quelvane 2 - Login");
    if (login && IsWindowVisible(login)) PostMessageW(login, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// Ends a loop that nothing else ended, with a code of its own.
void CALLBACK EndTheLoopAnyway(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(99); }

}  // namespace

TEST_F(Form2Window, WaitsWithTheFocusInThePasswordBoxWhenAPasswordIsStored) {
    StorePassword(std::wstring(L"Tulip"));
    Start();

    ASSERT_NE(window->Hwnd(), nullptr);
    EXPECT_TRUE(IsWindowVisible(window->Hwnd()));
    EXPECT_EQ(TextOf(window->Hwnd()), L"Quelvane 2 - Login");
    RECT client;
    GetClientRect(window->Hwnd(), &client);
    EXPECT_EQ(client.right, 2895 / 15);
    EXPECT_EQ(client.bottom, 1575 / 15);
    EXPECT_EQ(GetFocus(), Control(L"txtPassword"));
    EXPECT_EQ(TextOf(Control(L"Frame1")), L"Password required");
    EXPECT_EQ(AccessibleName(Control(L"txtPassword")), L"Password required");  // said by a screen reader
    EXPECT_EQ(SendMessageW(Control(L"txtPassword"), EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_EQ(GetWindowLongW(Control(L"cmdOK"), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(hostCalls.empty());
}

TEST_F(Form2Window, RejectsAWrongPasswordKeepsItAndAcceptsTheRightOneWithEnter) {
    StorePassword(std::wstring(L"Tulip"));
    Start();

    SetWindowTextW(Control(L"txtPassword"), L"tulip");
    SendMessageW(Control(L"txtPassword"), EM_SETSEL, 5, 5);  // the caret after the last key
    SendMessageW(Control(L"cmdOK"), BM_CLICK, 0, 0);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0].title, L"Login is failure");
    EXPECT_EQ(TextOf(Control(L"txtPassword")), L"tulip");
    EXPECT_EQ(GetFocus(), Control(L"txtPassword"));
    // Neither cleared nor selected: the caret is where it was.
    DWORD start = 0, end = 0;
    SendMessageW(Control(L"txtPassword"), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(std::make_pair(start, end), std::make_pair(DWORD{5}, DWORD{5}));

    PressKey(VK_ESCAPE);  // bound to no button
    EXPECT_NE(window->Hwnd(), nullptr);

    SetWindowTextW(Control(L"txtPassword"), L"Tulip");
    PressKey(VK_RETURN);
    EXPECT_EQ(window->Hwnd(), nullptr);
    EXPECT_TRUE(visibleWhenClosed);
    EXPECT_TRUE(hadControlsWhenClosed);
    EXPECT_EQ(hostCalls, std::vector<std::string>{"ShowForm1"});
}

TEST_F(Form2Window, IsNeverShownWhenNoPasswordIsStored) {
    StorePassword(std::wstring());
    Start();

    EXPECT_TRUE(existedWhenClosed);
    EXPECT_FALSE(visibleWhenClosed);
    // A dialog that closes unseen never makes its controls.
    EXPECT_FALSE(hadControlsWhenClosed);
    EXPECT_EQ(window->Hwnd(), nullptr);
    EXPECT_EQ(hostCalls, std::vector<std::string>{"ShowForm1"});
}

// The program's own wiring of its windows and its shell, as WinMain runs them.
TEST(ProgramWindows, TheLoginsCloseBoxEndsTheProgramWithoutTheMainWindow) {
    LoginSession session;
    session.StorePassword(std::wstring(L"Tulip"));
    FakeVersionProbe probe{L"5.1.2600"};
    ui::ShellWin32 shell;
    SetTimer(nullptr, 0, 500, CloseTheLogin);
    const UINT_PTR anyway = SetTimer(nullptr, 0, 10000, EndTheLoopAnyway);

    EXPECT_EQ(ui::RunProgramWindows(
                  session.reg, probe, shell, [] {}, 0, SW_SHOWNORMAL),
              0);
    KillTimer(nullptr, anyway);
    // The main window's load asks for the version: it never ran.
    EXPECT_EQ(probe.questions, 0);
    EXPECT_EQ(FindWindowW(nullptr, L"Quelvane 2 - Login"), nullptr);
}
