#include "tests/registry/registry_contract.h"

#include <map>
#include <tuple>

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;
using registry::RegistryFailure;

// A set-up step's answer is expected to be success; a call that is expected to
// raise, or whose answer another case pins down, drops it as std::ignore.
namespace {

const std::wstring Base = L"Software\\Quelvane Contract";

}  // namespace

TEST_P(RegistryContract, EveryOperationRaisesWhileNoRootIsChosen) {
    EXPECT_THROW(std::ignore = reg->CreateRegKey(Base), RegistryFailure);
    EXPECT_THROW(std::ignore = reg->SetRegString(Base, L"S", L"x"), RegistryFailure);
    EXPECT_THROW(std::ignore = reg->SetRegDword(Base, L"D", 1), RegistryFailure);
    EXPECT_THROW(reg->GetRegString(Base, L"S"), RegistryFailure);
    EXPECT_THROW(reg->GetRegDword(Base, L"D"), RegistryFailure);
    EXPECT_THROW(std::ignore = reg->DeleteRegValue(Base, L"S"), RegistryFailure);
    EXPECT_THROW(std::ignore = reg->DeleteRegKey(Base), RegistryFailure);
    EXPECT_THROW(reg->CheckRegAccess(Base, 1), RegistryFailure);
    EXPECT_THROW(reg->EnumRegValues(Base), RegistryFailure);
}

TEST_P(RegistryContract, StoredValuesReadBackWithTheirKindAndContent) {
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->CreateRegKey(Base), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegString(Base, L"Text", L"Current user"), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegString(Base, L"Empty", L""), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegString(Base, L"Blank", L" "), registry::ResultSuccess);
    for (std::int32_t number : {0, 1, 12, 36, 67108863}) {
        EXPECT_EQ(reg->SetRegDword(Base, L"Number", number), registry::ResultSuccess);
        EXPECT_EQ(reg->GetRegDword(Base, L"Number"), number);
    }
    EXPECT_EQ(reg->GetRegString(Base, L"Text"), L"Current user");
    EXPECT_EQ(reg->GetRegString(Base, L"Empty"), L"");
    EXPECT_EQ(reg->GetRegString(Base, L"Blank"), L" ");
    EXPECT_EQ(reg->SetRegString(Base, L"Text", L"All users"), registry::ResultSuccess);
    EXPECT_EQ(reg->GetRegString(Base, L"Text"), L"All users");
}

TEST_P(RegistryContract, ReadsRaiseWhenThereIsNoValueOfTheAskedKind) {
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->CreateRegKey(Base), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegString(Base, L"Text", L"cmd.exe"), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(Base, L"Number", 5), registry::ResultSuccess);

    EXPECT_THROW(reg->GetRegString(Base, L"Never written"), RegistryFailure);
    EXPECT_THROW(reg->GetRegDword(Base, L"Never written"), RegistryFailure);
    EXPECT_THROW(reg->GetRegString(Base + L"\\Missing", L"Text"), RegistryFailure);
    EXPECT_THROW(reg->GetRegDword(Base + L"\\Missing", L"Number"), RegistryFailure);
    EXPECT_THROW(reg->GetRegString(Base, L"Number"), RegistryFailure);
    EXPECT_THROW(reg->GetRegDword(Base, L"Text"), RegistryFailure);
}

TEST_P(RegistryContract, AFailedReadNeverAnswersWithTheReadBeforeIt) {
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->CreateRegKey(Base), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegString(Base, L"Text", L"earlier"), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(Base, L"Number", 7), registry::ResultSuccess);
    EXPECT_EQ(reg->GetRegString(Base, L"Text"), L"earlier");
    EXPECT_THROW(reg->GetRegString(Base, L"Missing"), RegistryFailure);
    EXPECT_EQ(reg->GetRegDword(Base, L"Number"), 7);
    EXPECT_THROW(reg->GetRegDword(Base, L"Missing"), RegistryFailure);
}

TEST_P(RegistryContract, OperationsActOnTheRootThatHiveHoldsAtTheCall) {
    const std::wstring key = Base + L"\\Roots";
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->CreateRegKey(key), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(key, L"Where", 1), registry::ResultSuccess);
    reg->Hive = HiveLocalMachine;
    EXPECT_THROW(reg->GetRegDword(key, L"Where"), RegistryFailure);
    EXPECT_EQ(reg->CreateRegKey(key), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(key, L"Where", 2), registry::ResultSuccess);
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->GetRegDword(key, L"Where"), 1);
    reg->Hive = HiveLocalMachine;
    EXPECT_EQ(reg->GetRegDword(key, L"Where"), 2);
}

TEST_P(RegistryContract, WritesIntoAMissingKeyAreLostWithoutFailure) {
    const std::wstring key = Base + L"\\Not yet";
    reg->Hive = HiveCurrentUser;
    EXPECT_NO_THROW(std::ignore = reg->SetRegDword(key, L"Number", 3));
    EXPECT_NO_THROW(std::ignore = reg->SetRegString(key, L"Text", L"x"));
    EXPECT_THROW(reg->GetRegDword(key, L"Number"), RegistryFailure);
    EXPECT_THROW(reg->GetRegString(key, L"Text"), RegistryFailure);

    EXPECT_EQ(reg->CreateRegKey(key), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(key, L"Number", 3), registry::ResultSuccess);
    EXPECT_EQ(reg->GetRegDword(key, L"Number"), 3);
}

