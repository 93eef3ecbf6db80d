#include <gtest/gtest.h>

#include "ui/single_text.h"

using ui::SingleToText;

TEST(SingleToText, WritesWholeNumbersWithoutASeparatorOrLeadingBlank) {
    EXPECT_EQ(SingleToText(1.0f), L"1");
    EXPECT_EQ(SingleToText(100.0f), L"100");
    EXPECT_EQ(SingleToText(0.0f), L"0");
    EXPECT_EQ(SingleToText(-0.0f), L"0");
    EXPECT_EQ(SingleToText(-3.0f), L"-3");
}

TEST(SingleToText, WritesFractionsWithAPointAndNoTrailingZeros) {
    EXPECT_EQ(SingleToText(2.5f), L"2.5");
    EXPECT_EQ(SingleToText(0.1f), L"0.1");  // not 0.100000001
    EXPECT_EQ(SingleToText(-0.25f), L"-0.25");
}

TEST(SingleToText, KeepsSevenSignificantDigitsAndSwitchesToAnExponentBeyondThem) {
    EXPECT_EQ(SingleToText(1234567.0f), L"1234567");
    EXPECT_EQ(SingleToText(12345678.0f), L"1.234568E+07");
    EXPECT_EQ(SingleToText(1e7f), L"1E+07");
    EXPECT_EQ(SingleToText(0.00001f), L"1E-05");
}
