#include "zj_core/transaction/screening.hpp"

#include <cmath>
#include <cstdint>

#include "zj_core/common/numeric.hpp"

namespace zj_core::transaction {

namespace {

constexpr std::uint32_t hms(std::uint32_t h, std::uint32_t m) { return h * 3600 + m * 60; }

// Half-open windows [from, to) of seconds of the day.
struct Window {
    std::uint32_t from, to;
    bool contains(std::uint32_t sec) const { return sec >= from && sec < to; }
};
constexpr Window kFirst30{hms(9, 30), hms(10, 0)};
constexpr Window kMidday{hms(10, 30), hms(12, 0)};
constexpr Window kAfternoon{hms(13, 0), hms(14, 0)};
constexpr Window kLast30{hms(14, 30), hms(16, 0)};  // trades stamped 15:00:00 count
constexpr Window kLast5{hms(14, 55), hms(16, 0)};

double f64(VolSum v) { return static_cast<double>(v); }

}  // namespace

std::optional<ScreeningMetrics> compute_screening_metrics(std::span<const ScreeningTxPoint> points) {
    const std::size_t n = points.size();
    if (n < 5) return std::nullopt;

    double vol_sum = 0.0, amount_sum = 0.0;
    for (const auto& p : points) vol_sum += static_cast<double>(p.vol);
    for (const auto& p : points) amount_sum += static_cast<double>(p.vol) * p.price;
    const double nf = static_cast<double>(n);
    const double avg_vol = vol_sum / nf;
    const double avg_amount = amount_sum / nf;
    const std::int64_t large_vol = saturating_cast<std::int64_t>(3.0 * avg_vol);
    const std::int64_t xl_vol = saturating_cast<std::int64_t>(10.0 * avg_vol);
    const double large_amt = 3.0 * avg_amount;
    const double xl_amt = 10.0 * avg_amount;

    VolSum total = 0, first30 = 0, midday = 0, afternoon = 0, last30 = 0, last5 = 0;
    VolSum large = 0, xl = 0, large_amount = 0, xl_amount = 0, single = 0;
    std::int64_t orders = 0;
    double amount_total = 0.0;
    for (const auto& p : points) {
        const double amount = static_cast<double>(p.vol) * p.price;
        const std::uint32_t sec = p.time.secs;
        total += p.vol;
        orders += p.trade_count;
        if (kFirst30.contains(sec)) first30 += p.vol;
        if (kMidday.contains(sec)) midday += p.vol;
        if (kAfternoon.contains(sec)) afternoon += p.vol;
        if (kLast30.contains(sec)) last30 += p.vol;
        if (kLast5.contains(sec)) last5 += p.vol;
        if (p.vol >= large_vol) large += p.vol;
        if (p.vol >= xl_vol) xl += p.vol;
        if (amount >= large_amt) large_amount += p.vol;
        if (amount >= xl_amt) xl_amount += p.vol;
        if (p.trade_count == 1) single += p.vol;
        amount_total += amount;
    }
    if (total == 0) return std::nullopt;

    const double total_f = f64(total);
    const auto pct = [&](VolSum part) { return std::round(f64(part) / total_f * 10000.0) / 100.0; };
    ScreeningMetrics m;
    m.first30_vol_pct = pct(first30);
    m.midday_vol_pct = pct(midday);
    m.afternoon_vol_pct = pct(afternoon);
    m.last30_vol_pct = pct(last30);
    m.last5_vol_pct = pct(last5);
    m.large_pct = pct(large);
    m.xl_pct = pct(xl);
    m.large_amount_pct = pct(large_amount);
    m.xl_amount_pct = pct(xl_amount);
    m.avg_trade_vol = round_to(total_f / nf, 2);
    m.vwap = round_to(amount_total / total_f, 2);
    m.avg_shares_per_trade = orders > 0 ? round_to(total_f / static_cast<double>(orders), 2) : 0.0;
    m.single_trade_vol_pct = pct(single);
    return m;
}

}  // namespace zj_core::transaction
