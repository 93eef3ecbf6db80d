#include "policy/drive_selection_table.h"

namespace policy {

const std::array<DriveSelectionRow, DriveSelectionRowCount> DriveSelectionTable = {{
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

std::optional<DriveMask> DriveMaskForItem(std::wstring_view item) {
    for (const auto& row : DriveSelectionTable)
        if (row.item == item) return row.mask;
    return std::nullopt;
}

std::optional<std::wstring_view> DriveItemForMask(std::int32_t mask) {
    for (const auto& row : DriveSelectionTable)
        if (static_cast<std::int32_t>(row.mask) == mask) return row.item;
    return std::nullopt;
}

std::array<std::wstring_view, DriveSelectionRowCount> DriveItems() {
    std::array<std::wstring_view, DriveSelectionRowCount> items;
    for (std::size_t i = 0; i < DriveSelectionRowCount; ++i) items[i] = DriveSelectionTable[i].item;
    return items;
}

std::wstring CustomDriveItem(DriveMask mask) {
    constexpr int Letters = 26;
    std::wstring text = L"Custom:";
    const wchar_t* separator = L" ";
    for (int bit = 0; bit < Letters; ++bit) {
        if (!(mask & (DriveMask{1} << bit))) continue;
        text += separator;
        text += static_cast<wchar_t>(L'A' + bit);
        text += L':';
        separator = L", ";
    }
    if (const DriveMask beyond = mask >> Letters << Letters) {
        static const wchar_t digits[] = L"0123456789ABCDEF";
        std::wstring hex;
        for (DriveMask rest = beyond; rest != 0; rest >>= 4) hex.insert(hex.begin(), digits[rest & 0xF]);
        text += separator;
        text += L"0x" + hex;
    }
    return text;
}

}  // namespace policy
