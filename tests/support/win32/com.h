// Windows only: COM for the tests, which join it as the program's WinMain
// does (app/main.cpp), since nothing that they test joins it for them.
//
//   a test that needs COM on its own thread only:
//     const com::Apartment apartment;   // CoInitializeEx / CoUninitialize
//   a test program whose every test needs it links quelvane_test_com_main
//   in place of GTest::gtest_main (quelvane_test(... COM ...)).
#pragma once

#include <objbase.h>

namespace com {

// Joins the calling thread to a single-threaded apartment for the owner's
// lifetime, or keeps the one that the thread has already.
class Apartment {
public:
    Apartment() : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~Apartment() {
        if (joined_) CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    bool joined_;
};

// The process's COM security as the program sets it, once, before any
// marshalled call.
inline HRESULT InitializeSecurity() {
    return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE,
                                nullptr, EOAC_NONE, nullptr);
}

}  // namespace com
