// The user's choices in the main window, by name, as the policy and window
// tests make them.
#pragma once

#include <string>

#include "policy/main_window_values.h"

// The boxes stay unchecked unless named.
struct WindowChoice {
    std::wstring scope;
    policy::SecurityOption mode = policy::SecurityOption::PreventAccess;
    std::wstring drive;
    values::CheckState cmd = values::CheckState::Unchecked;
    values::CheckState registryTools = values::CheckState::Unchecked;
};
