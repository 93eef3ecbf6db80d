// Wall-clock samples from the performance counter, and their summary.  Windows
// only; shared by the benchmark programs of this folder.
//
//   benchmark::Samples samples;
//   const benchmark::Stopwatch watch;
//   DoSomething();
//   samples.Add(watch.ElapsedMs());
//   std::printf("%.3f ms\n", samples.Mean());
#pragma once

#include <windows.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace benchmark {

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }

    double ElapsedMs() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return TicksToMs(now.QuadPart - start_.QuadPart);
    }
    // The counter's value at the start, to set another process's readings of
    // the same counter against.
    LONGLONG StartTicks() const { return start_.QuadPart; }

    static double TicksToMs(LONGLONG ticks) {
        return static_cast<double>(ticks) * 1000.0 / static_cast<double>(Frequency());
    }

    static LONGLONG Frequency() {
        // Fixed at boot: asked once.
        static const LONGLONG frequency = [] {
            LARGE_INTEGER value;
            QueryPerformanceFrequency(&value);
            return value.QuadPart;
        }();
        return frequency;
    }

private:
    LARGE_INTEGER start_;
};

class Samples {
public:
    void Add(double ms) { values_.push_back(ms); }
    bool Empty() const { return values_.empty(); }
    std::size_t Count() const { return values_.size(); }

    double Mean() const {
        return values_.empty() ? 0.0 : std::accumulate(values_.begin(), values_.end(), 0.0) / values_.size();
    }
    double Min() const { return values_.empty() ? 0.0 : *std::min_element(values_.begin(), values_.end()); }
    double Median() const {
        if (values_.empty()) return 0.0;
        std::vector<double> sorted = values_;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t middle = sorted.size() / 2;
        return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
    }

private:
    std::vector<double> values_;
};

}  // namespace benchmark
