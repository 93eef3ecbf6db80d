#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <tuple>

#include "registry/win32/wmi_registry_provider.h"
#include "tests/registry/registry_contract.h"
#include "tests/support/win32/registry_witness.h"
#include "tests/support/win32/stand_in.h"
#include "text/utf.h"
#include "win32/signed_in_user.h"
#include "win32/wine.h"

using registry::HiveCurrentUser;
using registry::HiveLocalMachine;
using registry::RegistryFailure;
using registry::WmiRegistryProvider;

namespace {

const wchar_t* const MissingNamespace = L"\\\\.\\root\\quelvane-no-such-namespace";
const std::wstring ContractKey = L"Software\\Quelvane Contract";
const std::wstring Base = L"Software\\Quelvane Wmi Test";

void ClearTestKeys() {
    for (registry::Root root : {HiveCurrentUser, HiveLocalMachine}) {
        witness::DeleteTree(root, ContractKey);
        witness::DeleteTree(root, Base);
    }
}

std::unique_ptr<registry::RegistryProvider> Fresh() {
    ClearTestKeys();
    return std::make_unique<WmiRegistryProvider>();
}

std::unique_ptr<registry::RegistryProvider> Unreachable() {
    return std::make_unique<WmiRegistryProvider>(MissingNamespace);
}

const RegistryUnderTest OnHkeyUsers{"WmiRegistryProviderOnHkeyUsers", Fresh, Unreachable,
                                    win32::SystemAccountSources().own(), true};

}  // namespace

// Once on HKEY_CURRENT_USER, once on HKEY_USERS\<the test's own SID>, read
// from its token: the same hive reached by the other root.
INSTANTIATE_TEST_SUITE_P(UnderWindowsOrWine, RegistryContract,
                         ::testing::Values(RegistryUnderTest{"WmiRegistryProvider", Fresh, Unreachable}, OnHkeyUsers),
                         RegistryUnderTestName());
INSTANTIATE_TEST_SUITE_P(UnderWindowsOrWine, RegistryContractOnHkeyUsers, ::testing::Values(OnHkeyUsers),
                         RegistryUnderTestName());

class WmiRegistryProviderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearTestKeys();
        reg.Hive = HiveCurrentUser;
    }
    void TearDown() override { ClearTestKeys(); }

    WmiRegistryProvider reg;
};

TEST_F(WmiRegistryProviderTest, NumbersAndStringsAreStoredExactlyWithTheirRegistryTypes) {
    EXPECT_EQ(reg.CreateRegKey(Base), registry::ResultSuccess);
    EXPECT_EQ(reg.SetRegDword(Base, L"NoDrives", 0x3FFFFFF), registry::ResultSuccess);
    EXPECT_EQ(reg.SetRegString(Base, L"Restriction", L"Current user"), registry::ResultSuccess);
    EXPECT_EQ(reg.SetRegString(Base, L"Empty", L""), registry::ResultSuccess);

    auto number = witness::ReadValue(HiveCurrentUser, Base, L"NoDrives");
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(number->type, static_cast<unsigned long>(REG_DWORD));
    EXPECT_EQ(std::get<std::uint32_t>(number->data), 0x3FFFFFFu);
    auto text = witness::ReadValue(HiveCurrentUser, Base, L"Restriction");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->type, static_cast<unsigned long>(REG_SZ));
    EXPECT_EQ(std::get<std::wstring>(text->data), L"Current user");
    auto empty = witness::ReadValue(HiveCurrentUser, Base, L"Empty");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->type, static_cast<unsigned long>(REG_SZ));
    EXPECT_EQ(std::get<std::wstring>(empty->data), L"");

    auto shownNumber = witness::RegExeQuery(HiveCurrentUser, Base, L"NoDrives");
    EXPECT_EQ(shownNumber.exitCode, 0u) << shownNumber.output;
    EXPECT_EQ(shownNumber.type, "REG_DWORD") << shownNumber.output;
    EXPECT_EQ(shownNumber.data, "0x3ffffff") << shownNumber.output;
    auto shownText = witness::RegExeQuery(HiveCurrentUser, Base, L"Restriction");
    EXPECT_EQ(shownText.type, "REG_SZ") << shownText.output;
    EXPECT_EQ(shownText.data, "Current user") << shownText.output;
}

