#include "win32/signed_in_user.h"

#include <gtest/gtest.h>

using Sid = std::optional<std::wstring>;

TEST(SignedInElsewhere, IsTheShellsOwnerElseTheSessionsUserWhereThatIsNotTheProgramsOwnAccount) {
    const Sid none, child = L"S-1-5-21-7-7-7-1001", admin = L"S-1-5-21-7-7-7-500";
    struct Case {
        Sid shell, session, own, expected;
        int sessionAsked;  // only where the shell cannot tell
    };
    const Case cases[] = {
        {child, admin, admin, child, 0},  // a standard user's "Run as administrator"
        {none, child, admin, child, 1},   // no shell: the session's user
        {admin, child, admin, none, 0},   // an administrator elevated as themselves
        {none, admin, admin, none, 1},   {none, none, admin, none, 1},
        {child, child, none, none, 0},  // without its own SID the program cannot compare
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        int asked = 0;
        const win32::AccountSources sources{[&] { return c.shell; }, [&] { return ++asked, c.session; },
                                            [&] { return c.own; }};
        EXPECT_EQ(win32::SignedInElsewhere(sources), c.expected);
        EXPECT_EQ(asked, c.sessionAsked);
    }
}

// Wine has no shell window and runs everything as one account; its session
// names that account, and the name must lead back to the token's SID.
TEST(SignedInElsewhere, UnderWineTheSessionsUserIsTheProgramsOwnAccount) {
    const win32::AccountSources sources = win32::SystemAccountSources();
    ASSERT_TRUE(sources.own());
    EXPECT_EQ(sources.sessionUser(), sources.own());
    EXPECT_EQ(win32::SignedInElsewhere(sources), std::nullopt);
}
