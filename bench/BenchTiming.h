#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace tramelle::bench {

struct Timing
{
    double median = 0;
    double best = 0;
};

// Median and best of several runs: the best shows the cost on a quiet machine.
inline Timing Measure(const std::function<void()>& work, int runs = 11)
{
    work(); // warm the file cache and the fonts once
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front()};
}

inline void Report(const char* what, const Timing& t)
{
    std::printf("%-58s median %8.1f ms, best %8.1f ms\n", what, t.median, t.best);
}

} // namespace tramelle::bench