TEST_F(WmiRegistryProviderTest, WritesLandUnderTheRootThatHiveHolds) {
    reg.Hive = HiveLocalMachine;
    EXPECT_EQ(reg.CreateRegKey(Base + L"\\Ploz\\psw"), registry::ResultSuccess);
    EXPECT_EQ(reg.SetRegString(Base + L"\\Ploz\\psw", L"MyPassword", L"secret"), registry::ResultSuccess);

    EXPECT_TRUE(witness::KeyExists(HiveLocalMachine, Base + L"\\Ploz"));
    EXPECT_FALSE(witness::KeyExists(HiveCurrentUser, Base + L"\\Ploz"));
    auto shown = witness::RegExeQuery(HiveLocalMachine, Base + L"\\Ploz\\psw", L"MyPassword");
    EXPECT_EQ(shown.type, "REG_SZ") << shown.output;
    EXPECT_EQ(shown.data, "secret") << shown.output;
    EXPECT_NE(witness::RegExeQuery(HiveCurrentUser, Base + L"\\Ploz\\psw", std::nullopt).exitCode, 0u);
}

TEST_F(WmiRegistryProviderTest, ValuesWrittenByOtherProgramsReadBackWithTheirContent) {
    witness::WriteDword(HiveCurrentUser, Base, L"SecurityMode", 1);
    witness::WriteDword(HiveCurrentUser, Base, L"NoViewOnDrive", 0x3FFFFFF);
    witness::WriteString(HiveCurrentUser, Base, L"Restriction", L"All users");

    EXPECT_EQ(reg.GetRegDword(Base, L"SecurityMode"), 1);
    EXPECT_EQ(reg.GetRegDword(Base, L"NoViewOnDrive"), 0x3FFFFFF);
    EXPECT_EQ(reg.GetRegString(Base, L"Restriction"), L"All users");
}

TEST_F(WmiRegistryProviderTest, DeletionsReachTheRegistry) {
    const std::wstring sub = Base + L"\\DisallowRun";
    witness::WriteDword(HiveCurrentUser, Base, L"NoDrives", 12);
    witness::WriteDword(HiveCurrentUser, Base, L"Kept", 1);
    witness::WriteString(HiveCurrentUser, sub, L"1", L"cmd.exe");

    EXPECT_EQ(reg.DeleteRegValue(Base, L"NoDrives"), registry::ResultSuccess);
    EXPECT_EQ(reg.DeleteRegKey(sub), registry::ResultSuccess);

    EXPECT_FALSE(witness::ReadValue(HiveCurrentUser, Base, L"NoDrives").has_value());
    EXPECT_TRUE(witness::ReadValue(HiveCurrentUser, Base, L"Kept").has_value());
    EXPECT_FALSE(witness::KeyExists(HiveCurrentUser, sub));
    EXPECT_NE(witness::RegExeQuery(HiveCurrentUser, Base, L"NoDrives").exitCode, 0u);
    EXPECT_NE(witness::RegExeQuery(HiveCurrentUser, sub, std::nullopt).exitCode, 0u);
    EXPECT_EQ(witness::RegExeQuery(HiveCurrentUser, Base, L"Kept").type, "REG_DWORD");
}

TEST_F(WmiRegistryProviderTest, AnArgumentThatCannotBePutRaisesAndNothingIsWritten) {
    if (!stand_in::Active()) GTEST_SKIP() << "only the stand-in refuses a Put on request";
    witness::WriteDword(HiveCurrentUser, Base, L"NoDrives", 7);
    stand_in::Reset();
    stand_in::SetFault(L"Put(uValue)", WBEM_E_TYPE_MISMATCH);
    try {
        std::ignore = reg.SetRegDword(Base, L"NoDrives", 12);
        FAIL() << "a refused Put must raise";
    } catch (const RegistryFailure& failure) {
        EXPECT_EQ(failure.Operation(), L"SetRegDword");
        EXPECT_NE(failure.Reason().find(L"Put(SetDWORDValue.uValue"), std::wstring::npos) << failure.what();
        EXPECT_NE(failure.Reason().find(L"0x80041005"), std::wstring::npos) << failure.what();
    }
    EXPECT_THROW(std::ignore = reg.SetRegDword(Base, L"NoViewOnDrive", 12), RegistryFailure);
    stand_in::SetFault(L"Put(hDefKey)", WBEM_E_FAILED);
    EXPECT_THROW(std::ignore = reg.CreateRegKey(Base + L"\\Created"), RegistryFailure);
    stand_in::Reset();
    stand_in::SetFault(L"Put(sValueName)", WBEM_E_TYPE_MISMATCH);
    EXPECT_THROW(std::ignore = reg.SetRegString(Base, L"Restriction", L"Current user"), RegistryFailure);
    stand_in::Reset();

    // Had the method run with an argument left at its default, NoDrives would
    // now hold 3 (Windows) or 0 (Wine).
    EXPECT_EQ(std::get<std::uint32_t>(witness::ReadValue(HiveCurrentUser, Base, L"NoDrives")->data), 7u);
    EXPECT_FALSE(witness::ReadValue(HiveCurrentUser, Base, L"NoViewOnDrive").has_value());
    EXPECT_FALSE(witness::KeyExists(HiveCurrentUser, Base + L"\\Created"));
    EXPECT_FALSE(witness::ReadValue(HiveCurrentUser, Base, L"Restriction").has_value());
    EXPECT_TRUE(stand_in::CallsOf(L"StdRegProv.SetDWORDValue").empty());
}

