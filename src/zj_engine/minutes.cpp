// minutes: the minute-chart grade of every symbol of a day (zjkit.frame.minutes).
#include <optional>
#include <vector>

#include "zj_core/bad_data.hpp"
#include "zj_core/tick/core.hpp"
#include "zj_engine/record_frame.hpp"

namespace zj_engine {
namespace {

namespace clinic = zj_python::clinic;
namespace tick = zj_core::tick;

// avg reads as the price and momentum as 0 where absent or null.
std::vector<tick::TickPoint> minutes_of(const records::Input& in, std::size_t g) {
    const auto& time = in.field("time");
    const auto& price = in.field("price");
    const auto& avg = in.field("avg");
    const auto& vol = in.field("vol");
    const auto& momentum = in.field("momentum");
    const auto rows = in.rows(g);
    std::vector<tick::TickPoint> out(rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::uint32_t r = rows[k];
        tick::TickPoint& p = out[k];
        p.time = records::time_at(time, r);
        p.price = price.f64[r];
        p.avg = avg.present() && !std::isnan(avg.f64[r]) ? avg.f64[r] : p.price;
        p.vol = records::int_at(vol, r, "vol");
        p.momentum = momentum.present() && !std::isnan(momentum.f64[r]) ? momentum.f64[r] : 0.0;
    }
    return out;
}

Ref minutes(PyObject* chart, PyObject* days_obj, std::optional<double> low_price, double close_pos_threshold,
            PyObject* symbol, PyObject* columns, std::uint64_t workers) {
    const Pool pool = records::make_pool(workers);
    const records::Input in = records::read_input(chart, zj_core::schema::kMinute, symbol, columns, pool);
    const records::Days days = records::read_days(days_obj, symbol);
    records::require_days(days, {"pre_close"}, "pre_close of each symbol");

    std::vector<std::optional<tick::TickAnalysisResult>> found(in.groups.size());
    const auto outcomes = released([&] {
        return records::run_groups(in, pool, [&](std::size_t g, records::Outcome& o) {
            const std::size_t day = days.row(in.symbol[g]);
            const double pre_close = records::reference_price("pre_close", days.value("pre_close", day));
            const std::optional<double> low = records::per_symbol(low_price, days, "low_price", day);
            const std::vector<tick::TickPoint> points = minutes_of(in, g);
            records::require_sound_records(points, in.rows(g));
            found[g] = tick::analyze_tick_chart(points, low.has_value(), pre_close, low.value_or(0.0),
                                                close_pos_threshold);
            if (!found[g]) o.reason = "tick_analysis: fewer than 10 minutes";
        });
    });

    const std::vector<std::size_t> rows = records::one_row_per_symbol(in, outcomes);
    // Columns built without the GIL; only handing them over needs it.
    records::Output out = released([&] {
        records::Output o(rows.size());
        const auto picked = records::pick(rows, found);
        o.add<tick::TickAnalysisResult>(zj_core::results::kTick, picked);
        return o;
    });
    return records::finish(in, rows, out, outcomes, true);
}

constexpr auto kMinutes =
    clinic::Function{"minutes",
                     Object{"chart"},
                     Object{"days"},
                     clinic::OptFloat{"low_price"},
                     clinic::Float{"close_pos_threshold", 0.3},
                     Object{"symbol", true},
                     Object{"columns", true},
                     clinic::USize{"workers", 1}}
        .with_doc("Minute-chart grades per symbol; the engine of zjkit.frame.minutes.");

}  // namespace

void register_minutes(PyObject* module) {
    add_engine_function(module, clinic::method<kMinutes, minutes>());
}

}  // namespace zj_engine
