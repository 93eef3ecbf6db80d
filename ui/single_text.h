// The default text form of a single-precision number, as the status display
// shows it: no leading blank, at most seven significant digits, whole numbers
// without a decimal separator ("1", "100", "2.5", "1E+07").
#pragma once

#include <string>

namespace ui {

std::wstring SingleToText(float value);

}  // namespace ui
