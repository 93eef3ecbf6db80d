// Windows only: the opt-in trace of the start-up floor (startup_marks.h).
//
//   benchmark::StartupTrace trace;            // on only when QUELVANE_STARTUP_TRACE names a file
//   trace.Mark(benchmark::StartupMark::WinMain);
//   ...
//   trace.Write();                      // once the program ends normally
//
// Off, a mark costs one test of a flag; on, it reads the performance counter
// into a fixed slot.  Nothing is written before the program ends, so the
// traced start does no more file work than an untraced one.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "benchmarks/startup_marks.h"

namespace benchmark {

class StartupTrace {
public:
    StartupTrace();
    StartupTrace(const StartupTrace&) = delete;
    StartupTrace& operator=(const StartupTrace&) = delete;

    // Records the first pass of a mark; later passes are ignored.
    void Mark(StartupMark mark) noexcept {
        if (file_.empty()) return;
        LARGE_INTEGER& slot = ticks_[static_cast<std::size_t>(mark)];
        if (slot.QuadPart == 0) QueryPerformanceCounter(&slot);
    }
    // Writes the marks passed so far; a file that cannot be written is left
    // out silently, since the trace is for measuring, not for the user.
    void Write() const noexcept;

private:
    std::wstring file_;
    std::array<LARGE_INTEGER, static_cast<std::size_t>(StartupMark::Count)> ticks_{};
};

}  // namespace benchmark
