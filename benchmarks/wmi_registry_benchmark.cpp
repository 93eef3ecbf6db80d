// Times each registry operation of WmiRegistryProvider against the same
// StdRegProv call written out plainly (BareStdRegProv), both with a fresh
// connection per call, and optionally the program's whole save.  Windows only;
// scripts/benchmark.sh runs it under Wine.
//
//   wmi_registry_benchmark.exe [REPETITIONS] [--with-save]
//
// REPETITIONS (default 200) calls of each operation through each of the two,
// interleaved, after 20 untimed ones.  The operations work under
// HKEY_CURRENT_USER\Software\Quelvane Benchmark, which is removed before and
// after the run.
//
// --with-save also times the real save of the main window (scope "Current
// user", "Hide Drives in My Computer ", "C: and D:", command prompt blocked).
// It writes the program's real settings and policy values, hiding drives C:
// and D: for the current user: run it only in a throw-away Wine prefix, as
// scripts/benchmark.sh does.
#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

#include "benchmarks/bare_std_reg_prov.h"
#include "benchmarks/benchmark_timing.h"
#include "benchmarks/registry_checks.h"
#include "benchmarks/save_benchmark.h"
#include "registry/win32/wmi_registry_provider.h"
#include "tests/support/win32/com.h"
#include "tests/support/win32/registry_witness.h"

using benchmark::BareStdRegProv;
using benchmark::Failure;
using benchmark::Require;
using benchmark::Route;
using benchmark::StoredNumber;
using benchmark::StoredString;
using registry::HiveCurrentUser;
using registry::HiveLocalMachine;
using registry::WmiRegistryProvider;

