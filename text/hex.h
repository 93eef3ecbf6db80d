// Numbers in hexadecimal, as the program's texts show them.  Neutral, like the
// rest of text/.
//
//   text::HexNumber(0x10000);      // L"0x10000"
//   text::HexNumber(0xFC000000);   // L"0xFC000000"
#pragma once

#include <cstdint>
#include <string>

namespace text {

// "0x", then the digits in upper case without leading zeros ("0x0" for zero).
inline std::wstring HexNumber(std::uint32_t number) {
    constexpr wchar_t Digits[] = L"0123456789ABCDEF";
    std::wstring digits;
    do {
        digits.insert(digits.begin(), Digits[number & 0xF]);
        number >>= 4;
    } while (number != 0);
    return L"0x" + digits;
}

}  // namespace text
