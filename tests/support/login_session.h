// One login dialog over its own in-memory registry: what the login tests
// share, headless and under Wine.  Each test makes the dialog itself, with
// the host callbacks that it watches.
#pragma once

#include <memory>

#include "tests/support/memory_registry.h"
#include "tests/support/recording_shell.h"
#include "tests/support/registry_keys.h"
#include "ui/form2.h"

struct LoginSession {
    registry::MemoryRegistry reg;
    RecordingShell shell;
    std::unique_ptr<ui::Form2> form;

    void StorePassword(const registry::StoredValue& value) {
        reg.Seed(registry::HiveLocalMachine, keys::PasswordKey, L"MyPassword", value);
    }
};
