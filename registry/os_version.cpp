#include "registry/os_version.h"

namespace registry {

std::wstring VersionFromInstances(const std::vector<std::optional<std::wstring>>& versions) {
    std::optional<std::wstring> current = std::wstring();
    for (const auto& version : versions) current = version ? version->substr(0, 8) : version;
    // A null version cannot be turned into text: the answer is then empty.
    return current.value_or(std::wstring());
}

}  // namespace registry