namespace {

const std::wstring BaseKey = L"Software\\Quelvane Benchmark";
const std::wstring KeysKey = BaseKey + L"\\Keys";
const std::wstring ValuesKey = BaseKey + L"\\Values";
const std::wstring Text = L"benchmark text";
const std::uint32_t Number = 12;
const int WarmUpCalls = 20;
const double TargetOverheadPercent = 10.0;

// The benchmark's own keys exist for the run and are gone after it, also when
// it fails half-way.
class BenchmarkKeys {
public:
    BenchmarkKeys() {
        Remove();
        for (const std::wstring& key : {BaseKey, KeysKey, ValuesKey}) witness::CreateKey(HiveCurrentUser, key);
    }
    ~BenchmarkKeys() { Remove(); }
    BenchmarkKeys(const BenchmarkKeys&) = delete;
    BenchmarkKeys& operator=(const BenchmarkKeys&) = delete;

private:
    static void Remove() { SHDeleteKeyW(HKEY_CURRENT_USER, BaseKey.c_str()); }
};

// One operation of the provider and its plain counterpart.  Each call gets a
// name that no other call of the run uses ("P17", "B17", warm-up "WP3"), for
// the operations that need a fresh key or value every time.
struct OperationCase {
    const char* name;
    std::function<void(const std::wstring& unique)> prepare;  // untimed, before each call
    std::function<void(const std::wstring& unique)> viaProvider;
    std::function<Route(const std::wstring& unique)> bare;
    std::function<void(int calls)> check;  // untimed, after all calls
};

struct Result {
    const char* name;
    Route providerRoute;
    Route bareRoute;
    benchmark::Samples provider;
    benchmark::Samples bare;
};

// The road that the provider takes for an operation: the registry API only
// for a method that the service lacks, on Wine (registry_api_route.h).
Route RouteOf(const char* operation) {
    const std::pair<const char*, const wchar_t*> roads[] = {
        {"GetRegDword", L"GetDWORDValue"}, {"DeleteRegValue", L"DeleteValue"}, {"CheckRegAccess", L"CheckAccess"}};
    for (const auto& [name, method] : roads)
        if (std::strcmp(name, operation) == 0 && !witness::StdRegProvHasMethod(method)) return Route::RegistryApi;
    return Route::Wmi;
}

std::vector<OperationCase> Cases(WmiRegistryProvider& provider, const BareStdRegProv& bare) {
    const registry::Root hkcu = HiveCurrentUser;
    auto expectKeys = [](DWORD expected, const char* what) {
        const auto counts = witness::CountEntries(HiveCurrentUser, KeysKey);
        Require(counts && counts->subkeys == expected, what);
    };
    auto fresh = [](const std::wstring& unique) { return KeysKey + L"\\" + unique; };
    auto noPreparation = [](const std::wstring&) {};
    return {
        {"CreateRegKey", noPreparation,
         [&provider, fresh](const std::wstring& unique) {
             Require(provider.CreateRegKey(fresh(unique)) == registry::ResultSuccess, "CreateRegKey: refused");
         },
         [&bare, hkcu, fresh](const std::wstring& unique) { return bare.CreateKey(hkcu, fresh(unique)); },
         [expectKeys](int calls) {
             expectKeys(static_cast<DWORD>(2 * (calls + WarmUpCalls)), "CreateRegKey: keys are missing");
         }},
        {"SetRegString", noPreparation,
         [&provider](const std::wstring&) {
             Require(provider.SetRegString(BaseKey, L"TextP", Text) == registry::ResultSuccess,
                     "SetRegString: refused");
         },
         [&bare, hkcu](const std::wstring&) { return bare.SetStringValue(hkcu, BaseKey, L"TextB", Text); },
         [](int) {
             Require(StoredString(HiveCurrentUser, BaseKey, L"TextP") == Text &&
                         StoredString(HiveCurrentUser, BaseKey, L"TextB") == Text,
                     "SetRegString: a string was not stored");
         }},
        {"SetRegDword", noPreparation,
         [&provider](const std::wstring&) {
             Require(provider.SetRegDword(BaseKey, L"NumberP", Number) == registry::ResultSuccess,
                     "SetRegDword: refused");
         },
         [&bare, hkcu](const std::wstring&) { return bare.SetDwordValue(hkcu, BaseKey, L"NumberB", Number); },
         [](int) {
             Require(StoredNumber(HiveCurrentUser, BaseKey, L"NumberP") == Number &&
                         StoredNumber(HiveCurrentUser, BaseKey, L"NumberB") == Number,
                     "SetRegDword: a number was not stored");
         }},
        {"GetRegString", noPreparation,
         [&provider](const std::wstring&) {
             Require(provider.GetRegString(BaseKey, L"TextP") == Text, "GetRegString: the provider read a wrong text");
         },
         [&bare, hkcu](const std::wstring&) {
             std::wstring read;
             const Route route = bare.GetStringValue(hkcu, BaseKey, L"TextB", read);
             Require(read == Text, "GetStringValue: read a wrong text");
             return route;
         },
         [](int) {}},
        {"GetRegDword", noPreparation,
         [&provider](const std::wstring&) {
             Require(provider.GetRegDword(BaseKey, L"NumberP") == static_cast<std::int32_t>(Number),
                     "GetRegDword: the provider read a wrong number");
         },
         [&bare, hkcu](const std::wstring&) {
             std::uint32_t read = 0;
             const Route route = bare.GetDwordValue(hkcu, BaseKey, L"NumberB", read);
             Require(read == Number, "GetDWORDValue: read a wrong number");
             return route;
         },
         [](int) {}},
        {"DeleteRegValue",
         [](const std::wstring& unique) { witness::WriteDword(HiveCurrentUser, ValuesKey, unique, Number); },
         [&provider](const std::wstring& unique) {
             Require(provider.DeleteRegValue(ValuesKey, unique) == registry::ResultSuccess, "DeleteRegValue: refused");
         },
         [&bare, hkcu](const std::wstring& unique) { return bare.DeleteValue(hkcu, ValuesKey, unique); },
         [](int) {
             const auto counts = witness::CountEntries(HiveCurrentUser, ValuesKey);
             Require(counts && counts->values == 0, "DeleteRegValue: values were left behind");
         }},
        // Deletes, one by one, the keys that the CreateRegKey calls made.
        {"DeleteRegKey", noPreparation,
         [&provider, fresh](const std::wstring& unique) {
             Require(provider.DeleteRegKey(fresh(unique)) == registry::ResultSuccess, "DeleteRegKey: refused");
         },
         [&bare, hkcu, fresh](const std::wstring& unique) { return bare.DeleteKey(hkcu, fresh(unique)); },
         [expectKeys](int) { expectKeys(0, "DeleteRegKey: keys were left behind"); }},
        {"CheckRegAccess", noPreparation,
         [&provider](const std::wstring&) {
             Require(provider.CheckRegAccess(BaseKey, registry::RightQueryValue),
                     "CheckRegAccess: the provider refused a right that is held");
         },
         [&bare, hkcu](const std::wstring&) {
             bool granted = false;
             const Route route = bare.CheckAccess(hkcu, BaseKey, registry::RightQueryValue, granted);
             Require(granted, "CheckAccess: refused a right that is held");
             return route;
         },
         [](int) {}},
    };
}

Result Measure(const OperationCase& operation, int calls) {
    Result result{operation.name, RouteOf(operation.name), Route::Wmi, {}, {}};
    auto viaProvider = [&](const std::wstring& unique, benchmark::Samples* samples) {
        operation.prepare(unique);
        const benchmark::Stopwatch watch;
        operation.viaProvider(unique);
        const double ms = watch.ElapsedMs();
        if (samples) samples->Add(ms);
    };
    auto viaBare = [&](const std::wstring& unique, benchmark::Samples* samples) {
        operation.prepare(unique);
        const benchmark::Stopwatch watch;
        const Route route = operation.bare(unique);
        const double ms = watch.ElapsedMs();
        result.bareRoute = route;
        if (samples) samples->Add(ms);
    };
    for (int i = 0; i < WarmUpCalls; ++i) {
        viaProvider(L"WP" + std::to_wstring(i), nullptr);
        viaBare(L"WB" + std::to_wstring(i), nullptr);
    }
    // Interleaved, and each side first every other time, so that a slow
    // spell of a shared machine falls on both alike.
    for (int i = 0; i < calls; ++i) {
        const std::wstring number = std::to_wstring(i);
        if (i % 2 == 0) {
            viaProvider(L"P" + number, &result.provider);
            viaBare(L"B" + number, &result.bare);
        } else {
            viaBare(L"B" + number, &result.bare);
            viaProvider(L"P" + number, &result.provider);
        }
    }
    operation.check(calls);
    return result;
}

std::string PlatformText() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    char text[160];
    std::snprintf(text, sizeof text, "Windows %lu.%lu.%lu", version.dwMajorVersion, version.dwMinorVersion,
                  version.dwBuildNumber);
    std::string platform = text;
    using WineVersion = const char*(CDECL*)();
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        if (auto wineVersion =
                reinterpret_cast<WineVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version"))))
            platform = std::string("Wine ") + wineVersion() + ", reporting " + platform;
    }
    return platform;
}

