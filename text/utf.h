// UTF-8 and the platform's wide strings, both ways.  Neutral: every layer
// uses it, on Linux (wchar_t holds UTF-32) and on Windows (UTF-16) alike.
//
//   std::string bytes = text::ToUtf8(L"Gr\u00fc\u00dfe");   // for what() and test output
//   std::wstring wide = text::FromUtf8(failure.what());     // for a message box
#pragma once

#include <string>
#include <string_view>

namespace text {

// A lone surrogate is written as it is, three bytes, rather than lost.
std::string ToUtf8(std::wstring_view wide);

// A byte that does not begin or continue a valid sequence (a stray
// continuation, a cut or overlong sequence, a surrogate, anything past
// U+10FFFF) becomes one U+FFFD: texts decoded here are reports, and a report
// must never fail on the text it carries.
std::wstring FromUtf8(std::string_view bytes);

}  // namespace text
