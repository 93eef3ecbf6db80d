// The behaviour that every RegistryProvider shows its callers.  A test
// program runs it against one implementation with
//   INSTANTIATE_TEST_SUITE_P(Name, RegistryContract, ::testing::Values(RegistryUnderTest{...}));
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "registry/registry_provider.h"

struct RegistryUnderTest {
    std::string name;
    // A provider on a registry in which the contract's keys do not exist yet.
    std::function<std::unique_ptr<registry::RegistryProvider>()> make;
    // A provider whose service cannot be reached.
    std::function<std::unique_ptr<registry::RegistryProvider>()> makeUnreachable;
};

inline std::string PrintToString(const RegistryUnderTest& param) { return param.name; }

class RegistryContract : public ::testing::TestWithParam<RegistryUnderTest> {
protected:
    void SetUp() override { reg = GetParam().make(); }

    std::unique_ptr<registry::RegistryProvider> reg;
};

// Names each instantiation's cases after its implementation.
struct RegistryUnderTestName {
    std::string operator()(const ::testing::TestParamInfo<RegistryUnderTest>& info) const { return info.param.name; }
};
