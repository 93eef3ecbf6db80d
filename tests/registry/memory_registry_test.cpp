#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/memory_registry.h"
#include "tests/registry/registry_contract.h"

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;
using registry::MemoryRegistry;
using registry::RegistryFailure;

namespace {

std::unique_ptr<registry::RegistryProvider> Unreachable() {
    auto reg = std::make_unique<MemoryRegistry>();
    reg->SetUnreachable(true);
    return reg;
}

std::unique_ptr<registry::RegistryProvider> Fresh() { return std::make_unique<MemoryRegistry>(); }

const RegistryUnderTest ForAnotherAccount{"MemoryRegistryForAnotherAccount", Fresh, Unreachable,
                                          L"S-1-5-21-7-7-7-1001"};

}  // namespace

// Once on HKEY_CURRENT_USER, once on another account's hive under HKEY_USERS.
INSTANTIATE_TEST_SUITE_P(InMemory, RegistryContract,
                         ::testing::Values(RegistryUnderTest{"MemoryRegistry", Fresh, Unreachable}, ForAnotherAccount),
                         RegistryUnderTestName());
INSTANTIATE_TEST_SUITE_P(InMemory, RegistryContractOnHkeyUsers, ::testing::Values(ForAnotherAccount),
                         RegistryUnderTestName());

TEST(MemoryRegistry, AccessIsTrueOnlyWhenEveryAskedRightIsHeld) {
    MemoryRegistry reg;
    reg.SeedKey(HiveLocalMachine, L"SYSTEM\\CurrentControlSet");
    reg.SetRights(HiveLocalMachine, L"system\\currentcontrolset", registry::RightQueryValue | registry::RightSetValue);
    reg.Hive = HiveLocalMachine;
    EXPECT_TRUE(reg.CheckRegAccess(L"SYSTEM\\CurrentControlSet", registry::RightQueryValue));
    EXPECT_TRUE(reg.CheckRegAccess(L"SYSTEM\\CurrentControlSet", registry::RightQueryValue | registry::RightSetValue));
    EXPECT_FALSE(reg.CheckRegAccess(L"SYSTEM\\CurrentControlSet", registry::RightSetValue | registry::RightDelete));
    EXPECT_FALSE(reg.CheckRegAccess(L"SYSTEM\\CurrentControlSet", registry::RightCreateSubKey));
}

TEST(MemoryRegistry, TheRightsOfAKeyRuleWhatMayBeDoneInIt) {
    const std::wstring key = L"Software\\Policies\\Explorer";
    MemoryRegistry reg;
    reg.Seed(HiveCurrentUser, key, L"NoDrives", std::int32_t{4});
    reg.Hive = HiveCurrentUser;

    reg.SetRights(HiveCurrentUser, key, registry::RightQueryValue);
    EXPECT_EQ(reg.SetRegDword(key, L"NoDrives", 1), registry::ResultAccessDenied);
    EXPECT_EQ(reg.SetRegString(key, L"Text", L"x"), registry::ResultAccessDenied);
    EXPECT_EQ(reg.DeleteRegValue(key, L"NoDrives"), registry::ResultAccessDenied);
    EXPECT_EQ(reg.DeleteRegKey(key), registry::ResultAccessDenied);
    EXPECT_EQ(reg.CreateRegKey(key + L"\\DisallowRun"), registry::ResultAccessDenied);
    EXPECT_FALSE(reg.HasKey(HiveCurrentUser, key + L"\\DisallowRun"));
    EXPECT_EQ(reg.GetRegDword(key, L"NoDrives"), 4);
    EXPECT_EQ(reg.Log().front().result, registry::ResultAccessDenied);

    reg.SetRights(HiveCurrentUser, key, registry::RightSetValue);
    EXPECT_THROW(reg.GetRegDword(key, L"NoDrives"), RegistryFailure);
    EXPECT_EQ(reg.SetRegDword(key, L"NoDrives", 1), registry::ResultSuccess);
    EXPECT_EQ(reg.Value(HiveCurrentUser, key, L"NoDrives"), registry::StoredValue(std::int32_t{1}));
}

