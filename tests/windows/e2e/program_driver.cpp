#include "tests/windows/e2e/program_driver.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tests/support/win32/window_input.h"
#include "ui/controls.h"

#ifndef QUELVANE_E2E_PROGRAM
#error "QUELVANE_E2E_PROGRAM must name the built Quelvane 2.exe"
#endif

namespace e2e {

using window_input::ClassOf;
using window_input::ExpectedClass;
using window_input::OnThisHost;
using window_input::TextOf;

namespace {

constexpr std::chrono::milliseconds PollInterval{20};
// A program that does not answer a message within this is hung, not slow.
std::chrono::milliseconds AnswerTimeout() { return OnThisHost(std::chrono::seconds(5)); }

std::wstring Widen(std::string_view text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

[[noreturn]] void FailWithLastError(const std::string& what) {
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

// The build hands over a host path; Wine shows the host's root as drive Z:.
// QUELVANE_E2E_PROGRAM in the environment names another build of the program
// instead: the test command runs a case on the signed release program.
std::wstring BuiltProgramPath() {
    const char* other = std::getenv("QUELVANE_E2E_PROGRAM");
    std::wstring path = Widen(other && *other ? other : QUELVANE_E2E_PROGRAM);
    if (!path.empty() && path.front() == L'/') {
        std::replace(path.begin(), path.end(), L'/', L'\\');
        path = L"Z:" + path;
    }
    return path;
}

std::string Seconds(std::chrono::milliseconds time) { return std::to_string(time.count() / 1000) + " s"; }

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, static_cast<UINT>(AnswerTimeout().count()),
                             &result)) {
        char number[16];
        std::snprintf(number, sizeof number, "0x%04X", message);
        throw WaitFailure(std::string("the program did not answer message ") + number + " within " +
                          Seconds(AnswerTimeout()));
    }
    return static_cast<LRESULT>(result);
}

struct WindowSearch {
    DWORD processId;
    std::wstring_view title;
    std::wstring_view className;
    HWND found = nullptr;
};

// A lambda cannot stand in for a stdcall callback on 32-bit Windows.
BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM data) {
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search.processId || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    if (text != search.title) return TRUE;
    if (!search.className.empty() && lstrcmpiW(ClassOf(hwnd).c_str(), std::wstring(search.className).c_str()) != 0)
        return TRUE;
    search.found = hwnd;
    return FALSE;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + OnThisHost(limit);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(PollInterval);
    }
    return true;
}

std::string Narrow(std::wstring_view text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

ProgramCopy::ProgramCopy() {
    wchar_t temp[MAX_PATH + 1] = {};
    if (!GetTempPathW(MAX_PATH + 1, temp)) FailWithLastError("GetTempPathW failed");
    for (int number = 1;; ++number) {
        folder_ = std::wstring(temp) + L"Quelvane copy " + std::to_wstring(number);
        if (CreateDirectoryW(folder_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) FailWithLastError("could not make " + Narrow(folder_));
    }
    executable_ = folder_ + L"\\Quelvane 2.exe";
    const std::wstring source = BuiltProgramPath();
    if (!CopyFileW(source.c_str(), executable_.c_str(), TRUE))
        FailWithLastError("could not copy " + Narrow(source) + " to " + Narrow(executable_));
}

RunningProgram::RunningProgram(const std::wstring& executable) {
    std::wstring commandLine = L"\"" + executable + L"\"";
    const std::wstring folder = executable.substr(0, executable.rfind(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const auto start = [&] {
        return CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.c_str(), &startup, &process_) != FALSE;
    };
    // 64-bit Wine has been seen to answer ERROR_INTERNAL_ERROR, once in a whole
    // suite, for a start that works the next time: one more try for that.
    if (!start() && !(GetLastError() == ERROR_INTERNAL_ERROR && start()))
        FailWithLastError("could not start " + Narrow(executable));
}

RunningProgram::~RunningProgram() {
    if (!HasEnded()) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, static_cast<DWORD>(AnswerTimeout().count()));
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool RunningProgram::HasEnded() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }

std::optional<DWORD> RunningProgram::WaitForExit(std::chrono::milliseconds limit) const {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(OnThisHost(limit).count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD exitCode = 0;
    GetExitCodeProcess(process_.hProcess, &exitCode);
    return exitCode;
}

std::wstring RunningProgram::LoadedModule(std::wstring_view fileName) const {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_.dwProcessId);
    if (snapshot == INVALID_HANDLE_VALUE) FailWithLastError("could not list the program's modules");
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    std::wstring found;
    for (BOOL more = Module32FirstW(snapshot, &module); more && found.empty(); more = Module32NextW(snapshot, &module))
        if (lstrcmpiW(module.szModule, std::wstring(fileName).c_str()) == 0) found = module.szExePath;
    CloseHandle(snapshot);
    return found;
}

HWND RunningProgram::VisibleWindow(std::wstring_view title, std::wstring_view className) const {
    WindowSearch search{process_.dwProcessId, title, className};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND RunningProgram::WaitForWindow(std::wstring_view title) const {
    HWND found = nullptr;
    const bool appeared = WaitUntil([&] {
        found = VisibleWindow(title);
        return found || HasEnded();
    });
    if (found) return found;
    if (appeared)
        throw WaitFailure("the program ended (exit code " + std::to_string(WaitForExit({}).value_or(0)) +
                          ") without showing a window titled \"" + Narrow(title) + "\"");
    throw WaitFailure("no window titled \"" + Narrow(title) + "\" appeared within " + Seconds(OnThisHost(Patience)));
}

MessageBoxView RunningProgram::WaitForMessageBox(std::wstring_view title) const {
    MessageBoxView box;
    const bool settled = WaitUntil([&] {
        box.hwnd = VisibleWindow(title, L"#32770");
        return box.hwnd || HasEnded();
    });
    if (!box.hwnd)
        throw WaitFailure("no message box titled \"" + Narrow(title) + "\" appeared " +
                          (settled ? "before the program ended" : "within " + Seconds(OnThisHost(Patience))));
    // The message is the box's one static control with text; the icon's has none.
    for (HWND child = GetWindow(box.hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"static" && box.text.empty()) box.text = TextOf(child);
    }
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = GetDlgItem(box.hwnd, id);
        if (button && IsWindowVisible(button)) box.buttons.push_back(id);
    }
    return box;
}

HWND RunningProgram::FocusOf(HWND window) const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

std::string RunningProgram::DescribeFocus(HWND window) const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return "no thread information";
    auto describe = [](HWND hwnd) -> std::string {
        if (!hwnd) return "nothing";
        wchar_t text[128] = {};
        GetWindowTextW(hwnd, text, 128);
        return Narrow(ClassOf(hwnd)) + " \"" + Narrow(text) + "\"";
    };
    return "active: " + describe(info.hwndActive) + ", focus: " + describe(info.hwndFocus) +
           ", foreground: " + describe(GetForegroundWindow());
}

PolicyChangeListener::PolicyChangeListener() {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ready_) FailWithLastError("could not make an event");
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    if (!thread_) FailWithLastError("could not start the listener's thread");
    // Listening before the constructor returns, so that nothing sent later is missed.
    if (WaitForSingleObject(ready_, static_cast<DWORD>(AnswerTimeout().count())) != WAIT_OBJECT_0 || !window_)
        throw std::runtime_error("the listener's window was not made within " + Seconds(AnswerTimeout()));
}