void PrintOperations(const std::vector<Result>& results, int calls) {
    std::printf(
        "Registry operations: %d calls each through WmiRegistryProvider and through the plain StdRegProv\n"
        "sequence, interleaved, after %d untimed calls of each; a new connection for every call.\n\n",
        calls, WarmUpCalls);
    std::printf("%-15s %-13s %12s %10s %9s %7s   %12s %10s\n", "Operation", "Route", "Provider ms", "Bare ms",
                "Overhead", "<= 10%", "Prov. median", "Bare med.");
    bool anyRegistryApi = false;
    for (const Result& result : results) {
        const double overhead = (result.provider.Mean() / result.bare.Mean() - 1.0) * 100.0;
        const char* route = benchmark::RouteName(result.providerRoute);
        if (result.providerRoute != result.bareRoute) route = "MIXED";
        anyRegistryApi = anyRegistryApi || result.providerRoute == Route::RegistryApi;
        std::printf("%-15s %-13s %12.3f %10.3f %+8.1f%% %7s   %12.3f %10.3f\n", result.name, route,
                    result.provider.Mean(), result.bare.Mean(), overhead,
                    overhead <= TargetOverheadPercent ? "yes" : "NO", result.provider.Median(), result.bare.Median());
    }
    std::printf("\nProvider ms and Bare ms are means per call; the overhead compares the means.\n");
    if (anyRegistryApi)
        std::printf(
            "Route \"registry API\": this platform's StdRegProv lacks the operation's method. Both sides then\n"
            "connect, get the StdRegProv class, find the method missing (WBEM_E_NOT_FOUND) and make the\n"
            "registry API call instead; that is what \"Bare\" times for those rows.\n");
}

int Usage() {
    std::fprintf(stderr,
                 "usage: wmi_registry_benchmark.exe [REPETITIONS] [--with-save]\n"
                 "  REPETITIONS  calls of each operation through each side (default 200, at least 1)\n"
                 "  --with-save  also time the main window's save; it writes the program's real\n"
                 "               settings and hides drives C: and D: for this user: throw-away\n"
                 "               prefixes only\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // COM joined as the program's WinMain joins it: the provider assumes it.
    const com::Apartment apartment;
    std::ignore = com::InitializeSecurity();
    int calls = 200;
    bool withSave = false;
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        if (std::strcmp(argv[i], "--with-save") == 0) {
            withSave = true;
        } else if (const long number = std::strtol(argv[i], &end, 10);
                   *end == '\0' && number >= 1 && number <= 100000) {
            calls = static_cast<int>(number);
        } else {
            std::fprintf(stderr, "wmi_registry_benchmark: '%s' is neither a repetition count nor --with-save\n",
                         argv[i]);
            return Usage();
        }
    }

    try {
        // First: it joins this thread to COM and sets the process's COM
        // security, which the plain calls rely on as well.
        WmiRegistryProvider provider;
        provider.Hive = HiveCurrentUser;
        const BareStdRegProv bare;
        const BenchmarkKeys keys;

        std::printf("Platform: %s\n\n", PlatformText().c_str());
        std::vector<Result> results;
        for (const OperationCase& operation : Cases(provider, bare)) results.push_back(Measure(operation, calls));
        PrintOperations(results, calls);
        if (withSave) benchmark::MeasureSave(std::max(10, calls / 4));
        std::fflush(stdout);
    } catch (const std::exception& failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "wmi_registry_benchmark: %s\n", failure.what());
        return 1;
    }
    return 0;
}
