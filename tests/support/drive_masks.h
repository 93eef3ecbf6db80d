// Drive masks as the tests name them: by the drive list's item, so that no
// test spells a mask as a bare number.
#pragma once

#include <cstdint>
#include <string_view>

#include "policy/drive_selection_table.h"

// The mask that a drive item stands for, as the registry stores it.
inline std::int32_t Mask(std::wstring_view item) {
    return static_cast<std::int32_t>(policy::DriveMaskForItem(item).value());
}
