#include "app/traced_services.h"

namespace app {

registry::ResultCode TracedRegistryProvider::DoCreateRegKey(registry::Root root, const std::wstring& key) {
    const registry::ResultCode result = WmiRegistryProvider::DoCreateRegKey(root, key);
    trace_.Mark(StartupMark::FirstWmi);
    return result;
}

}  // namespace app
