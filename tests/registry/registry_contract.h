// The behaviour that every RegistryProvider shows its callers.  A test
// program runs it against one implementation with
//   INSTANTIATE_TEST_SUITE_P(Name, RegistryContract, ::testing::Values(RegistryUnderTest{...}));
// and, for the ones with a currentUserSid, RegistryContractOnHkeyUsers too.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "registry/registry_provider.h"

struct RegistryUnderTest {
    std::string name;
    // A provider on a registry in which the contract's keys do not exist yet.
    std::function<std::unique_ptr<registry::RegistryProvider>()> make;
    // A provider whose service cannot be reached.
    std::function<std::unique_ptr<registry::RegistryProvider>()> makeUnreachable;
    // Set: the cases run on this account's hive under HKEY_USERS, as the
    // provider's CurrentUserSid; ownAccount: it is HKEY_CURRENT_USER's too.
    std::optional<std::wstring> currentUserSid = std::nullopt;
    bool ownAccount = false;
};

inline std::string PrintToString(const RegistryUnderTest& param) { return param.name; }

class RegistryContract : public ::testing::TestWithParam<RegistryUnderTest> {
protected:
    void SetUp() override {
        reg = GetParam().make();
        reg->CurrentUserSid = GetParam().currentUserSid;
    }

    std::unique_ptr<registry::RegistryProvider> reg;
};

// Cases for a RegistryUnderTest with a currentUserSid alone.
class RegistryContractOnHkeyUsers : public RegistryContract {};

// Names each instantiation's cases after its implementation.
struct RegistryUnderTestName {
    std::string operator()(const ::testing::TestParamInfo<RegistryUnderTest>& info) const { return info.param.name; }
};
