// The text of the error box that reports a failure which reached an event
// handler unhandled (the box itself is in ui/win32/failure_report.h).
#pragma once

#include <exception>
#include <string>

namespace ui {

// What failed, in words for the user: a registry failure with its operation,
// root, key, value and the platform's reason; any other failure with its
// message.  Lines are joined by CR LF.
std::wstring FailureText(const std::exception& failure);
// For a failure that is not even a std::exception.
std::wstring UnknownFailureText();

}  // namespace ui
