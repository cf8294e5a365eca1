#pragma once
// Organised-buying score of an opening call auction.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "zj_core/auction/morphology.hpp"
#include "zj_core/auction/types.hpp"

namespace zj_core::auction {

inline constexpr std::string_view kScannerVersion = "0.1.1";

struct ScanResult {
    std::string morphology;                 // class name, with direction suffix
    std::string_view morphology_group;      // group code of the class
    std::string_view morphology_tag;        // tag code of the class
    std::uint32_t steps = 0;                // distinct price levels in the window, minus one
    std::uint32_t eff_steps = 0;            // steps when at least 2, else 0
    double vr = 0.0;                        // end-volume ratio, 2 decimals
    std::uint32_t n = 0;                    // snapshots in the window
    double first_price = 0.0;
    double last_price = 0.0;
    std::size_t morphology_index = kFallbackMorphology;
    std::int32_t score = 0;                 // 0..100
    std::int32_t max_matched = 0;
    std::int32_t last_unmatched = 0;
    std::int32_t morphology_conf = 0;
    std::array<std::int32_t, kMorphologyCount> morphology_scores{};
    bool match = false;                     // score against the threshold
    bool neg_pos_alt = false;               // sell/buy alternation in 09:20-09:22
    bool buy_rev = false;                   // ... ending on the buy side
    bool end_p = false;                     // heavy unmatched selling at the end, price held
    std::optional<bool> oh;                 // opened above the previous close; unknown without both
};

class AuctionAnalyzer {
public:
    virtual ~AuctionAnalyzer() = default;
    virtual std::optional<ScanResult> analyze(std::span<const AuctionTick> ticks,
                                              std::optional<double> open_price,
                                              std::optional<double> pre_close,
                                              std::optional<double> limit_up,
                                              std::optional<double> limit_down) const = 0;
};

class AuctionScanner final : public AuctionAnalyzer {
public:
    explicit AuctionScanner(std::int32_t threshold = 50) : threshold_(threshold) {}
    std::int32_t threshold() const { return threshold_; }

    // Ticks in chronological order (never sorted here). Absent for fewer than 15
    // snapshots in all or in the 09:15:00-09:25:59 window. Throws NanPriceError
    // when the morphology meets a NaN price it cannot order.
    std::optional<ScanResult> analyze(std::span<const AuctionTick> ticks,
                                      std::optional<double> open_price,
                                      std::optional<double> pre_close,
                                      std::optional<double> limit_up,
                                      std::optional<double> limit_down) const override;

    // With filter off the whole slice is the window.
    std::optional<ScanResult> analyze_filter(std::span<const AuctionTick> ticks,
                                             std::optional<double> open_price,
                                             std::optional<double> pre_close,
                                             std::optional<double> limit_up,
                                             std::optional<double> limit_down, bool filter) const;

private:
    std::int32_t threshold_;
};

}  // namespace zj_core::auction
