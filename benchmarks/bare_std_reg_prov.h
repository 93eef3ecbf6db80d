// The StdRegProv calls written out plainly, as a yardstick for the registry
// provider: every call makes its own connection (locator, ConnectServer on
// root\default, proxy blanket, the StdRegProv class), looks its method up,
// fills a fresh in-parameters instance with the argument types this platform
// takes, runs the method and reads the out-value.  Windows only.
//
//   BareStdRegProv bare;                      // the thread must have joined COM
//   bare.CreateKey(HKCU, L"Software\\X");     // Route::Wmi
//   std::wstring text;
//   bare.GetStringValue(HKCU, L"Software\\X", L"Name", text);
//
// Where the platform's StdRegProv lacks the method (Wine has no GetDWORDValue,
// DeleteValue or CheckAccess), the call does what the provider does then: the
// connection, the class and the look-up that answers "not found", followed by
// the registry API call; it returns Route::RegistryApi.  Any failed step
// raises BareFailure: a benchmark must not time calls that did nothing.  The
// two Read calls are the exception for a value that is not there: they answer
// nothing, as a program's start-up on a fresh machine must take it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace benchmark {

enum class Route { Wmi, RegistryApi };
const char* RouteName(Route route);

class BareFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class BareStdRegProv {
public:
    using Root = std::int32_t;

    // Finds, once and outside any timing, the integer variant types that this
    // platform's StdRegProv takes for each integer argument (Wine wants VT_I4
    // for hDefKey but VT_UI4 for uValue), so that no timed call tries a form
    // that is refused.
    BareStdRegProv();
    // Skips that look-up: hDefKey goes as VT_I4, the documented automation form
    // of a uint32, which Wine takes as well; numbers and rights keep VT_UI4.
    // For the start-up floor, which creates one key and reads, and must not
    // make a connection that the program itself does not make.
    struct WithoutLookUp {};
    explicit BareStdRegProv(WithoutLookUp) {}

    Route CreateKey(Root root, const std::wstring& key) const;
    Route SetStringValue(Root root, const std::wstring& key, const std::wstring& name, const std::wstring& data) const;
    Route SetDwordValue(Root root, const std::wstring& key, const std::wstring& name, std::uint32_t data) const;
    Route GetStringValue(Root root, const std::wstring& key, const std::wstring& name, std::wstring& data) const;
    Route GetDwordValue(Root root, const std::wstring& key, const std::wstring& name, std::uint32_t& data) const;
    Route DeleteValue(Root root, const std::wstring& key, const std::wstring& name) const;
    Route DeleteKey(Root root, const std::wstring& key) const;
    Route CheckAccess(Root root, const std::wstring& key, std::uint32_t rights, bool& granted) const;

    // A missing key or value, or one of another type, answers nullopt.
    std::optional<std::wstring> ReadStringValue(Root root, const std::wstring& key, const std::wstring& name) const;
    std::optional<std::uint32_t> ReadDwordValue(Root root, const std::wstring& key, const std::wstring& name) const;

private:
    Route ReadDword(Root root, const std::wstring& key, const std::wstring& name,
                    std::optional<std::uint32_t>& data) const;

    VARTYPE rootForm_ = VT_I4;
    VARTYPE numberForm_ = VT_UI4;
    VARTYPE rightsForm_ = VT_UI4;
};

}  // namespace benchmark
