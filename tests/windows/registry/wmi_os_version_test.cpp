// Run once per Windows version that the Wine prefix reports (see CMakeLists):
// QUELVANE_EXPECTED_OS_VERSION names the answer the probe must give; without
// it the prefix keeps Wine's default, which is none of the known versions.
#include <windows.h>
#include <wbemcli.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "registry/registry_provider.h"
#include "registry/win32/wmi_os_version.h"
#include "tests/support/win32/stand_in.h"
#include "text/utf.h"

using registry::WmiOsVersionProbe;

namespace {

// What the system reports through the plain API, in the probe's format.
std::wstring VersionFromTheApi() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) return L"";
    const std::wstring full = std::to_wstring(info.dwMajorVersion) + L"." + std::to_wstring(info.dwMinorVersion) +
                              L"." + std::to_wstring(info.dwBuildNumber);
    return full.substr(0, 8);
}

bool IsKnownVersion(const std::wstring& version) {
    return version == L"5.1.2600" || version == L"5.0.2195" || version == L"4.9.3000";
}

}  // namespace

TEST(WmiOsVersionProbe, AnswersTheVersionThatTheSystemReportsEveryTimeItIsAsked) {
    WmiOsVersionProbe probe;
    const std::wstring expected = VersionFromTheApi();
    ASSERT_FALSE(expected.empty());
    // The main window asks three times in a row.
    for (int call = 0; call < 3; ++call) EXPECT_EQ(probe.GetOsVersion(), expected) << "call " << call;
}

TEST(WmiOsVersionProbe, AnswersTheVersionThatThePrefixIsSetTo) {
    const std::wstring version = WmiOsVersionProbe().GetOsVersion();
    if (const char* expected = std::getenv("QUELVANE_EXPECTED_OS_VERSION")) {
        EXPECT_EQ(version, std::wstring(expected, expected + std::char_traits<char>::length(expected)));
    } else {
        EXPECT_FALSE(version.empty());
        EXPECT_LE(version.size(), 8u);
        EXPECT_FALSE(IsKnownVersion(version)) << text::ToUtf8(version);
    }
}

TEST(WmiOsVersionProbe, AnUnreachableServiceGivesTheEmptyStringAndRaisesNothing) {
    if (!stand_in::Active()) GTEST_SKIP() << "only the stand-in refuses a connection on request";
    stand_in::Reset();
    stand_in::SetFault(L"ConnectServer", static_cast<HRESULT>(WBEM_E_INVALID_NAMESPACE));
    WmiOsVersionProbe probe;
    std::wstring version = L"unchanged";
    EXPECT_NO_THROW(version = probe.GetOsVersion());
    EXPECT_EQ(version, L"");
    stand_in::Reset();
}

TEST(WmiOsVersionProbe, TakesTheLastInstancesVersionAndNothingFromANullVersionOrAFailedStep) {
    if (!stand_in::Active()) GTEST_SKIP() << "Wine's own service always delivers its one instance";
    stand_in::Reset();
    stand_in::SetNumber(L"Instances", 2);
    stand_in::SetText(L"Version1", L"5.1.2600");
    stand_in::SetText(L"Version2", L"5.0.2195.1");
    EXPECT_EQ(WmiOsVersionProbe().GetOsVersion(), L"5.0.2195");
    stand_in::SetNumber(L"Version2", 0);  // not a text: the instance's Version is null
    EXPECT_EQ(WmiOsVersionProbe().GetOsVersion(), L"");
    stand_in::SetNumber(L"Instances", 0);
    EXPECT_EQ(WmiOsVersionProbe().GetOsVersion(), L"");

    stand_in::SetNumber(L"Instances", 1);
    EXPECT_EQ(WmiOsVersionProbe().GetOsVersion(), L"5.1.2600");
    for (const wchar_t* step : {L"Get(Version)", L"Next", L"ExecQuery", L"ConnectServer"}) {
        SCOPED_TRACE(text::ToUtf8(step));
        stand_in::SetFault(step, static_cast<HRESULT>(WBEM_E_FAILED));
        EXPECT_EQ(WmiOsVersionProbe().GetOsVersion(), L"");
        stand_in::SetFault(step, S_OK);
    }
}
