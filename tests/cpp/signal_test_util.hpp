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
    BarPoint b;
    b.freq = std::move(freq);
    b.open = close;
    b.high = high;
    b.low = low;
    b.close = close;
    b.vol = vol;
    return b;
}

inline std::vector<BarPoint> closes(const std::vector<double>& values) {
    std::vector<BarPoint> bars;
    for (double c : values) bars.push_back(bar(c, c, c));
    return bars;
}

inline std::vector<BarPoint> volumes(const std::vector<double>& values) {
    std::vector<BarPoint> bars;
    for (double v : values) bars.push_back(bar(10, 10, 10, v));
    return bars;
}

// A signal's records together with the bars they were computed from: record
// texts are views into the bars (the freq), so the bars must stay alive.
struct Run {
    std::vector<BarPoint> bars;
    std::vector<SignalOutput> out;

    std::size_t size() const { return out.size(); }
    const SignalOutput& operator[](std::size_t i) const { return out[i]; }
    const SignalOutput& back() const { return out.back(); }
    auto begin() const { return out.begin(); }
    auto end() const { return out.end(); }
};

inline Run run(const std::string& name, std::vector<BarPoint> bars, const ParamMap& params = {}) {
    Run r{std::move(bars), {}};
    r.out = zj_signals::dispatch_one(name, r.bars, params);
    return r;
}

inline std::string labels(const SignalOutput& r) {
    return std::string(r.v1) + "/" + std::string(r.v2) + "/" + std::string(r.v3);
}

// How many leading records are short-input placeholders / named defaults.
inline bool is_placeholder(const SignalOutput& r) {
    return r.name.empty() && r.freq.empty() && labels(r) == "其他/任意/任意" && r.score == 1;
}
inline bool is_named_default(const SignalOutput& r, const std::string& name, std::uint32_t score = 0) {
    return r.name == name && labels(r) == "其他/任意/任意" && r.score == score;
}

// The usual layout: `placeholders` short-input records, then `named` default
// records under the signal's name and the first bar's freq, then readings.
inline void expect_layout(const Run& out, const std::string& name, std::size_t placeholders, std::size_t named) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i < placeholders) {
            EXPECT_TRUE(is_placeholder(out[i])) << i;
        } else if (i < placeholders + named) {
            EXPECT_TRUE(is_named_default(out[i], name)) << i;
            EXPECT_EQ(out[i].freq, out.bars.front().freq) << i;
        } else {
            EXPECT_EQ(out[i].name, name) << i;
            EXPECT_NE(out[i].v1, "其他") << i;
        }
    }
}

}  // namespace zj_test
