#include <gtest/gtest.h>

#include <stdexcept>

#include "policy/main_window_values.h"
#include "registry/registry_provider.h"
#include "text/utf.h"
#include "ui/failure_text.h"

namespace {

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

}  // namespace

TEST(FailureText, NamesTheRegistryOperationRootKeyValueAndReason) {
    const registry::RegistryFailure failure(L"GetRegString", registry::HiveLocalMachine, L"Software\\Ploz\\psw",
                                            L"MyPassword", L"0x80041002 Not found");
    const std::wstring text = ui::FailureText(failure);

    EXPECT_TRUE(Contains(text, L"GetRegString")) << text::ToUtf8(text);
    EXPECT_TRUE(Contains(text, L"HKEY_LOCAL_MACHINE\\Software\\Ploz\\psw")) << text::ToUtf8(text);
    EXPECT_TRUE(Contains(text, L"MyPassword")) << text::ToUtf8(text);
    EXPECT_TRUE(Contains(text, L"0x80041002 Not found")) << text::ToUtf8(text);
}

TEST(FailureText, KeepsTheRegistryFailuresWideTextEvenWhenCaughtAsAnyException) {
    const registry::RegistryFailure failure(L"CreateRegKey", registry::HiveCurrentUser, L"Software\\Gr\u00fc\u00dfe",
                                            L"", L"Zugriff verweigert");
    const std::exception& caught = failure;
    EXPECT_TRUE(Contains(ui::FailureText(caught), L"HKEY_CURRENT_USER\\Software\\Gr\u00fc\u00dfe"));
}

TEST(FailureText, DecodesOtherFailuresFromUtf8AndMarksBrokenBytesInstead) {
    const std::wstring text = ui::FailureText(std::runtime_error("Schl\xc3\xbcssel \xe2\x82\xac \xf0\x9f\x94\x91!"));
    EXPECT_TRUE(Contains(text, L"Schl\u00fcssel \u20ac \U0001F511!")) << text::ToUtf8(text);

    // A lone continuation byte, a cut sequence and an overlong '/' each give
    // one replacement character; nothing around them is lost.
    const std::wstring broken = ui::FailureText(policy::ValueRefused("a\x80 b\xe2\x82 c\xc0\xaf d"));
    EXPECT_TRUE(Contains(broken, L"a\uFFFD b\uFFFD\uFFFD c\uFFFD\uFFFD d")) << text::ToUtf8(broken);
}

TEST(FailureText, SaysSomethingEvenWithoutADescription) {
    EXPECT_FALSE(ui::UnknownFailureText().empty());
    EXPECT_TRUE(Contains(ui::FailureText(std::runtime_error("")), L"Quelvane 2"));
}
