#pragma once
// Pivot zones (中枢) formed by a chronological list of strokes (笔).
// Consecutive strokes stay in one zone until a stroke leaves the zone's core
// range [zd, zg] in its own direction (an up stroke whose high is below zd, a
// down stroke whose low is above zg); that stroke starts the next zone.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zj_core/common/date_time.hpp"

namespace zj_core::zs {

enum class Direction : std::uint8_t { Up = 0, Down = 1 };

constexpr std::string_view direction_name(Direction d) { return d == Direction::Up ? "Up" : "Down"; }

// A stroke's direction from its text ("Up" or "向上", "Down" or "向下").
constexpr std::optional<Direction> parse_direction(std::string_view text) {
    if (text == "Up" || text == "向上") return Direction::Up;
    if (text == "Down" || text == "向下") return Direction::Down;
    return std::nullopt;
}

// "Invalid direction '{text}', expected Up/Down".
inline std::string invalid_direction_message(std::string_view text) {
    return "Invalid direction '" + std::string(text) + "', expected Up/Down";
}

struct Bi {
    double high = 0.0;
    double low = 0.0;
    DateTime sdt;
    DateTime edt;
    Direction direction = Direction::Up;
};

struct Zs {
    double zg = 0.0;  // lowest high among the first three strokes
    double zd = 0.0;  // highest low among the first three strokes
    double zz = 0.0;  // middle of the core: (zg - zd) * 0.5 + zd
    double gg = 0.0;  // highest high of all strokes
    double dd = 0.0;  // lowest low of all strokes
    DateTime sdt;     // start of the first stroke
    DateTime edt;     // end of the last stroke
    Direction sdir = Direction::Up;
    Direction edir = Direction::Up;
};

// One pass over the strokes; every stroke lands in exactly one zone, zones in
// stroke order. Extremes skip NaN (a NaN high or low never wins), so a zone
// whose prices are all NaN keeps the neutral values +inf / -inf. Zones of one
// or two strokes are kept and zg > zd is not required.
std::vector<Zs> get_zs_seq(std::span<const Bi> bis);

}  // namespace zj_core::zs