TEST_F(WmiRegistryProviderTest, OnlyTheMethodsThatTheServiceLacksGoThroughTheRegistryApi) {
    struct Case {
        const wchar_t* method;
        std::function<void()> run;
    };
    const std::array<Case, 9> cases{{
        {L"CreateKey", [&] { EXPECT_EQ(reg.CreateRegKey(Base + L"\\Sub"), registry::ResultSuccess); }},
        {L"SetStringValue", [&] { EXPECT_EQ(reg.SetRegString(Base, L"Text", L"x"), registry::ResultSuccess); }},
        {L"SetDWORDValue", [&] { EXPECT_EQ(reg.SetRegDword(Base, L"Number", 6), registry::ResultSuccess); }},
        {L"GetStringValue", [&] { EXPECT_EQ(reg.GetRegString(Base, L"Text"), L"x"); }},
        {L"GetDWORDValue", [&] { EXPECT_EQ(reg.GetRegDword(Base, L"Number"), 6); }},
        {L"EnumValues", [&] { EXPECT_EQ(reg.EnumRegValues(Base).size(), 2u); }},
        {L"DeleteValue", [&] { EXPECT_EQ(reg.DeleteRegValue(Base, L"Text"), registry::ResultSuccess); }},
        {L"DeleteKey", [&] { EXPECT_EQ(reg.DeleteRegKey(Base + L"\\Sub"), registry::ResultSuccess); }},
        {L"CheckAccess", [&] { EXPECT_TRUE(reg.CheckRegAccess(Base, registry::RightQueryValue)); }},
    }};
    // Under the stand-in: first Windows' service, which has every method, then
    // one that lacks Wine's three.  The call log shows which road each took.
    const std::array<const wchar_t*, 3> winesMissing{L"GetDWORDValue", L"DeleteValue", L"CheckAccess"};
    for (bool lacking : {false, true}) {
        SCOPED_TRACE(lacking ? "service lacking Wine's three" : "service with every method");
        ClearTestKeys();
        witness::WriteDword(HiveCurrentUser, Base, L"Number", 5);
        stand_in::Reset();
        for (const wchar_t* method : winesMissing)
            if (lacking) stand_in::SetFault(L"GetMethod(" + std::wstring(method) + L")", WBEM_E_NOT_FOUND);
        for (const Case& c : cases) {
            SCOPED_TRACE(text::ToUtf8(c.method));
            c.run();
            if (stand_in::Active()) {
                EXPECT_EQ(stand_in::CallsOf(L"StdRegProv." + std::wstring(c.method)).empty(),
                          !witness::StdRegProvHasMethod(c.method));
            }
        }
        EXPECT_FALSE(witness::ReadValue(HiveCurrentUser, Base, L"Text").has_value());
        EXPECT_FALSE(witness::KeyExists(HiveCurrentUser, Base + L"\\Sub"));
        if (!stand_in::Active()) break;
    }
    stand_in::Reset();

    if (!stand_in::Active()) {
        // Wine's StdRegProv has neither of these three; the cases above then
        // took the registry API road for exactly them.
        EXPECT_FALSE(witness::StdRegProvHasMethod(L"GetDWORDValue"));
        EXPECT_FALSE(witness::StdRegProvHasMethod(L"DeleteValue"));
        EXPECT_FALSE(witness::StdRegProvHasMethod(L"CheckAccess"));
        EXPECT_TRUE(witness::StdRegProvHasMethod(L"SetDWORDValue"));
        EXPECT_TRUE(witness::StdRegProvHasMethod(L"EnumValues"));
    }
}

