// Shows the main window as the program would after the login, for looking at
// it (scripts/screenshot-form1.sh): an in-memory registry, Windows XP as the
// version, message boxes answered OK without being shown.
//
//   ui_form1_preview.exe [SECONDS] [fresh|saved|report FILE]
//
// "saved" chooses a drive and clicks Save, so the status line and the bar run
// to "Save process is successful" and 100%.  The window closes itself after
// SECONDS (default 10), or when closed.  "report" writes the window's LayoutOf
// to FILE and ends (for the window tests).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/memory_registry.h"
#include "tests/support/registry_keys.h"
#include "tests/support/fake_version_probe.h"
#include "tests/support/recording_shell.h"
#include "tests/support/win32/window_input.h"
#include "ui/form1.h"
#include "ui/win32/program_windows.h"

#ifdef QUELVANE_PREVIEW_ICON
#include "resource_ids.h"
constexpr int PreviewIcon = IDI_QUELVANE;
#else
constexpr int PreviewIcon = 0;
#endif

namespace {

// Ends the loop like a click on the close box.
void CALLBACK EndPreview(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int seconds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10;
    const bool saved = argc > 2 && std::wstring(argv[2]) == L"saved";

    registry::MemoryRegistry reg;
    reg.SeedKey(registry::HiveLocalMachine, keys::RightsKey);
    FakeVersionProbe probe(L"5.1.2600");
    RecordingShell shell;
    ui::Form1 form(reg, probe, shell);
    ui::LayoutWindow window(ui::Form1Layout, form.Controls(), ui::Form1WindowEvents(form), PreviewIcon);
    window.Create();
    window.Show();

    if (argc > 3 && std::wstring(argv[2]) == L"report") {
        window_input::PumpFor(std::chrono::milliseconds(100));  // the first showing posted the tooltip's making
        FILE* report = _wfopen(argv[3], L"w");
        if (!report) return 1;
        for (const std::string& line : window_input::LayoutOf(window.Hwnd(), ui::Form1Layout))
            std::fprintf(report, "%s\n", line.c_str());
        return std::fclose(report) == 0 ? 0 : 1;
    }
    if (saved) {
        form.cboDrive.SetText(L"C: and D:");
        form.cmdSave.Press();
    }
    SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, EndPreview);
    return ui::RunMessageLoop();
}
