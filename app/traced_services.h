// Windows only: the program's registry provider with the start-up mark that
// only it can see (app/startup_trace.h): the end of the first registry
// operation, which is the first WMI connection.  Untraced, it costs one test
// of a flag per creation of a key.  The windows' own marks are set where
// WinMain makes them.
#pragma once

#include <string>

#include "app/startup_trace.h"
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

}  // namespace app
