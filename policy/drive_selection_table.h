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

extern const std::array<DriveSelectionRow, DriveSelectionRowCount> DriveSelectionTable;

// Exact, case-sensitive look-up of a list item.
std::optional<DriveMask> DriveMaskForItem(std::wstring_view item);
// Exact look-up of a stored value, taken as the signed number that the
// registry hands back; a mask is never split into its letters.
std::optional<std::wstring_view> DriveItemForMask(std::int32_t mask);
// The item texts in list order.
std::array<std::wstring_view, DriveSelectionRowCount> DriveItems();

// The list text for a stored mask that no row has, naming what it covers:
// "Custom: A:, B:, C:, D:"; bits above Z: follow in hexadecimal
// ("Custom: A:, 0xFC000000").  Other tools and domain policies store such
// masks, and the list shows them rather than pretend that nothing is set.
std::wstring CustomDriveItem(DriveMask mask);

}  // namespace policy
