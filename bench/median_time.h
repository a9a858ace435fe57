// The median time of a piece of work run over and over: at least
// minRounds runs and until minSeconds have passed, or maxRounds runs.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace bench {

template <class F>
double MedianSeconds(F&& run, size_t minRounds, double minSeconds, size_t maxRounds)
{
    std::vector<double> times;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const auto t0 = std::chrono::steady_clock::now();
        run();
        const auto t1 = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double>(t1 - t0).count());
        const double total = std::chrono::duration<double>(t1 - start).count();
        if (times.size() >= maxRounds || (times.size() >= minRounds && total > minSeconds))
            break;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace bench