TEST_P(RegistryContract, CreatingAKeyCreatesItsMissingParentsAndKeepsAnExistingKey) {
    const std::wstring parent = Base + L"\\Ploz";
    reg->Hive = HiveLocalMachine;
    EXPECT_EQ(reg->CreateRegKey(parent + L"\\psw"), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegString(parent, L"InParent", L"yes"), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegString(parent + L"\\psw", L"MyPassword", L"secret"), registry::ResultSuccess);
    EXPECT_EQ(reg->CreateRegKey(parent + L"\\psw"), registry::ResultSuccess);
    EXPECT_EQ(reg->GetRegString(parent, L"InParent"), L"yes");
    EXPECT_EQ(reg->GetRegString(parent + L"\\psw", L"MyPassword"), L"secret");
}

TEST_P(RegistryContract, KeyPathsAndValueNamesIgnoreLetterCase) {
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->CreateRegKey(Base + L"\\Policies\\System"), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(L"SOFTWARE\\quelvane contract\\POLICIES\\system", L"DisableRegistryTools", 1),
              registry::ResultSuccess);
    EXPECT_EQ(reg->GetRegDword(Base + L"\\Policies\\System", L"disableregistrytools"), 1);
    EXPECT_EQ(reg->DeleteRegValue(Base + L"\\policies\\SYSTEM", L"DISABLEREGISTRYTOOLS"), registry::ResultSuccess);
    EXPECT_THROW(reg->GetRegDword(Base + L"\\Policies\\System", L"DisableRegistryTools"), RegistryFailure);
}

TEST_P(RegistryContract, TheUnnamedValueIsReadAndWrittenByTheEmptyName) {
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->CreateRegKey(Base), registry::ResultSuccess);
    EXPECT_THROW(reg->GetRegDword(Base, L""), RegistryFailure);
    EXPECT_EQ(reg->SetRegDword(Base, L"", 36), registry::ResultSuccess);
    EXPECT_EQ(reg->GetRegDword(Base, L""), 36);
}

TEST_P(RegistryContract, DeletingRemovesValuesAndLeafKeysAndMissingOnesAreNoFailure) {
    const std::wstring key = Base + L"\\Explorer";
    const std::wstring sub = key + L"\\DisallowRun";
    reg->Hive = HiveCurrentUser;
    EXPECT_NO_THROW(std::ignore = reg->DeleteRegValue(key, L"NoDrives"));
    EXPECT_NO_THROW(std::ignore = reg->DeleteRegKey(sub));

    EXPECT_EQ(reg->CreateRegKey(sub), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(key, L"NoDrives", 12), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegString(sub, L"1", L"cmd.exe"), registry::ResultSuccess);
    EXPECT_NO_THROW(std::ignore = reg->DeleteRegValue(key, L"NoViewOnDrive"));
    EXPECT_EQ(reg->DeleteRegValue(key, L"NoDrives"), registry::ResultSuccess);
    EXPECT_THROW(reg->GetRegDword(key, L"NoDrives"), RegistryFailure);

    EXPECT_EQ(reg->DeleteRegKey(sub), registry::ResultSuccess);
    // The key is gone with its values: a write into it is lost.
    EXPECT_EQ(reg->SetRegString(sub, L"1", L"cmd.exe"), registry::ResultNotFound);
    EXPECT_THROW(reg->GetRegString(sub, L"1"), RegistryFailure);
}

TEST_P(RegistryContract, DeletingAKeyThatHasASubkeyLeavesItInPlace) {
    const std::wstring key = Base + L"\\Parent";
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->CreateRegKey(key + L"\\Child"), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(key, L"Kept", 1), registry::ResultSuccess);
    EXPECT_NO_THROW(std::ignore = reg->DeleteRegKey(key));
    EXPECT_EQ(reg->GetRegDword(key, L"Kept"), 1);
}

TEST_P(RegistryContract, WritesCreationsAndDeletionsAnswerWhetherTheRegistryCarriedThemOut) {
    using registry::ResultKeyHasSubkeys;
    using registry::ResultNotFound;
    using registry::ResultSuccess;
    const std::wstring key = Base + L"\\Answers";
    const std::wstring sub = key + L"\\DisallowRun";
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->SetRegDword(key, L"Number", 3), ResultNotFound);
    EXPECT_EQ(reg->SetRegString(key, L"Text", L"x"), ResultNotFound);
    EXPECT_EQ(reg->DeleteRegValue(key, L"Number"), ResultNotFound);
    EXPECT_EQ(reg->DeleteRegKey(sub), ResultNotFound);

    EXPECT_EQ(reg->CreateRegKey(sub), ResultSuccess);
    EXPECT_EQ(reg->CreateRegKey(sub), ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(key, L"Number", 3), ResultSuccess);
    EXPECT_EQ(reg->SetRegString(sub, L"1", L"cmd.exe"), ResultSuccess);
    EXPECT_EQ(reg->DeleteRegValue(key, L"Number"), ResultSuccess);
    EXPECT_EQ(reg->DeleteRegValue(key, L"Number"), ResultNotFound);

    EXPECT_EQ(reg->DeleteRegKey(key), ResultKeyHasSubkeys);
    EXPECT_EQ(reg->GetRegString(sub, L"1"), L"cmd.exe");
    EXPECT_EQ(reg->DeleteRegKey(sub), ResultSuccess);
    EXPECT_EQ(reg->DeleteRegKey(key), ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(key, L"Number", 3), ResultNotFound);
}

