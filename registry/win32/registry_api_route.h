// The registry API road for the three StdRegProv methods that Wine's service
// lacks.  Windows builds only; taken on Wine only (win32::RunningOnWine).
//
// Wine's StdRegProv has no GetDWORDValue, DeleteValue or CheckAccess: asking
// the class for one of them answers WBEM_E_NOT_FOUND.  WmiRegistryProvider then
// carries out that one operation here, with what its callers see unchanged:
// a read of a missing value, of a missing key or of a string raises; a
// deletion answers the registry's result code, as the provider's method
// would; the access check is true exactly when the key opens
// with every asked right.  No other operation ever comes this way.
#pragma once

#include <cstdint>
#include <string>

#include "registry/registry_provider.h"

namespace registry {

std::int32_t GetDwordThroughRegistryApi(Root root, const std::wstring& key, const std::wstring& valueName);
[[nodiscard]] ResultCode DeleteValueThroughRegistryApi(Root root, const std::wstring& key,
                                                       const std::wstring& valueName);
bool CheckAccessThroughRegistryApi(Root root, const std::wstring& key, std::uint32_t rights);

}  // namespace registry
