// The probe of the running Windows version.
//
// GetOsVersion answers the first eight characters of the operating system's
// version string ("5.1.2600" on Windows XP), or the empty string when the
// version cannot be learnt.  It never raises.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace registry {

class OsVersionProbe {
public:
    virtual ~OsVersionProbe() = default;
    virtual std::wstring GetOsVersion() = 0;
};

// The probe's rule over the versions that the service delivered, in order:
// the last instance wins, cut to eight characters; an instance without a
// version (nullopt) makes the answer empty unless a later one follows.
std::wstring VersionFromInstances(const std::vector<std::optional<std::wstring>>& versions);

}  // namespace registry
