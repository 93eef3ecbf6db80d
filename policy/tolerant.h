// The ignore-and-continue mode of the load procedures: a step that fails is
// skipped, and a condition whose test fails counts as holding.
#pragma once

#include "policy/main_window_values.h"
#include "registry/registry_provider.h"

namespace policy {

template <typename Step>
void IgnoringFailure(Step&& step) {
    try {
        step();
    } catch (const registry::RegistryFailure&) {
    } catch (const ValueRefused&) {}
}

// The test's answer, and true when the test itself fails: only a test that ran
// and answered false counts as false.
template <typename Test>
bool TrueUnlessKnownFalse(Test&& test) {
    try {
        return test();
    } catch (const registry::RegistryFailure&) {
        return true;
    } catch (const ValueRefused&) {
        return true;
    }
}

}  // namespace policy
