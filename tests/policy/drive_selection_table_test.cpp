#include <gtest/gtest.h>

#include <set>

#include "policy/drive_selection_table.h"

using namespace policy;

TEST(DriveSelectionTable, EveryRowReadsBackAsItself) {
    for (const auto& row : DriveSelectionTable) {
        const auto mask = DriveMaskForItem(row.item);
        ASSERT_TRUE(mask.has_value());
        const auto item = DriveItemForMask(static_cast<std::int32_t>(*mask));
        ASSERT_TRUE(item.has_value());
        EXPECT_EQ(*item, row.item);
    }
}

TEST(DriveSelectionTable, MasksAreTheLettersThatTheItemNames) {
    // Rebuild each mask from the letters in its text: a wrong bit in the
    // table would hide or lock the wrong drive.
    std::set<DriveMask> masks;
    for (const auto& row : DriveSelectionTable) {
        DriveMask fromText = 0;
        for (std::size_t i = 0; i + 1 < row.item.size(); ++i)
            if (row.item[i + 1] == L':' && row.item[i] >= L'A' && row.item[i] <= L'Z')
                fromText |= DriveMask{1} << (row.item[i] - L'A');
        if (row.item == L"All drives") fromText = 0x3FFFFFF;
        EXPECT_EQ(row.mask, fromText) << std::string(row.item.begin(), row.item.end());
        masks.insert(row.mask);
    }
    EXPECT_EQ(masks.size(), DriveSelectionRowCount);
}

TEST(DriveSelectionTable, ListOrderAndTheEdgeRows) {
    const auto items = DriveItems();
    EXPECT_EQ(items.front(), L"No selected");
    EXPECT_EQ(items[7], L"A: and B:");
    EXPECT_EQ(items[22], L"A:, B:, and C:");
    EXPECT_EQ(items.back(), L"All drives");
    EXPECT_EQ(DriveMaskForItem(L"No selected"), DriveMask{0});
    EXPECT_EQ(DriveItemForMask(0), L"No selected");
    EXPECT_EQ(DriveMaskForItem(L"All drives"), DriveMask{67108863});
    EXPECT_EQ(DriveMaskForItem(L"B:, C:, and E:"), DriveMask{22});
}

TEST(DriveSelectionTable, MasksWithoutARowHaveNoItem) {
    EXPECT_FALSE(DriveItemForMask(13));                     // A:, C:, D:
    EXPECT_FALSE(DriveItemForMask(15));                     // four letters
    EXPECT_FALSE(DriveItemForMask(64));                     // G: alone
    EXPECT_FALSE(DriveItemForMask(-1));                     // 0xFFFFFFFF
    EXPECT_FALSE(DriveItemForMask(0x3FFFFFF | 0x4000000));  // beyond Z:
}

TEST(DriveSelectionTable, TextsAreComparedExactly) {
    EXPECT_FALSE(DriveMaskForItem(L"c:"));
    EXPECT_FALSE(DriveMaskForItem(L"all drives"));
    EXPECT_FALSE(DriveMaskForItem(L"C: and  D:"));
    EXPECT_FALSE(DriveMaskForItem(L" C:"));
    EXPECT_FALSE(DriveMaskForItem(L""));
}

TEST(DriveSelectionTable, ACustomItemNamesTheDrivesOfAMaskWithoutARow) {
    EXPECT_EQ(policy::CustomDriveItem(0xF), L"Custom: A:, B:, C:, D:");
    EXPECT_EQ(policy::CustomDriveItem(13), L"Custom: A:, C:, D:");
    EXPECT_EQ(policy::CustomDriveItem(0x40), L"Custom: G:");
    EXPECT_EQ(policy::CustomDriveItem(0x2000000 | 0x1000), L"Custom: M:, Z:");
    EXPECT_EQ(policy::CustomDriveItem(0xFC000000u), L"Custom: 0xFC000000");
    EXPECT_EQ(policy::CustomDriveItem(0x4000001), L"Custom: A:, 0x4000000");
    EXPECT_EQ(policy::CustomDriveItem(0xFFFFFFFFu),
              L"Custom: A:, B:, C:, D:, E:, F:, G:, H:, I:, J:, K:, L:, M:, N:, O:, P:, Q:, R:, S:, T:, U:, V:, "
              L"W:, X:, Y:, Z:, 0xFC000000");
}
