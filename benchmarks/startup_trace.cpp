#include "benchmarks/startup_trace.h"

#include <cstdio>

namespace benchmark {

StartupTrace::StartupTrace() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"QUELVANE_STARTUP_TRACE", path, MAX_PATH);
    // Unset, empty or too long for a path: no trace.
    if (length > 0 && length < MAX_PATH) file_.assign(path, length);
}

void StartupTrace::Write() const noexcept {
    if (file_.empty()) return;
    std::FILE* out = _wfopen(file_.c_str(), L"w");
    if (!out) return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::fprintf(out, "frequency %lld\n", static_cast<long long>(frequency.QuadPart));
    for (std::size_t i = 0; i < ticks_.size(); ++i)
        if (ticks_[i].QuadPart != 0)
            std::fprintf(out, "%s %lld\n", StartupMarkNames[i].name, static_cast<long long>(ticks_[i].QuadPart));
    std::fclose(out);
}

}  // namespace benchmark
