// false_sell_version, auction_false_sell: heavy auction selling that is a fake.
#include "zj_core/auction/false_sell.hpp"

#include "zj_python/auction/ticks.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/results.hpp"
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

    return result_dict<core::FalseSellResult>(zj_core::results::kFalseSell, *r);
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
