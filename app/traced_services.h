// Windows only: the program's registry provider and version probe with the
// start-up marks that only they can see (app/startup_trace.h): the start and
// the end of the first registry operation, and the start of the first version
// probe.  Untraced, each costs one test of a flag per call.
#pragma once

#include <string>

#include "app/startup_trace.h"
#include "registry/win32/wmi_os_version.h"
#include "registry/win32/wmi_registry_provider.h"

namespace app {

class TracedRegistryProvider : public registry::WmiRegistryProvider {
public:
    explicit TracedRegistryProvider(StartupTrace& trace) : trace_(trace) {}

protected:
    // The program's first registry operation is the login dialog's CreateKey.
    registry::ResultCode DoCreateRegKey(registry::Root root, const std::wstring& key) override;

private:
    StartupTrace& trace_;
};

class TracedVersionProbe : public registry::WmiOsVersionProbe {
public:
    explicit TracedVersionProbe(StartupTrace& trace) : trace_(trace) {}

    std::wstring GetOsVersion() override {
        trace_.Mark(StartupMark::Form1Window);
        return WmiOsVersionProbe::GetOsVersion();
    }

private:
    StartupTrace& trace_;
};

}  // namespace app