PolicyChangeListener::~PolicyChangeListener() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, static_cast<DWORD>(AnswerTimeout().count()));
    CloseHandle(thread_);
    CloseHandle(ready_);
}

DWORD WINAPI PolicyChangeListener::Run(void* self) {
    auto& listener = *static_cast<PolicyChangeListener*>(self);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QuelvanePolicyChangeListener";
    RegisterClassW(&windowClass);  // already there for a second listener of the run
    // Top-level, not message-only: a broadcast reaches top-level windows alone.
    listener.window_ = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                       windowClass.hInstance, &listener);
    SetEvent(listener.ready_);
    if (!listener.window_) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    DestroyWindow(listener.window_);
    return 0;
}

LRESULT CALLBACK PolicyChangeListener::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* listener = reinterpret_cast<PolicyChangeListener*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    const auto* area = reinterpret_cast<const wchar_t*>(lParam);
    if (message == WM_SETTINGCHANGE && listener && wParam == 0 && area && std::wstring_view(area) == L"Policy") {
        ++listener->notices_;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND Control(HWND window, const ui::WindowLayout& layout, std::wstring_view name, int member) {
    const ui::LayoutRow& row = ui::FindRow(layout, name, member);
    int left = row.left, top = row.top;
    if (!row.container.empty()) {
        const ui::LayoutRow& frame = ui::FindRow(layout, row.container);
        left += frame.left;
        top += frame.top;
    }
    HDC screen = GetDC(nullptr);
    const POINT place{ui::TwipsToPixels(left, GetDeviceCaps(screen, LOGPIXELSX)),
                      ui::TwipsToPixels(top, GetDeviceCaps(screen, LOGPIXELSY))};
    ReleaseDC(nullptr, screen);

    const std::wstring wantedClass = ExpectedClass(row.kind);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        if (rect.left == place.x && rect.top == place.y && ClassOf(child) == wantedClass) return child;
    }
    throw std::runtime_error("no " + Narrow(wantedClass) + " control at (" + std::to_string(place.x) + ", " +
                             std::to_string(place.y) + ") for " + Narrow(name) +
                             (member == ui::NoMember ? "" : "(" + std::to_string(member) + ")"));
}

bool IsChecked(HWND button) { return Send(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool IsEnabled(HWND hwnd) { return IsWindowEnabled(hwnd) != FALSE; }

void TypeText(HWND edit, std::wstring_view text) {
    for (wchar_t character : text) Send(edit, WM_CHAR, character, 1);
}

void ClearText(HWND edit) {
    Send(edit, EM_SETSEL, 0, -1);
    Send(edit, WM_CHAR, VK_BACK, 1);
}

void Click(HWND button) {
    // Sent, not posted: a posted click would be overtaken by the messages
    // that the driver sends next.  Not waited for: the click may open a modal
    // box that only the driver can close.
    if (!SendNotifyMessageW(button, BM_CLICK, 0, 0)) FailWithLastError("could not click a button");
}

void Choose(HWND list, std::wstring_view item) {
    const auto count = static_cast<int>(Send(list, CB_GETCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        const auto length = static_cast<std::size_t>(Send(list, CB_GETLBTEXTLEN, index, 0));
        std::wstring text(length + 1, L'\0');
        Send(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
        text.resize(length);
        if (text != item) continue;
        Send(list, CB_SETCURSEL, index, 0);
        // Selecting by message notifies nobody; the user's choice would.
        Send(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
             reinterpret_cast<LPARAM>(list));
        return;
    }
    throw std::runtime_error("the list has no item \"" + Narrow(item) + "\"");
}

void Close(HWND window) {
    if (!PostMessageW(window, WM_CLOSE, 0, 0)) FailWithLastError("could not close the window");
}

void Answer(const MessageBoxView& box, int buttonId) {
    HWND button = GetDlgItem(box.hwnd, buttonId);
    if (!button) throw std::runtime_error("the message box has no button " + std::to_string(buttonId));
    Click(button);
}

}  // namespace e2e
