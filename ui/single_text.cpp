#include "ui/single_text.h"

#include <cmath>
#include <cstdio>

namespace ui {

std::wstring SingleToText(float value) {
    if (std::isnan(value)) return L"NaN";
    if (std::isinf(value)) return value < 0 ? L"-Inf" : L"Inf";
    if (value == 0.0f) return L"0";  // also for -0, which has no sign of its own here

    // Seven significant digits are what a single holds; %g drops the
    // trailing zeros and the point of whole numbers.  snprintf under the C
    // locale, so the separator is always '.'.
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.7G", static_cast<double>(value));
    std::wstring text;
    for (const char* p = buffer; *p != '\0'; ++p) text += static_cast<wchar_t>(*p);
    return text;
}

}  // namespace ui