TEST_P(RegistryContract, ListingValuesNamesEachWithItsTypeAndAMissingKeyRaisesAsNotFound) {
    const std::wstring key = Base + L"\\DisallowRun";
    reg->Hive = HiveCurrentUser;
    try {
        reg->EnumRegValues(key);
        ADD_FAILURE() << "listing the values of a missing key must raise";
    } catch (const RegistryFailure& failure) {
        EXPECT_EQ(failure.Result(), registry::ResultNotFound) << failure.what();
    }
    EXPECT_EQ(reg->CreateRegKey(key + L"\\Child"), registry::ResultSuccess);
    EXPECT_TRUE(reg->EnumRegValues(key).empty());  // a subkey is no value

    EXPECT_EQ(reg->SetRegString(key, L"1", L"notepad.exe"), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(key, L"2", 4), registry::ResultSuccess);
    std::map<std::wstring, registry::ValueType> listed;
    for (const registry::RegistryValueInfo& value : reg->EnumRegValues(key)) listed[value.name] = value.type;
    EXPECT_EQ(listed, (std::map<std::wstring, registry::ValueType>{{L"1", registry::ValueTypeString},
                                                                   {L"2", registry::ValueTypeDword}}));
    EXPECT_EQ(reg->EnumRegValues(key).size(), 2u);
}

TEST_P(RegistryContract, AccessIsGrantedOnAnOwnKeyAndRefusedOnAMissingOne) {
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->CreateRegKey(Base), registry::ResultSuccess);
    for (std::uint32_t right :
         {registry::RightQueryValue, registry::RightSetValue, registry::RightCreateSubKey, registry::RightDelete})
        EXPECT_TRUE(reg->CheckRegAccess(Base, right)) << right;
    EXPECT_TRUE(reg->CheckRegAccess(Base, registry::RightQueryValue | registry::RightSetValue));
    EXPECT_FALSE(reg->CheckRegAccess(Base + L"\\Missing", registry::RightQueryValue));
}

TEST_P(RegistryContract, EveryOperationRaisesWhenTheProviderCannotBeReached) {
    auto down = GetParam().makeUnreachable();
    down->Hive = HiveCurrentUser;
    down->CurrentUserSid = GetParam().currentUserSid;
    EXPECT_THROW(std::ignore = down->CreateRegKey(Base), RegistryFailure);
    EXPECT_THROW(std::ignore = down->SetRegString(Base, L"S", L"x"), RegistryFailure);
    EXPECT_THROW(std::ignore = down->SetRegDword(Base, L"D", 1), RegistryFailure);
    EXPECT_THROW(down->GetRegString(Base, L"S"), RegistryFailure);
    EXPECT_THROW(down->GetRegDword(Base, L"D"), RegistryFailure);
    EXPECT_THROW(std::ignore = down->DeleteRegValue(Base, L"S"), RegistryFailure);
    EXPECT_THROW(std::ignore = down->DeleteRegKey(Base), RegistryFailure);
    EXPECT_THROW(down->CheckRegAccess(Base, 1), RegistryFailure);
    try {
        down->EnumRegValues(Base);
        ADD_FAILURE() << "listing values through an unreachable provider must raise";
    } catch (const RegistryFailure& failure) {
        // Never to be taken for a key that is simply missing.
        EXPECT_NE(failure.Result(), registry::ResultNotFound) << failure.what();
    }
}

// The current user's operations land in HKEY_USERS\<SID>, which is
// HKEY_CURRENT_USER itself exactly when the SID is the running account's.
TEST_P(RegistryContractOnHkeyUsers, TheCurrentUsersHiveIsTheSidsKeyUnderHkeyUsers) {
    const std::wstring sid = GetParam().currentUserSid.value();
    reg->Hive = HiveCurrentUser;
    EXPECT_EQ(reg->CreateRegKey(Base), registry::ResultSuccess);
    EXPECT_EQ(reg->SetRegDword(Base, L"Number", 12), registry::ResultSuccess);
    reg->Hive = registry::HiveUsers;
    EXPECT_EQ(reg->GetRegDword(sid + L"\\" + Base, L"Number"), 12);
    reg->Hive = HiveCurrentUser;
    reg->CurrentUserSid.reset();
    if (GetParam().ownAccount)
        EXPECT_EQ(reg->GetRegDword(Base, L"Number"), 12);
    else
        EXPECT_THROW(reg->GetRegDword(Base, L"Number"), RegistryFailure);
}
