#pragma once
// Helpers for driving built-in signals by name over synthetic bars.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "zj_signals/signals.hpp"

namespace zj_test {

using zj_signals::BarPoint;
using zj_signals::ParamMap;
using zj_signals::SignalOutput;

inline BarPoint bar(double high, double low, double close, double vol = 0.0, std::string freq = "日线") {
    return BarPoint{"", std::move(freq), close, high, low, close, vol, 0.0};
}

// Bars of the given closes (and high = low = close), or of close 10 and the given volumes.
inline std::vector<BarPoint> closes(const std::vector<double>& values, bool as_volumes = false) {
    std::vector<BarPoint> bars;
    for (double v : values) bars.push_back(as_volumes ? bar(10, 10, 10, v) : bar(v, v, v));
    return bars;
}

// A seeded random walk whose first bar alone has freq "60分钟": records that
// carry it took the first bar's freq.
inline std::vector<BarPoint> walk(std::size_t n, unsigned seed = 7) {
    std::vector<BarPoint> bars;
    double close = 20;
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        close += (static_cast<double>((seed >> 16) % 2001) - 1000.0) / 1000.0;
        const double range = 0.2 + static_cast<double>((seed >> 8) % 100) / 100.0;
        bars.push_back(bar(close + range, close - range, close, 0, i ? "日线" : "60分钟"));
    }
    return bars;
}

// A signal's records next to the bars they view (the freq): the bars must
// outlive the records.
struct Run : std::vector<SignalOutput> {
    std::vector<BarPoint> bars;
};

inline Run run(const std::string& name, std::vector<BarPoint> bars, const ParamMap& params = {}) {
    Run r{{}, std::move(bars)};
    static_cast<std::vector<SignalOutput>&>(r) = zj_signals::dispatch_one(name, r.bars, params);
    return r;
}

inline std::string labels(const SignalOutput& r) {
    return std::string(r.v1) + "/" + std::string(r.v2) + "/" + std::string(r.v3);
}

// A default record under `name` (score 0), or for no name a short-input
// placeholder (no freq, score 1).
inline bool is_default(const SignalOutput& r, const std::string& name = "") {
    return r.name == name && labels(r) == "其他/任意/任意" && r.score == (name.empty() ? 1u : 0u) &&
           (!name.empty() || r.freq.empty());
}

// The usual layout: `placeholders` short-input records, then `named` default
// records under the signal's name and the first bar's freq, then readings.
inline void expect_layout(const Run& out, const std::string& name, std::size_t placeholders, std::size_t named) {
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_TRUE(i < placeholders ? is_default(out[i])
                                     : out[i].name == name && out[i].freq == out.bars.front().freq &&
                                           is_default(out[i], name) == (i < placeholders + named)) << i;
}

}  // namespace zj_test
