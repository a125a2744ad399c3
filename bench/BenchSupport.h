// What the benchmarks share: per-call timing with CPU and wall time kept
// apart, percentiles, the read-call counter, and the summary table of
// verdicts that decides the exit status.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

inline int64_t Nanos(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Read system calls of the process so far (/proc/self/io), -1 when unknown.
inline long ReadCalls() {
    std::ifstream io("/proc/self/io");
    std::string name;
    long value = 0;
    while (io >> name >> value)
        if (name == "syscr:") return value;
    return -1;
}

struct TTimes {
    std::vector<double> cpu, wall;  // microseconds, one per call
    static double Pct(const std::vector<double>& v, double p) {
        if (v.empty()) return 0;
        std::vector<double> s = v;
        const size_t k = std::min(s.size() - 1, static_cast<size_t>(p * (s.size() - 1)));
        std::nth_element(s.begin(), s.begin() + static_cast<long>(k), s.end());
        return s[k];
    }
    double CpuP(double p) const { return Pct(cpu, p); }
    double WallP(double p) const { return Pct(wall, p); }
};

// Times each call on its own: the thread's CPU clock and the monotonic clock
// around it, less what reading the two clocks costs.
template <typename Call>
TTimes TimeEach(size_t n, Call&& call) {
    TTimes t;
    t.cpu.reserve(n);
    t.wall.reserve(n);
    int64_t cpuCost = INT64_MAX, wallCost = INT64_MAX;
    for (int k = 0; k < 1000; ++k) {
        const int64_t c0 = Nanos(CLOCK_THREAD_CPUTIME_ID), w0 = Nanos(CLOCK_MONOTONIC);
        const int64_t w1 = Nanos(CLOCK_MONOTONIC), c1 = Nanos(CLOCK_THREAD_CPUTIME_ID);
        cpuCost = std::min(cpuCost, c1 - c0);
        wallCost = std::min(wallCost, w1 - w0);
    }
    for (size_t i = 0; i < n; ++i) {
        const int64_t c0 = Nanos(CLOCK_THREAD_CPUTIME_ID), w0 = Nanos(CLOCK_MONOTONIC);
        call(i);
        const int64_t w1 = Nanos(CLOCK_MONOTONIC), c1 = Nanos(CLOCK_THREAD_CPUTIME_ID);
        t.cpu.push_back(static_cast<double>(std::max<int64_t>(0, c1 - c0 - cpuCost)) / 1000.0);
        t.wall.push_back(static_cast<double>(std::max<int64_t>(0, w1 - w0 - wallCost)) / 1000.0);
    }
    return t;
}

inline void PrintHeader() {
    std::printf("  %-44s %8s %8s %9s %9s   (microseconds)\n", "measure", "CPU p50", "CPU p99",
                "wall p50", "wall p99");
}

inline void PrintRow(const std::string& what, const TTimes& t) {
    std::printf("  %-44s %8.2f %8.2f %9.2f %9.2f\n", what.c_str(), t.CpuP(0.5), t.CpuP(0.99),
                t.WallP(0.5), t.WallP(0.99));
}

inline std::string Fmt(const char* format, double v) {
    char b[64];
    std::snprintf(b, sizeof b, format, v);
    return b;
}

// The verdicts, printed as one table at the end.
class TSummary {
public:
    void Add(const std::string& measure, const std::string& ours, const std::string& baseline,
             const std::string& ratio, const std::string& target, bool met) {
        m_lines.push_back({measure, ours, baseline, ratio, target, met});
    }
    // Prints the table; true when every target is met.
    bool Print() const {
        bool all = true;
        std::printf("\n  %-44s %12s %10s %8s %-28s %s\n", "measure", "ours", "baseline", "ratio",
                    "target", "met");
        for (const TLine& l : m_lines) {
            std::printf("  %-44s %12s %10s %8s %-28s %s\n", l.measure.c_str(), l.ours.c_str(),
                        l.baseline.c_str(), l.ratio.c_str(), l.target.c_str(),
                        l.met ? "yes" : "NO");
            all = all && l.met;
        }
        return all;
    }

private:
    struct TLine {
        std::string measure, ours, baseline, ratio, target;
        bool met;
    };
    std::vector<TLine> m_lines;
};

}  // namespace bench
