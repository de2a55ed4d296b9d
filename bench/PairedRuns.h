#pragma once
// The runner of the benchmarks against their floors: a measured call and its floor, a call
// doing the work the measured one must do and nothing else, run call by call, back to back,
// each first every other time. A figure is the median of the pairs' own ratios, so a burst of
// load from elsewhere weighs on both sides of the pair it falls on; several runs report the
// median of the runs and their spread. Header only: a benchmark in this folder includes it.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace PairedRuns {

inline LONGLONG Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

inline double Microseconds(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

struct Pairs {
    std::vector<double> measured;
    std::vector<double> floor;
    int wrong = 0;  // pairs where either side did not give the right answer

    double Ratio() const {
        std::vector<double> ratios;
        for (size_t i = 0; i < measured.size(); ++i) ratios.push_back(measured[i] / floor[i]);
        return Median(ratios);
    }
};

// The two sides of a pair, each true when it gave the right answer, and how the report names
// them. settle runs before each call (the simulator idle, say); the first warmUpPairs pairs
// are not counted.
struct Sides {
    std::function<bool()> measured;
    std::function<bool()> floor;
    const char* measuredName;
    const char* floorName;
    const char* wrongText;  // after "N pairs " when some were wrong
    std::function<void()> settle = [] {};
    int warmUpPairs = 5;
};

inline Pairs Interleave(int calls, const Sides& sides) {
    const std::function<bool()>* const sideCalls[2] = {&sides.measured, &sides.floor};
    Pairs pairs;
    for (int i = -sides.warmUpPairs; i < calls; ++i) {
        double micros[2] = {};
        bool right = true;
        for (int turn = 0; turn < 2; ++turn) {
            const int side = (i + turn) & 1;
            sides.settle();
            const LONGLONG start = Now();
            const bool answered = (*sideCalls[side])();
            micros[side] = Microseconds(Now() - start);
            right = right && answered;
        }
        if (i < 0) continue;
        pairs.measured.push_back(micros[0]);
        pairs.floor.push_back(micros[1]);
        if (!right) ++pairs.wrong;
    }
    return pairs;
}

inline void PrintPairs(const char* label, const Pairs& pairs, const Sides& sides) {
    std::printf("  %s%s %.0f us, %s %.0f us, ratio %.2f\n", label, sides.measuredName, Median(pairs.measured),
                sides.floorName, Median(pairs.floor), pairs.Ratio());
    if (pairs.wrong != 0) std::printf("  %d pairs %s\n", pairs.wrong, sides.wrongText);
    std::fflush(stdout);
}

// runs runs of calls pairs each, every run printed, then the median of the runs and their spread.
inline void Runs(int runs, int calls, const Sides& sides) {
    std::vector<double> ratios;
    for (int run = 1; run <= runs; ++run) {
        const Pairs pairs = Interleave(calls, sides);
        ratios.push_back(pairs.Ratio());
        PrintPairs(("run " + std::to_string(run) + ": ").c_str(), pairs, sides);
    }
    const auto [least, most] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("  median of %d runs %.2f, spread %.2f to %.2f\n", runs, Median(ratios), *least, *most);
}

}  // namespace PairedRuns
