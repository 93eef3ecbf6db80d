#include "win32/wmi_connection.h"

#include <gtest/gtest.h>
#include <wbemidl.h>

#include "tests/support/win32/com.h"
#include "win32/failure.h"
#include "win32/scoped.h"

using Microsoft::WRL::ComPtr;

namespace {

// An object that is no proxy: it answers no interface but IUnknown, so
// CoSetProxyBlanket finds no IClientSecurity on it.
class PlainObject : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid != IID_IUnknown) return E_NOINTERFACE;
        *object = static_cast<IUnknown*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// A proxy whose blanket answers what the test says, and which remembers the
// blanket it was asked for.
class Proxy : public IClientSecurity {
public:
    explicit Proxy(HRESULT answer) : answer_(answer) {}
    DWORD impersonation = 0;
    int blankets = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClientSecurity) return E_NOINTERFACE;
        *object = static_cast<IClientSecurity*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown*, DWORD*, DWORD*, OLECHAR**, DWORD*, DWORD*, void**,
                                           DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown*, DWORD, DWORD, OLECHAR*, DWORD, DWORD level, void*, DWORD) override {
        ++blankets;
        impersonation = level;
        return answer_;
    }
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown*, IUnknown** copy) override {
        *copy = nullptr;
        return E_NOTIMPL;
    }

private:
    HRESULT answer_;
};

}  // namespace

TEST(WmiBlanket, AnObjectThatIsNoProxyNeedsNoBlanket) {
    PlainObject plain;
    // What the platform says, and what the policy makes of it.
    ASSERT_EQ(CoSetProxyBlanket(&plain, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE),
              E_NOINTERFACE);
    EXPECT_EQ(win32::SetImpersonation(&plain), S_OK);
}

TEST(WmiBlanket, AProxyIsSetToImpersonateAndItsRefusalIsPassedOn) {
    Proxy willing(S_OK);
    EXPECT_EQ(win32::SetImpersonation(&willing), S_OK);
    EXPECT_EQ(willing.blankets, 1);
    EXPECT_EQ(willing.impersonation, static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE));

    Proxy refusing(E_ACCESSDENIED);
    EXPECT_EQ(win32::SetImpersonation(&refusing), E_ACCESSDENIED);
    EXPECT_EQ(refusing.blankets, 1);
}

TEST(WmiConnection, ReachesTheRegistryProvidersNamespace) {
    const com::Apartment apartment;
    const ComPtr<IWbemServices> services = win32::ConnectWmi(L"\\\\.\\root\\default");
    ASSERT_NE(services, nullptr);
    ComPtr<IWbemClassObject> provider;
    EXPECT_EQ(services->GetObject(win32::Bstr(L"StdRegProv").Get(), 0, nullptr, &provider, nullptr), S_OK);
    EXPECT_NE(provider, nullptr);
}

TEST(WmiConnection, AMissingNamespaceRaisesWithTheStepThatFailed) {
    const com::Apartment apartment;
    const std::wstring nameSpace = L"\\\\.\\root\\quelvane-no-such-namespace";
    try {
        win32::ConnectWmi(nameSpace);
        FAIL() << "nothing was raised";
    } catch (const win32::PlatformFailure& failure) {
        EXPECT_EQ(failure.Operation(), L"IWbemLocator::ConnectServer(" + nameSpace + L")");
        EXPECT_TRUE(FAILED(failure.Result()));
    }
}

TEST(WmiConnection, WithoutComTheLocatorCannotBeMadeAndThatIsTheFailure) {
    // This thread has left every apartment the tests above made.
    try {
        win32::ConnectWmi(L"\\\\.\\root\\default");
        FAIL() << "nothing was raised";
    } catch (const win32::PlatformFailure& failure) {
        EXPECT_EQ(failure.Operation(), L"CoCreateInstance(WbemLocator)");
        EXPECT_EQ(failure.Result(), CO_E_NOTINITIALIZED);
    }
}

TEST(WmiWarmUp, FetchesTheClassInTheMultithreadedApartmentThatItJoinsItself) {
    // This thread is in no apartment at all: the work joins the multithreaded
    // one, and leaves it again, so it can run once more.
    EXPECT_EQ(win32::FetchWmiClass(L"\\\\.\\root\\default", L"StdRegProv"), S_OK);
    EXPECT_EQ(win32::FetchWmiClass(L"\\\\.\\root\\default", L"StdRegProv"), S_OK);

    // Started from the single-threaded apartment, the warm-up runs on its own
    // thread, gone when it is; the starting thread's connection works as before.
    const com::Apartment apartment;
    { const win32::WmiWarmUp warmUp(L"\\\\.\\root\\default", L"StdRegProv"); }
    EXPECT_NE(win32::ConnectWmi(L"\\\\.\\root\\default"), nullptr);
}

TEST(WmiWarmUp, AnswersTheFailureOfTheStepThatStoppedIt) {
    EXPECT_EQ(win32::FetchWmiClass(L"\\\\.\\root\\default", L"QuelvaneNoSuchClass"),
              static_cast<HRESULT>(WBEM_E_NOT_FOUND));
    const HRESULT result = win32::FetchWmiClass(L"\\\\.\\root\\quelvane-no-such-namespace", L"StdRegProv");
    EXPECT_TRUE(FAILED(result)) << std::hex << result;
}