TEST_F(WmiRegistryProviderTest, AnAccessCheckOfSeveralRightsIsTrueOnlyWhenAllAreHeld) {
    // A key of its own: a read-only key cannot be cleared away after the test.
    const std::wstring readOnly = L"Software\\Quelvane Rights Test";
    witness::CreateKey(HiveCurrentUser, readOnly);
    witness::MakeKeyReadOnly(HiveCurrentUser, readOnly);
    EXPECT_EQ(reg.CreateRegKey(Base), registry::ResultSuccess);
    const std::uint32_t all =
        registry::RightQueryValue | registry::RightSetValue | registry::RightCreateSubKey | registry::RightDelete;
    EXPECT_TRUE(reg.CheckRegAccess(Base, all));
    EXPECT_TRUE(reg.CheckRegAccess(readOnly, registry::RightQueryValue));
    EXPECT_FALSE(reg.CheckRegAccess(readOnly, registry::RightSetValue));
    EXPECT_FALSE(reg.CheckRegAccess(readOnly, registry::RightQueryValue | registry::RightSetValue));
    EXPECT_FALSE(reg.CheckRegAccess(readOnly, all));
}

TEST_F(WmiRegistryProviderTest, AnUnreachableServiceFailsEveryOperationAndNothingFallsBack) {
    witness::WriteDword(HiveCurrentUser, Base, L"NoDrives", 12);
    WmiRegistryProvider down(MissingNamespace);
    down.Hive = HiveCurrentUser;

    try {
        down.GetRegDword(Base, L"NoDrives");
        FAIL() << "a read through an unreachable service must raise, although the value exists";
    } catch (const RegistryFailure& failure) {
        EXPECT_EQ(failure.Operation(), L"GetRegDword");
        EXPECT_EQ(failure.RootUsed(), HiveCurrentUser);
        EXPECT_EQ(failure.Key(), Base);
        EXPECT_EQ(failure.ValueName(), L"NoDrives");
        EXPECT_NE(failure.Reason().find(L"ConnectServer"), std::wstring::npos) << failure.what();
    }
    EXPECT_THROW(std::ignore = down.DeleteRegValue(Base, L"NoDrives"), RegistryFailure);
    EXPECT_THROW(down.CheckRegAccess(Base, registry::RightQueryValue), RegistryFailure);
    EXPECT_EQ(std::get<std::uint32_t>(witness::ReadValue(HiveCurrentUser, Base, L"NoDrives")->data), 12u);
}

TEST_F(WmiRegistryProviderTest, AReadOfAStringThatIsANumberRaisesAndSaysSo) {
    witness::WriteDword(HiveCurrentUser, Base, L"NoDrives", 12);
    try {
        reg.GetRegString(Base, L"NoDrives");
        FAIL() << "reading a number as a string must raise";
    } catch (const RegistryFailure& failure) {
        // Wine's service delivers a VT_BSTR with no string, Windows' VT_NULL.
        EXPECT_EQ(std::string(failure.what()),
                  "GetRegString failed on HKEY_CURRENT_USER\\Software\\Quelvane Wmi Test, value \"NoDrives\": "
                  "the provider delivered no string (variant type " +
                      std::string(stand_in::Active() ? "1" : "8") + ")");
    }
}

namespace {

struct ThreadResult {
    HRESULT joined = E_FAIL;
    bool wrote = false;
    bool stillJoined = false;
};

DWORD WINAPI UseProviderInMultithreadedApartment(void* parameter) {
    auto& result = *static_cast<ThreadResult*>(parameter);
    result.joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        WmiRegistryProvider reg;
        reg.Hive = HiveCurrentUser;
        result.wrote = reg.CreateRegKey(Base + L"\\Thread") == registry::ResultSuccess &&
                       reg.SetRegDword(Base + L"\\Thread", L"Number", 3) == registry::ResultSuccess &&
                       reg.GetRegDword(Base + L"\\Thread", L"Number") == 3;
    } catch (const RegistryFailure&) {
        result.wrote = false;
    }
    // The provider left the thread's own apartment alone.
    result.stillJoined = CoInitializeEx(nullptr, COINIT_MULTITHREADED) == S_FALSE;
    CoUninitialize();
    CoUninitialize();
    return 0;
}

}  // namespace

// The program uses the provider in the main thread's single-threaded
// apartment (this program's main joins it as WinMain does); it works in the
// multithreaded one as well, and leaves the thread's apartment alone.
TEST(WmiRegistryProviderApartment, WorksInTheMultithreadedApartmentAndLeavesItAlone) {
    ClearTestKeys();
    ThreadResult result;
    HANDLE thread = CreateThread(nullptr, 0, UseProviderInMultithreadedApartment, &result, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(result.joined, S_OK);
    EXPECT_TRUE(result.wrote);
    EXPECT_TRUE(result.stillJoined);
    ClearTestKeys();
}
