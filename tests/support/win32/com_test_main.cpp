// The main of the test programs whose code under test assumes COM, joined as
// WinMain joins it: the main thread's apartment, then the process's security.
#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/win32/com.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const com::Apartment apartment;
    std::ignore = com::InitializeSecurity();
    return RUN_ALL_TESTS();
}
