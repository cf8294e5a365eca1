// false_sell_version, auction_false_sell: heavy auction selling that is a fake.
#include "zj_core/auction/false_sell.hpp"

#include "zj_python/auction/ticks.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/module.hpp"

namespace zj_python {
namespace {

namespace core = zj_core::auction;

Ref false_sell_version() { return py_str(core::kFalseSellVersion); }

Ref analyze_false_sell(PyObject* data, std::int32_t threshold) {
    const std::vector<core::AuctionTick> ticks = auction::read_auction_ticks(data);
    const std::optional<core::FalseSellResult> r = auction::without_nan_failure(
        [&] { return core::FalseSellDetector(threshold).analyze_inner(ticks); });
    if (!r) return py_none();

    auction::ResultDict d;
    d.set("score", py_int(r->score));
    d.set("match", py_bool(r->match));
    d.set("neg_ratio", py_float(r->neg_ratio));
    d.set("price_up", py_bool(r->price_up));
    d.set("vr", py_float(r->vr));
    d.set("last_um", py_int(r->last_um));
    d.set("neg_total", py_int(r->neg_total));
    d.set("late_peak", py_bool(r->late_peak));
    d.set("recovery_score", py_float(r->recovery_score));
    d.set("n", py_uint(r->n));
    d.set("max_match", py_int(r->max_match));
    d.set("price_change_pct", py_float(r->price_change_pct));
    d.set("net_um", py_int(r->net_um));
    d.set("total_amt", py_float(r->total_amt));
    d.set("big_order_ratio", py_float(r->big_order_ratio));
    return d.take();
}

constexpr clinic::NoArgs kFalseSellVersion{"false_sell_version"};
constexpr clinic::Function kAuctionFalseSell{"auction_false_sell", clinic::List{"data"},
                                             clinic::Int32{"threshold", 50}};

}  // namespace

void register_auction_false_sell(PyObject* module) {
    add_function(module, clinic::noargs_method<kFalseSellVersion, false_sell_version>());
    add_function(module, clinic::method<kAuctionFalseSell, analyze_false_sell>());
}

}  // namespace zj_python
