#pragma once
// Result kinds, described once. Each analysis result lists its output fields
// in output order: the name (the dict key, and the column name of a frame),
// the value kind, and how the value is read from the core's result. The dict
// builders of the per-record functions and the column builders of the frame
// functions both walk these tables.
#include <cstddef>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "zj_core/auction/false_sell.hpp"
#include "zj_core/auction/scan.hpp"
#include "zj_core/tick/types.hpp"
#include "zj_core/transaction/types.hpp"
#include "zj_core/zs.hpp"

namespace zj_core::results {

enum class Kind : unsigned char {
    Float,
    Int,      // signed or unsigned counts; every value fits int64
    Bool,
    OptBool,  // a bool that may be unknown (None)
    Text,
    IntList,  // a fixed number of ints: a list in a dict, one column per element in a frame
};

// One value as read from a result. Texts view the result (or `owned`).
struct Cell {
    double f = 0.0;
    std::int64_t i = 0;
    bool b = false;
    bool null = false;
    std::string_view text;
    std::string owned;  // a text made for the cell (a formatted time)
    std::span<const std::int32_t> list;
};

template <class R>
struct Field {
    std::string_view name;
    Kind kind;
    Cell (*get)(const R&);
    std::size_t width = 0;  // IntList: number of elements
};

namespace detail {
inline Cell cell(double v) {
    Cell c;
    c.f = v;
    return c;
}
inline Cell cell(bool v) {
    Cell c;
    c.b = v;
    return c;
}
inline Cell cell(std::int64_t v) {
    Cell c;
    c.i = v;
    return c;
}
inline Cell cell(std::int32_t v) { return cell(static_cast<std::int64_t>(v)); }
inline Cell cell(std::uint32_t v) { return cell(static_cast<std::int64_t>(v)); }
inline Cell cell(std::size_t v) { return cell(static_cast<std::int64_t>(v)); }
inline Cell cell(const std::optional<bool>& v) {
    Cell c = cell(v.value_or(false));
    c.null = !v;
    return c;
}
inline Cell cell(std::string_view v) {
    Cell c;
    c.text = v;
    return c;
}
inline Cell cell(const std::string& v) { return cell(std::string_view(v)); }
inline Cell owned_text(std::string v) {
    Cell c;
    c.owned = std::move(v);
    return c;
}
template <std::size_t N>
Cell cell(const std::array<std::int32_t, N>& v) {
    Cell c;
    c.list = v;
    return c;
}

template <class T>
constexpr Kind kind_of() {
    if constexpr (std::is_same_v<T, double>) return Kind::Float;
    else if constexpr (std::is_same_v<T, bool>) return Kind::Bool;
    else if constexpr (std::is_same_v<T, std::optional<bool>>) return Kind::OptBool;
    else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>) return Kind::Text;
    else if constexpr (std::is_integral_v<T>) return Kind::Int;
    else return Kind::IntList;
}

template <class>
struct MemberOf;
template <class R, class T>
struct MemberOf<T R::*> {
    using record = R;
    using type = T;
};
}  // namespace detail

// The field `name` read from member M.
template <auto M>
constexpr Field<typename detail::MemberOf<decltype(M)>::record> of(std::string_view name) {
    using R = typename detail::MemberOf<decltype(M)>::record;
    using T = typename detail::MemberOf<decltype(M)>::type;
    std::size_t width = 0;
    if constexpr (detail::kind_of<T>() == Kind::IntList) width = std::tuple_size_v<T>;
    return {name, detail::kind_of<T>(), [](const R& r) { return detail::cell(r.*M); }, width};
}

// ---- the results --------------------------------------------------------------

using transaction::BreakoutResult;
using transaction::ScreeningMetrics;
using transaction::TransactionAnalysisResult;
using R1 = TransactionAnalysisResult;
inline constexpr Field<R1> kTransactionAnalysis[] = {
    of<&R1::buy_vol_ratio>("buy_vol_ratio"),
    of<&R1::sell_vol_ratio>("sell_vol_ratio"),
    of<&R1::neutral_vol_ratio>("neutral_vol_ratio"),
    of<&R1::large_trade_count>("large_trade_count"),
    of<&R1::large_trade_vol_ratio>("large_trade_vol_ratio"),
    of<&R1::large_buy_count>("large_buy_count"),
    of<&R1::large_sell_count>("large_sell_count"),
    of<&R1::large_buy_vol_ratio>("large_buy_vol_ratio"),
    of<&R1::inst_buy_vol_ratio>("inst_buy_vol_ratio"),
    of<&R1::inst_buy_count>("inst_buy_count"),
    of<&R1::inst_sell_count>("inst_sell_count"),
    of<&R1::inst_net_flow_ratio>("inst_net_flow_ratio"),
    of<&R1::split_clusters>("split_clusters"),
    of<&R1::matched_pairs>("matched_pairs"),
    of<&R1::price_position>("price_position"),
    of<&R1::day_chg_pct>("day_chg_pct"),
    of<&R1::last_30min_vol_ratio>("last_30min_vol_ratio"),
    of<&R1::last_30min_buy_sell_ratio>("last_30min_buy_sell_ratio"),
    of<&R1::last_30min_momentum>("last_30min_momentum"),
    of<&R1::is_breakout>("is_breakout"),
    of<&R1::confidence>("confidence"),
    of<&R1::conclusion>("conclusion"),
    of<&R1::details>("details"),
};

