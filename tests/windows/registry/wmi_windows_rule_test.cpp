// Windows' rule, shown under Wine: this program links its own RunningOnWine,
// which answers "Windows", in place of win32/wine.cpp's.  A method that the
// service lacks (Wine's own three, or the stand-in's when told so) then fails,
// naming it, and nothing goes around the service.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <tuple>
#include <utility>

#include "registry/win32/wmi_registry_provider.h"
#include "tests/support/win32/registry_witness.h"
#include "tests/support/win32/stand_in.h"
#include "text/utf.h"
#include "win32/wine.h"

namespace win32 {
bool RunningOnWine() { return false; }
}  // namespace win32

TEST(WmiRegistryProviderOnWindows, AMethodThatTheServiceLacksFailsNamingItAndNothingGoesAroundIt) {
    const std::wstring base = L"Software\\Quelvane Wmi Rule Test";
    const std::array<const wchar_t*, 3> missing{L"GetDWORDValue", L"DeleteValue", L"CheckAccess"};
    stand_in::Reset();
    if (stand_in::Active())
        for (const wchar_t* method : missing)
            stand_in::SetFault(L"GetMethod(" + std::wstring(method) + L")", WBEM_E_NOT_FOUND);
    witness::WriteDword(registry::HiveCurrentUser, base, L"Number", 6);

    registry::WmiRegistryProvider reg;
    reg.Hive = registry::HiveCurrentUser;
    const std::array<std::function<void()>, 3> runs{
        [&] { std::ignore = reg.GetRegDword(base, L"Number"); },
        [&] { std::ignore = reg.DeleteRegValue(base, L"Number"); },
        [&] { std::ignore = reg.CheckRegAccess(base, registry::RightQueryValue); },
    };
    for (std::size_t i = 0; i < missing.size(); ++i) {
        const std::wstring method = missing[i];
        try {
            runs[i]();
            ADD_FAILURE() << text::ToUtf8(method) << " did not raise";
        } catch (const registry::RegistryFailure& failure) {
            EXPECT_NE(failure.Reason().find(L"GetMethod(" + method + L")"), std::wstring::npos) << failure.what();
        }
    }
    EXPECT_EQ(std::get<std::uint32_t>(witness::ReadValue(registry::HiveCurrentUser, base, L"Number")->data), 6u);
    // The methods that the service has still run through it.
    EXPECT_EQ(reg.SetRegDword(base, L"Number", 7), registry::ResultSuccess);
    EXPECT_EQ(std::get<std::uint32_t>(witness::ReadValue(registry::HiveCurrentUser, base, L"Number")->data), 7u);
    stand_in::Reset();
    witness::DeleteTree(registry::HiveCurrentUser, base);
}
