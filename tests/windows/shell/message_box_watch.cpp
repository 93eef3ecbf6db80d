#include "message_box_watch.h"

struct MessageBoxWatch::State {
    std::wstring title;
    int button;
    SeenMessageBox seen;
};

MessageBoxWatch::MessageBoxWatch(std::wstring title, int button)
    : state_(new State{std::move(title), button, {}}), thread_(CreateThread(nullptr, 0, Run, state_.get(), 0, nullptr)) {}

MessageBoxWatch::~MessageBoxWatch() {
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
}

const SeenMessageBox& MessageBoxWatch::Seen() {
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return state_->seen;
}

DWORD WINAPI MessageBoxWatch::Run(void* parameter) {
    auto& state = *static_cast<State*>(parameter);
    HWND box = nullptr;
    for (int attempt = 0; attempt < 500 && !(box && IsWindowVisible(box)); ++attempt) {
        Sleep(20);
        box = FindWindowW(L"#32770", state.title.c_str());
    }
    if (!box) return 1;
    state.seen.found = true;

    auto shown = [&](int id) {
        HWND button = GetDlgItem(box, id);
        return button && IsWindowVisible(button);
    };
    state.seen.yes = shown(IDYES);
    state.seen.no = shown(IDNO);
    state.seen.ok = shown(IDOK);
    // The text and the icon are the two static controls of the box.
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        if (lstrcmpiW(className, L"Static") != 0) continue;
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            state.seen.icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        } else {
            wchar_t text[1024] = {};
            GetWindowTextW(child, text, 1024);
            if (text[0]) state.seen.text = text;
        }
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(state.button, BN_CLICKED), 0);
    return 0;
}
