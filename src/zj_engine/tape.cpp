// tape: the tape analyses of a whole market's day (zjkit.frame.tape): per
// symbol the breakout verdict, the screening metrics and, given a breakout
// level, the confirmation above it.
#include <optional>
#include <vector>

#include "zj_core/bad_data.hpp"
#include "zj_core/transaction/core.hpp"
#include "zj_core/transaction/screening.hpp"
#include "zj_engine/record_frame.hpp"

namespace zj_engine {
namespace {

namespace clinic = zj_python::clinic;
namespace tx = zj_core::transaction;

std::vector<tx::TransactionPoint> trades_of(const records::Input& in, std::size_t g) {
    const auto& time = in.field("time");
    const auto& price = in.field("price");
    const auto& vol = in.field("vol");
    const auto& count = in.field("trade_count");
    const auto& flag = in.field("bs_flag");
    const auto rows = in.rows(g);
    std::vector<tx::TransactionPoint> out(rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::uint32_t r = rows[k];
        tx::TransactionPoint& p = out[k];
        p.time = records::time_at(time, r);
        p.price = price.f64[r];
        p.vol = records::int_at(vol, r, "vol");
        p.trade_count = count.present() ? records::i32_at(count, r, "trade_count") : 1;
        p.bs_flag = records::i32_at(flag, r, "bs_flag");
    }
    return out;
}

Ref tape(PyObject* trades, PyObject* days_obj, std::optional<double> breakout, PyObject* symbol, PyObject* columns,
         std::uint64_t workers) {
    const Pool pool = records::make_pool(workers);
    const records::Input in = records::read_input(trades, zj_core::schema::kTrade, symbol, columns, pool);
    const records::Days days = records::read_days(days_obj, symbol);
    records::require_days(days, {"pre_close", "high", "low"}, "pre_close, high and low of each symbol");
    if (breakout && !zj_core::valid_reference_price(*breakout))  // the same for every symbol: fail at once
        zj_python::raise_value_error(zj_core::invalid_value_message("breakout", *breakout));
    const bool with_breakout = breakout.has_value() || days.has("breakout");

    std::vector<std::optional<tx::TransactionAnalysisResult>> a(in.groups.size());
    std::vector<std::optional<tx::ScreeningMetrics>> s(in.groups.size());
    std::vector<std::optional<tx::BreakoutResult>> b(in.groups.size());
    const auto outcomes = released([&] {
        return records::run_groups(in, pool, [&](std::size_t g, records::Outcome& o) {
            const std::size_t day = days.row(in.symbol[g]);
            const double pre_close = records::reference_price("pre_close", days.value("pre_close", day));
            const double high = records::reference_price("high", days.value("high", day));
            const double low = records::reference_price("low", days.value("low", day));
            if (high < low) throw records::SymbolError(zj_core::unordered_range_message(high, low));
            std::optional<double> level = records::per_symbol(breakout, days, "breakout", day);
            if (level) records::reference_price("breakout", level);
            const std::vector<tx::TransactionPoint> points = trades_of(in, g);
            records::require_sound_records(points, in.rows(g));
            std::vector<tx::ScreeningTxPoint> plain(points.size());
            for (std::size_t k = 0; k < points.size(); ++k)
                plain[k] = tx::ScreeningTxPoint{points[k].time, points[k].price, points[k].vol, points[k].trade_count};
            a[g] = tx::analyze_transactions(points, pre_close, high, low);
            s[g] = tx::compute_screening_metrics(plain);
            if (level) b[g] = tx::analyze_breakout(points, *level);
            if (!a[g]) o.reason = records::join(o.reason, "trans_analysis: fewer than 20 trades or no volume");
            if (!s[g]) o.reason = records::join(o.reason, "screening_metrics: fewer than 5 trades or no volume");
            if (with_breakout && !b[g])
                o.reason = records::join(o.reason, level ? "trans_breakout: fewer than 10 trades, no volume or fewer "
                                                           "than 5 trades at or above the breakout price"
                                                         : "trans_breakout: no breakout price in days");
        });
    });

    const std::vector<std::size_t> rows = records::one_row_per_symbol(in, outcomes);
    // Columns built without the GIL; only handing them over needs it.
    records::Output out = released([&] {
        records::Output o(rows.size());
        const auto pa = records::pick(rows, a);
        const auto ps = records::pick(rows, s);
        o.add<tx::TransactionAnalysisResult>(zj_core::results::kTransactionAnalysis, pa);
        o.add<tx::ScreeningMetrics>(zj_core::results::kScreening, ps);
        if (with_breakout) {
            const auto pb = records::pick(rows, b);
            o.add<tx::BreakoutResult>(zj_core::results::kBreakout, pb, "breakout_");
        }
        return o;
    });
    return records::finish(in, rows, out, outcomes, true);
}

constexpr auto kTape =
    clinic::Function{"tape", Object{"trades"}, Object{"days"}, clinic::OptFloat{"breakout"}, Object{"symbol", true},
                     Object{"columns", true}, clinic::USize{"workers", 1}}
        .with_doc("Tape analyses per symbol; the engine of zjkit.frame.tape.");

}  // namespace

void register_tape(PyObject* module) { add_engine_function(module, clinic::method<kTape, tape>()); }

}  // namespace zj_engine
