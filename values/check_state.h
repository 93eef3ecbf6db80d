// A check box's three states.  The control models of ui/ hold one, and the
// policy procedures read, compare and store it through
// policy::MainWindowValues: so, like ValueRefused, it lives below both.
//
// Usage:
//   if (state == values::CheckState::Checked) ...
//   if (!values::IsCheckState(static_cast<values::CheckState>(7))) throw values::ValueRefused(...);
#pragma once

namespace values {

// Numbered as the policy values store them: 0 off, 1 on.
enum class CheckState { Unchecked = 0, Checked = 1, Grayed = 2 };

// Whether a number cast to CheckState is one of the three.
constexpr bool IsCheckState(CheckState state) {
    return state == CheckState::Unchecked || state == CheckState::Checked || state == CheckState::Grayed;
}

}  // namespace values
