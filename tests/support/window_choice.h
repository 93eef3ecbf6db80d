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
    policy::CheckState cmd = policy::CheckState::Unchecked;
    policy::CheckState registryTools = policy::CheckState::Unchecked;
};
