#include "registry/win32/wmi_os_version.h"

#include <wbemidl.h>
#include <wrl/client.h>

#include <optional>
#include <vector>

#include "win32/wmi_connection.h"

using Microsoft::WRL::ComPtr;

namespace registry {

using win32::Bstr;
using win32::Variant;

namespace {

// One probe with its own connection and query.
std::wstring QueryOsVersion() {
    // Each step runs only on what the steps before it delivered; a failed step
    // leaves the versions gathered so far, and without a connection or a
    // query result there is nothing to enumerate, so the answer is empty.
    std::vector<std::optional<std::wstring>> versions;
    try {
        // A connection that fails (win32::PlatformFailure) leaves nothing to
        // query: the answer is empty, like that of a failed query.
        const ComPtr<IWbemServices> services = win32::ConnectWmi(L"\\\\.\\root\\cimv2");
        ComPtr<IEnumWbemClassObject> instances;
        if (FAILED(services->ExecQuery(Bstr(L"WQL").Get(), Bstr(L"Select * from Win32_OperatingSystem").Get(),
                                       WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr, &instances)) ||
            !instances)
            return VersionFromInstances(versions);

        for (;;) {
            ComPtr<IWbemClassObject> instance;
            ULONG delivered = 0;
            const HRESULT hr = instances->Next(WBEM_INFINITE, 1, &instance, &delivered);
            if (FAILED(hr) || delivered == 0 || !instance) break;
            Variant version;
            if (FAILED(instance->Get(L"Version", 0, version.Out(), nullptr, nullptr))) continue;
            if (version->vt == VT_BSTR && version->bstrVal != nullptr)
                versions.emplace_back(std::wstring(version->bstrVal, SysStringLen(version->bstrVal)));
            else
                versions.emplace_back(std::nullopt);  // no text: null
        }
    } catch (const std::exception&) {
        // No connection, or no memory for a BSTR: the probe still never raises.
    }
    return VersionFromInstances(versions);
}

}  // namespace

std::wstring WmiOsVersionProbe::GetOsVersion() {
    // An empty answer is a failed query (or a system with no version text):
    // worth asking again next time.
    if (known_.empty()) known_ = QueryOsVersion();
    return known_;
}

}  // namespace registry
