#include "text/utf.h"

#include <cstdint>

namespace text {

namespace {

void AppendCodePoint(std::wstring& wide, std::uint32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            wide += static_cast<wchar_t>(0xD800 + (c >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    wide += static_cast<wchar_t>(c);
}

}  // namespace

std::string ToUtf8(std::wstring_view wide) {
    std::string out;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        auto c = static_cast<std::uint32_t>(wide[i]);
        // wchar_t is UTF-16 on Windows: join surrogate pairs.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) {
            auto low = static_cast<std::uint32_t>(wide[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring FromUtf8(std::string_view bytes) {
    constexpr std::uint32_t Replacement = 0xFFFD;
    std::wstring wide;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x06 ? 2
                           : (lead >> 4) == 0x0E ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        if (length == 0 || i + length > bytes.size()) {
            AppendCodePoint(wide, Replacement);
            ++i;
            continue;
        }
        std::uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = true;
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = valid && (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!valid || c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            AppendCodePoint(wide, Replacement);
            ++i;
            continue;
        }
        AppendCodePoint(wide, c);
        i += length;
    }
    return wide;
}

}  // namespace text
