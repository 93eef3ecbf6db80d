// One main window over its own in-memory registry, on a known version, as the
// program makes it: what the window tests share.
#pragma once

#include "tests/support/memory_registry.h"
#include "tests/support/fake_version_probe.h"
#include "tests/support/registry_keys.h"
#include "tests/support/recording_shell.h"
#include "ui/form1.h"

struct MainWindowSession {
    registry::MemoryRegistry reg;
    FakeVersionProbe probe{L"5.1.2600"};
    RecordingShell shell;
    ui::Form1 form{reg, probe, shell};

    // The key of the rights check exists on every Windows.
    MainWindowSession() { reg.SeedKey(registry::HiveLocalMachine, keys::RightsKey); }

    // What the program does before the user sees the window.
    void LoadAndShow() {
        form.Form_Load();
        form.Form_Activate();
    }

    // How often the window told the other programs' windows of a policy change.
    int Announcements() const { return shell.Count("AnnouncePolicyChange"); }

    void Tick(int times) {
        for (int i = 0; i < times; ++i) form.tmrLoading.Elapse();
    }
};
