#include "ui/failure_text.h"

#include <cstdint>

#include "registry/registry_provider.h"

namespace ui {

namespace {

constexpr std::wstring_view Lead = L"Quelvane 2 met a failure that it cannot handle and has to end.\r\n\r\n";

void AppendCodePoint(std::wstring& text, std::uint32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            text += static_cast<wchar_t>(0xD800 + (c >> 10));
            text += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    text += static_cast<wchar_t>(c);
}

// Exception messages are UTF-8 in this program (RegistryFailure writes its
// what() so); a byte that does not fit becomes U+FFFD rather than a reason to
// fail while reporting a failure.
std::wstring FromUtf8(std::string_view bytes) {
    constexpr std::uint32_t Replacement = 0xFFFD;
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const int length = lead < 0x80            ? 1
                           : (lead >> 5) == 0x06  ? 2
                           : (lead >> 4) == 0x0E  ? 3
                           : (lead >> 3) == 0x1E  ? 4
                                                  : 0;
        if (length == 0 || i + length > bytes.size()) {
            AppendCodePoint(text, Replacement);
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
            AppendCodePoint(text, Replacement);
            ++i;
            continue;
        }
        AppendCodePoint(text, c);
        i += length;
    }
    return text;
}

}  // namespace

std::wstring FailureText(const std::exception& failure) {
    if (const auto* registryFailure = dynamic_cast<const registry::RegistryFailure*>(&failure))
        return std::wstring(Lead) + registryFailure->Describe();
    return std::wstring(Lead) + FromUtf8(failure.what());
}

std::wstring UnknownFailureText() {
    return std::wstring(Lead) + L"The failure carries no description.";
}

}  // namespace ui
