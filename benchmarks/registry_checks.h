// The checks of the registry benchmarks: what a run stored, read through the
// tests' registry witness, and the failure that ends a run whose calls did not
// do what they were timed for.  Windows only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>

#include "registry/registry_provider.h"
#include "tests/support/win32/registry_witness.h"

namespace benchmark {

class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The untimed set-up and the checks go through the registry API (the tests'
// witness), so that neither side of the comparison checks itself.
inline std::optional<std::uint32_t> StoredNumber(registry::Root root, const std::wstring& key,
                                                 const std::wstring& name) {
    const auto value = witness::ReadValue(root, key, name);
    if (!value || value->type != REG_DWORD) return std::nullopt;
    return std::get<std::uint32_t>(value->data);
}

inline std::optional<std::wstring> StoredString(registry::Root root, const std::wstring& key,
                                                const std::wstring& name) {
    const auto value = witness::ReadValue(root, key, name);
    if (!value || value->type != REG_SZ) return std::nullopt;
    return std::get<std::wstring>(value->data);
}

inline void Require(bool condition, const std::string& what) {
    if (!condition) throw Failure(what);
}

}  // namespace benchmark
