#pragma once
// Seven-class shape of an opening call auction.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "zj_core/auction/types.hpp"

namespace zj_core::auction {

inline constexpr std::size_t kMorphologyCount = 7;
inline constexpr std::size_t kFallbackMorphology = 6;

struct MorphologyClass {
    std::string_view name;
    std::string_view group;
    std::string_view tag;
};

// Index order is the order of the per-class scores.
inline constexpr std::array<MorphologyClass, kMorphologyCount> kMorphologies{{
    {"涨停试盘型", "B", "B01"},   // probes the limit-up price in the first half, then lets go
    {"阶梯攀升型", "A", "A01"},   // climbs through many levels on growing volume
    {"钓鱼线型", "A", "A02"},     // high before 09:20, clearly lower right after
    {"跌停撬板型", "B", "B02"},   // near limit-down in the first half, then pried up
    {"一字放量型", "YZ", "YZ01"}, // flat price, heavy volume
    {"无量一字型", "YZ", "YZ02"}, // flat price, little volume
    {"震荡分歧型", "ZD", "ZD01"}, // moderate swings with the unmatched side flipping; fallback
}};

inline constexpr std::string_view kBullSuffix = "(多头)";
inline constexpr std::string_view kBearSuffix = "(空头)";
inline constexpr std::string_view kNeutralSuffix = "(中性)";

// Group and tag codes of a class index; "?" outside 0..6.
std::string_view morphology_group(std::size_t index);
std::string_view morphology_tag(std::size_t index);

struct MorphologyResult {
    std::string name;  // class name, with a direction suffix for the one-price classes
    std::int32_t confidence = 0;
    std::array<std::int32_t, kMorphologyCount> scores{};
    std::size_t index = kFallbackMorphology;
};

// Classifies the snapshots (chronological). Limits of 0.0 or less are unknown.
// Throws NanPriceError when a NaN price sits where prices are compared: the
// first half (with the matching limit known) or before 09:20.
MorphologyResult classify_morphology(std::span<const AuctionTick> ticks, double limit_up,
                                     double limit_down);
// The same for a caller that has already counted the distinct price levels of
// the ticks.
MorphologyResult classify_morphology(std::span<const AuctionTick> ticks, double limit_up, double limit_down,
                                     std::size_t level_count);

}  // namespace zj_core::auction
