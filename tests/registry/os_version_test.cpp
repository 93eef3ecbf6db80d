#include <gtest/gtest.h>

#include "registry/os_version.h"

using registry::VersionFromInstances;

TEST(VersionFromInstances, CutsToEightCharactersAndKeepsShorterVersionsWhole) {
    EXPECT_EQ(VersionFromInstances({L"5.1.2600"}), L"5.1.2600");
    EXPECT_EQ(VersionFromInstances({L"6.1.7601"}), L"6.1.7601");
    EXPECT_EQ(VersionFromInstances({L"10.0.19045"}), L"10.0.190");
    EXPECT_EQ(VersionFromInstances({L"5.0"}), L"5.0");
}

TEST(VersionFromInstances, TheLastInstanceWins) {
    EXPECT_EQ(VersionFromInstances({L"5.0.2195", L"5.1.2600"}), L"5.1.2600");
    EXPECT_EQ(VersionFromInstances({std::nullopt, L"4.9.3000"}), L"4.9.3000");
}

TEST(VersionFromInstances, NoInstanceOrANullLastVersionGivesTheEmptyString) {
    EXPECT_EQ(VersionFromInstances({}), L"");
    EXPECT_EQ(VersionFromInstances({L"5.1.2600", std::nullopt}), L"");
}
