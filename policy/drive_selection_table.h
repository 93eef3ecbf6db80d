// The items of the drive list and the drive masks that they stand for.
//
// Bit 0 of a DriveMask is A:, bit 25 is Z:.  The 33 rows are the only masks
// that the program writes; a stored mask that is not one of them has no item.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace policy {

using DriveMask = std::uint32_t;

struct DriveSelectionRow {
    std::wstring_view item;
    DriveMask mask;
};

inline constexpr std::size_t DriveSelectionRowCount = 33;

inline constexpr std::array<DriveSelectionRow, DriveSelectionRowCount> DriveSelectionTable{{
    {L"No selected", 0x0},
    {L"A:", 0x1},
    {L"B:", 0x2},
    {L"C:", 0x4},
    {L"D:", 0x8},
    {L"E:", 0x10},
    {L"F:", 0x20},
    {L"A: and B:", 0x3},
    {L"A: and C:", 0x5},
    {L"A: and D:", 0x9},
    {L"A: and E:", 0x11},
    {L"A: and F:", 0x21},
    {L"B: and C:", 0x6},
    {L"B: and D:", 0xA},
    {L"B: and E:", 0x12},
    {L"B: and F:", 0x22},
    {L"C: and D:", 0xC},
    {L"C: and E:", 0x14},
    {L"C: and F:", 0x24},
    {L"D: and E:", 0x18},
    {L"D: and F:", 0x28},
    {L"E: and F:", 0x30},
    {L"A:, B:, and C:", 0x7},
    {L"A:, B:, and D:", 0xB},
    {L"A:, B:, and E:", 0x13},
    {L"A:, B:, and F:", 0x23},
    {L"B:, C:, and D:", 0xE},
    {L"B:, C:, and E:", 0x16},
    {L"B:, C:, and F:", 0x26},
    {L"C:, D:, and E:", 0x1C},
    {L"C:, D:, and F:", 0x2C},
    {L"D:, E:, and F:", 0x38},
    {L"All drives", 0x3FFFFFF},
}};

// Exact, case-sensitive look-up of a list item.
std::optional<DriveMask> DriveMaskForItem(std::wstring_view item);
// Exact look-up of a stored value, taken as the signed number that the
// registry hands back; a mask is never split into its letters.
std::optional<std::wstring_view> DriveItemForMask(std::int32_t mask);
// The item texts in list order.
constexpr std::array<std::wstring_view, DriveSelectionRowCount> DriveItems() {
    std::array<std::wstring_view, DriveSelectionRowCount> items;
    for (std::size_t i = 0; i < DriveSelectionRowCount; ++i) items[i] = DriveSelectionTable[i].item;
    return items;
}

// The list text for a stored mask that no row has, naming what it covers:
// "Custom: A:, B:, C:, D:"; bits above Z: follow in hexadecimal
// ("Custom: A:, 0xFC000000").  Other tools and domain policies store such
// masks, and the list shows them rather than pretend that nothing is set.
std::wstring CustomDriveItem(DriveMask mask);

}  // namespace policy
