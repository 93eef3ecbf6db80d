// The main window's controls as one table: the source of both the headless
// models of Form1 and the real window's controls.
#pragma once

#include <array>
#include <string_view>

#include "policy/policy_keys.h"
#include "ui/layout.h"

namespace ui {

extern const WindowLayout Form1Layout;

// The two scopes of cboRestrict, in list order.
inline constexpr std::array<std::wstring_view, 2> RestrictItems{policy::ScopeCurrentUser, policy::ScopeAllUsers};

}  // namespace ui