TEST(MemoryRegistry, ARefusedOperationChangesNothingAndAnswersItsCode) {
    MemoryRegistry reg;
    reg.Hive = HiveCurrentUser;
    EXPECT_EQ(reg.CreateRegKey(L"K"), registry::ResultSuccess);
    reg.RefuseOperation(2);
    EXPECT_EQ(reg.SetRegDword(L"K", L"V", 1), registry::ResultSuccess);
    EXPECT_EQ(reg.SetRegDword(L"K", L"V", 2), registry::ResultAccessDenied);
    EXPECT_EQ(reg.GetRegDword(L"K", L"V"), 1);
    reg.RefuseOperation(1, 1234);
    EXPECT_EQ(reg.DeleteRegKey(L"K"), 1234u);
    EXPECT_TRUE(reg.HasKey(HiveCurrentUser, L"K"));
    reg.RefuseOperation(1);
    EXPECT_THROW(reg.GetRegDword(L"K", L"V"), RegistryFailure);
    reg.RefuseOperation(1);
    EXPECT_FALSE(reg.CheckRegAccess(L"K", registry::RightQueryValue));
}

TEST(MemoryRegistry, KeysAndValuesKeepTheSpellingOfTheirFirstCreation) {
    MemoryRegistry reg;
    reg.Hive = HiveCurrentUser;
    EXPECT_EQ(reg.CreateRegKey(L"Software\\Tessmor Software"), registry::ResultSuccess);
    EXPECT_EQ(reg.SetRegDword(L"software\\tessmor software", L"SecurityMode", 1), registry::ResultSuccess);
    EXPECT_EQ(reg.SetRegDword(L"SOFTWARE\\TESSMOR SOFTWARE", L"SECURITYMODE", 0), registry::ResultSuccess);
    EXPECT_EQ(reg.Value(HiveCurrentUser, L"Software\\Tessmor Software", L"securitymode"),
              registry::StoredValue(std::int32_t{0}));
    EXPECT_EQ(reg.ValueCount(HiveCurrentUser, L"Software\\Tessmor Software"), 1u);
}

TEST(MemoryRegistry, AKeyWithASimilarNameIsNoSubkey) {
    MemoryRegistry reg;
    reg.Hive = HiveCurrentUser;
    EXPECT_EQ(reg.CreateRegKey(L"A\\Key"), registry::ResultSuccess);
    EXPECT_EQ(reg.CreateRegKey(L"A\\Key Two"), registry::ResultSuccess);
    EXPECT_EQ(reg.CreateRegKey(L"A\\Key!"), registry::ResultSuccess);
    EXPECT_EQ(reg.DeleteRegKey(L"A\\Key"), registry::ResultSuccess);
    EXPECT_FALSE(reg.HasKey(HiveCurrentUser, L"A\\Key"));
    EXPECT_TRUE(reg.HasKey(HiveCurrentUser, L"A\\Key Two"));
}

TEST(MemoryRegistry, TheNthOperationFailsAndIsMarkedInTheLog) {
    MemoryRegistry reg;
    reg.Hive = HiveCurrentUser;
    reg.FailOperation(2);
    EXPECT_EQ(reg.CreateRegKey(L"K"), registry::ResultSuccess);
    EXPECT_THROW(std::ignore = reg.SetRegDword(L"K", L"V", 1), RegistryFailure);
    EXPECT_FALSE(reg.Value(HiveCurrentUser, L"K", L"V").has_value());
    EXPECT_EQ(reg.SetRegDword(L"K", L"V", 2), registry::ResultSuccess);
    EXPECT_EQ(reg.DescribedLog(), (std::vector<std::string>{"HKCU CreateRegKey K", "HKCU SetRegDword K|V=1 (failed)",
                                                            "HKCU SetRegDword K|V=2"}));
}

TEST(RegistryFailure, SaysWhichOperationRootKeyAndValueFailedAndWhy) {
    MemoryRegistry reg;
    reg.Hive = HiveLocalMachine;
    try {
        reg.GetRegString(L"Software\\Ploz\\psw", L"MyPassword");
        FAIL() << "the read of a missing value must raise";
    } catch (const RegistryFailure& failure) {
        EXPECT_EQ(failure.Operation(), L"GetRegString");
        EXPECT_EQ(failure.RootUsed(), HiveLocalMachine);
        EXPECT_STREQ(failure.what(),
                     "GetRegString failed on HKEY_LOCAL_MACHINE\\Software\\Ploz\\psw, value \"MyPassword\": "
                     "the key does not exist");
    }
}
