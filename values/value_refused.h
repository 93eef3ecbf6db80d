// The failure of a value that a control refuses.  The control models of ui/
// raise it, and the policy procedures, which give the main window its values
// through policy::MainWindowValues, meet it there: so it lives below both.
//
// Usage:
//   throw values::ValueRefused("cboDrive has no item \"Z:\"");
//   try { window.SetText(control, text); } catch (const values::ValueRefused&) {}
#pragma once

#include <stdexcept>

namespace values {

// A control refused a value that the program tried to give it (a list text
// that is not an item, a check state the box does not have, a number that
// does not fit).
class ValueRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace values
