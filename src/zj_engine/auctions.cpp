// auctions: the opening call auction of every symbol (zjkit.frame.auctions):
// the organised-buying scan with its morphology, and the false-sell detector.
#include <optional>
#include <vector>

#include "zj_core/auction/false_sell.hpp"
#include "zj_core/auction/scan.hpp"
#include "zj_engine/record_frame.hpp"

namespace zj_engine {
namespace {

namespace clinic = zj_python::clinic;
namespace auction = zj_core::auction;

std::vector<auction::AuctionTick> snapshots_of(const records::Input& in, std::size_t g) {
    const auto& time = in.field("time");
    const auto& price = in.field("price");
    const auto& matched = in.field("matched");
    const auto& unmatched = in.field("unmatched");
    const auto rows = in.rows(g);
    std::vector<auction::AuctionTick> out(rows.size());
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const std::uint32_t r = rows[k];
        out[k] = auction::AuctionTick{records::time_at(time, r), price.f64[r],
                                      records::i32_at(matched, r, "matched"),
                                      records::i32_at(unmatched, r, "unmatched")};
    }
    return out;
}

Ref auctions(PyObject* snapshots, PyObject* days_obj, std::int32_t threshold, PyObject* symbol, PyObject* columns,
             std::uint64_t workers) {
    const Pool pool = records::make_pool(workers);
    const records::Input in = records::read_input(snapshots, zj_core::schema::kSnapshot, symbol, columns, pool);
    const records::Days days = records::read_days(days_obj, symbol);

    std::vector<std::optional<auction::ScanResult>> scans(in.groups.size());
    std::vector<std::optional<auction::FalseSellResult>> sells(in.groups.size());
    const auto outcomes = released([&] {
        return records::run_groups(in, pool, [&](std::size_t g, records::Outcome& o) {
            std::optional<double> prices[4];
            if (days.given) {
                const std::size_t day = days.row(in.symbol[g]);
                const char* names[4] = {"open_price", "pre_close", "limit_up", "limit_down"};
                for (int i = 0; i < 4; ++i) prices[i] = days.value(names[i], day);
            }
            const std::vector<auction::AuctionTick> ticks = snapshots_of(in, g);
            scans[g] = auction::AuctionScanner(threshold).analyze(ticks, prices[0], prices[1], prices[2], prices[3]);
            sells[g] = auction::FalseSellDetector(threshold).analyze_inner(ticks);
            if (!scans[g] || !sells[g]) o.reason = "fewer than 15 snapshots in 09:15-09:25";
        });
    });

    const std::vector<std::size_t> rows = records::one_row_per_symbol(in, outcomes);
    // Columns built without the GIL; only handing them over needs it.
    records::Output out = released([&] {
        records::Output o(rows.size());
        const auto ps = records::pick(rows, scans);
        const auto pf = records::pick(rows, sells);
        o.add<auction::ScanResult>(zj_core::results::kScan, ps);
        o.add<auction::FalseSellResult>(zj_core::results::kFalseSell, pf, "false_sell_");
        return o;
    });
    return records::finish(in, rows, out, outcomes, true);
}

constexpr auto kAuctions = clinic::Function{"auctions",
                                            Object{"snapshots"},
                                            Object{"days", true},
                                            clinic::Int32{"threshold", 50},
                                            Object{"symbol", true},
                                            Object{"columns", true},
                                            clinic::USize{"workers", 1}}
                               .with_doc("Auction scans and false-sell checks per symbol; the engine of "
                                         "zjkit.frame.auctions.");

}  // namespace

void register_auctions(PyObject* module) {
    add_engine_function(module, clinic::method<kAuctions, auctions>());
}

}  // namespace zj_engine
