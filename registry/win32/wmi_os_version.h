// The version probe through the instrumentation service: the Version of
// Win32_OperatingSystem in root\cimv2, cut to eight characters ("5.1.2600"),
// or the empty string.  Windows only.
//
//   registry::WmiOsVersionProbe probe;     // the thread has joined COM
//   if (probe.GetOsVersion() == L"5.1.2600") ...
//
// Never raises: a step that fails is skipped, and what the steps before it
// found stands (see VersionFromInstances).  The system's version does not
// change while the program runs, so a probe asks the service only until it
// has had a version: the main window asks on its load and again on its first
// activation, and the second answer costs no query.
#pragma once

#include <string>

#include "registry/os_version.h"

namespace registry {

class WmiOsVersionProbe : public OsVersionProbe {
public:
    std::wstring GetOsVersion() override;

private:
    std::wstring known_;  // the first non-empty answer
};

}  // namespace registry
