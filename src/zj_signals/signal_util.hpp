#pragma once
// Records every signal emits in the same shape.
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string_view>
#include <vector>

#include "zj_signals/types.hpp"

namespace zj_signals {

// The record that carries no information: 其他 / 任意 / 任意.
inline SignalOutput default_record(std::string_view name, std::string_view freq, std::uint32_t score) {
    return SignalOutput::make(name, freq, "其他", "任意", "任意", score);
}

// Too few bars: one nameless default record (score 1) per bar.
inline std::vector<SignalOutput> short_input_records(std::size_t count) {
    return std::vector<SignalOutput>(count, default_record("", "", 1));
}

// a + b + ... without wrapping: huge parameters mean "more bars than any series".
inline std::uint64_t saturating_add(std::initializer_list<std::uint64_t> terms) {
    std::uint64_t sum = 0;
    for (std::uint64_t t : terms) {
        if (t > std::numeric_limits<std::uint64_t>::max() - sum) return std::numeric_limits<std::uint64_t>::max();
        sum += t;
    }
    return sum;
}

}  // namespace zj_signals
