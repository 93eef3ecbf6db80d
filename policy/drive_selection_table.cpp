#include "policy/drive_selection_table.h"

#include "text/hex.h"

namespace policy {

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
        text += separator;
        text += text::HexNumber(beyond);
    }
    return text;
}

}  // namespace policy
