#include "text/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf, WritesEachCodePointInAsManyBytesAsItNeeds) {
    EXPECT_EQ(text::ToUtf8(L"A"), "A");
    EXPECT_EQ(text::ToUtf8(L"\u00fc"), "\xc3\xbc");
    EXPECT_EQ(text::ToUtf8(L"\u20ac"), "\xe2\x82\xac");
    // One character outside the basic plane: a surrogate pair where wchar_t
    // is 16 bits wide, one unit elsewhere; four bytes either way.
    EXPECT_EQ(text::ToUtf8(L"\U0001F511"), "\xf0\x9f\x94\x91");
    EXPECT_EQ(text::ToUtf8(L""), "");
}

TEST(Utf, KeepsALoneSurrogateAsThreeBytesInsteadOfDroppingIt) {
    const std::wstring lone(1, static_cast<wchar_t>(0xD800));
    EXPECT_EQ(text::ToUtf8(lone + L"x"), "\xed\xa0\x80x");
}

TEST(Utf, ReadsBackWhatItWrote) {
    const std::wstring wide = L"Schl\u00fcssel \u20ac \U0001F511 HKEY_LOCAL_MACHINE\\Software";
    EXPECT_EQ(text::FromUtf8(text::ToUtf8(wide)), wide);
}

TEST(Utf, ReplacesEachByteThatBeginsNoValidSequenceWithOneReplacementCharacter) {
    // A stray continuation byte, a cut sequence, an overlong '/', an encoded
    // surrogate and a code point past U+10FFFF.
    EXPECT_EQ(text::FromUtf8("a\x80z"), L"a\uFFFDz");
    EXPECT_EQ(text::FromUtf8("b\xe2\x82"), L"b\uFFFD\uFFFD");
    EXPECT_EQ(text::FromUtf8("c\xc0\xaf"), L"c\uFFFD\uFFFD");
    EXPECT_EQ(text::FromUtf8("\xed\xa0\x80"), L"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(text::FromUtf8("\xf4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");
}

}  // namespace