using R2 = BreakoutResult;
inline constexpr Field<R2> kBreakout[] = {
    of<&R2::total_n>("total_n"),
    of<&R2::breakout_n>("breakout_n"),
    of<&R2::breakout_vol_ratio>("breakout_vol_ratio"),
    of<&R2::breakout_buy_ratio>("breakout_buy_ratio"),
    of<&R2::breakout_large_buy>("breakout_large_buy"),
    of<&R2::breakout_large_sell>("breakout_large_sell"),
    of<&R2::price_sustain_ratio>("price_sustain_ratio"),
    of<&R2::is_strong>("is_strong"),
    of<&R2::classification>("classification"),
    of<&R2::confidence>("confidence"),
    of<&R2::details>("details"),
};

using R3 = ScreeningMetrics;
inline constexpr Field<R3> kScreening[] = {
    of<&R3::first30_vol_pct>("first30_vol_pct"),
    of<&R3::midday_vol_pct>("midday_vol_pct"),
    of<&R3::afternoon_vol_pct>("afternoon_vol_pct"),
    of<&R3::last30_vol_pct>("last30_vol_pct"),
    of<&R3::last5_vol_pct>("last5_vol_pct"),
    of<&R3::large_pct>("large_pct"),
    of<&R3::xl_pct>("xl_pct"),
    of<&R3::large_amount_pct>("large_amount_pct"),
    of<&R3::xl_amount_pct>("xl_amount_pct"),
    of<&R3::avg_trade_vol>("avg_trade_vol"),
    of<&R3::vwap>("vwap"),
    of<&R3::avg_shares_per_trade>("avg_shares_per_trade"),
    of<&R3::single_trade_vol_pct>("single_trade_vol_pct"),
};

using R4 = tick::TickAnalysisResult;
inline constexpr Field<R4> kTick[] = {
    of<&R4::close_pos>("close_pos"),
    of<&R4::day_chg_pct>("day_chg_pct"),
    of<&R4::amplitude_pct>("amplitude_pct"),
    of<&R4::total_vol>("total_vol"),
    of<&R4::n>("n"),
    of<&R4::large_trade_count>("large_trade_count"),
    of<&R4::large_trade_vol_ratio>("large_trade_vol_ratio"),
    of<&R4::quality_score>("quality_score"),
    of<&R4::should_cancel>("should_cancel"),
    of<&R4::cancel_reason>("cancel_reason"),
};

using R5 = auction::ScanResult;
inline constexpr Field<R5> kScan[] = {
    of<&R5::score>("score"),
    of<&R5::match>("match"),
    of<&R5::steps>("steps"),
    of<&R5::eff_steps>("eff_steps"),
    of<&R5::neg_pos_alt>("neg_pos_alt"),
    of<&R5::buy_rev>("buy_rev"),
    of<&R5::vr>("vr"),
    of<&R5::end_p>("end_p"),
    of<&R5::oh>("oh"),
    of<&R5::n>("n"),
    of<&R5::morphology>("morphology"),
    of<&R5::morphology_conf>("morphology_conf"),
    of<&R5::morphology_tag>("morphology_tag"),
    of<&R5::morphology_scores>("morphology_scores"),
    of<&R5::morphology_group>("morphology_group"),
};

using R6 = auction::FalseSellResult;
inline constexpr Field<R6> kFalseSell[] = {
    of<&R6::score>("score"),
    of<&R6::match>("match"),
    of<&R6::neg_ratio>("neg_ratio"),
    of<&R6::price_up>("price_up"),
    of<&R6::vr>("vr"),
    of<&R6::last_um>("last_um"),
    of<&R6::neg_total>("neg_total"),
    of<&R6::late_peak>("late_peak"),
    of<&R6::recovery_score>("recovery_score"),
    of<&R6::n>("n"),
    of<&R6::max_match>("max_match"),
    of<&R6::price_change_pct>("price_change_pct"),
    of<&R6::net_um>("net_um"),
    of<&R6::total_amt>("total_amt"),
    of<&R6::big_order_ratio>("big_order_ratio"),
};

// A zone's ends are written twice: as RFC 3339 text and as Unix seconds.
using R7 = zs::Zs;
inline constexpr Field<R7> kZone[] = {
    of<&R7::zg>("zg"),
    of<&R7::zd>("zd"),
    of<&R7::zz>("zz"),
    of<&R7::gg>("gg"),
    of<&R7::dd>("dd"),
    {"sdir", Kind::Text, [](const R7& z) { return detail::cell(zs::direction_name(z.sdir)); }},
    {"edir", Kind::Text, [](const R7& z) { return detail::cell(zs::direction_name(z.edir)); }},
    {"sdt", Kind::Text, [](const R7& z) { return detail::owned_text(to_rfc3339(z.sdt)); }},
    {"edt", Kind::Text, [](const R7& z) { return detail::owned_text(to_rfc3339(z.edt)); }},
    {"sdt_ts", Kind::Int, [](const R7& z) { return detail::cell(z.sdt.unix_seconds()); }},
    {"edt_ts", Kind::Int, [](const R7& z) { return detail::cell(z.edt.unix_seconds()); }},
};

// The text of a Text cell.
inline std::string_view text_of(const Cell& c) { return c.owned.empty() ? c.text : std::string_view(c.owned); }

}  // namespace zj_core::results
