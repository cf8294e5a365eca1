// auction_scanner_version, auction_morphology_names, auction_scan: the
// organised-buying score and the shape of an opening call auction.
#include "zj_core/auction/scan.hpp"

#include "zj_python/auction/ticks.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/results.hpp"
#include "zj_python/module.hpp"

namespace zj_python {
namespace {

namespace core = zj_core::auction;

Ref auction_scanner_version() { return py_str(core::kScannerVersion); }

Ref auction_morphology_names() {
    Ref out = Ref::check(PyList_New(core::kMorphologyCount));
    for (std::size_t i = 0; i < core::kMorphologyCount; ++i)
        PyList_SetItem(out.get(), static_cast<Py_ssize_t>(i), py_str(core::kMorphologies[i].name).release());
    return out;
}

Ref auction_scan(PyObject* data, std::int32_t threshold, std::optional<double> open_price,
                 std::optional<double> pre_close, std::optional<double> limit_up,
                 std::optional<double> limit_down) {
    const std::vector<core::AuctionTick> ticks = auction::read_auction_ticks(data);
    const std::optional<core::ScanResult> r = auction::without_nan_failure(
        [&] { return core::AuctionScanner(threshold).analyze(ticks, open_price, pre_close, limit_up, limit_down); });
    if (!r) return py_none();

    return result_dict<core::ScanResult>(zj_core::results::kScan, *r);
}

constexpr clinic::NoArgs kScannerVersion{"auction_scanner_version"};
constexpr clinic::NoArgs kMorphologyNames{"auction_morphology_names"};
constexpr clinic::Function kAuctionScan{"auction_scan",          clinic::List{"data"},
                                        clinic::Int32{"threshold", 50}, clinic::OptFloat{"open_price"},
                                        clinic::OptFloat{"pre_close"},  clinic::OptFloat{"limit_up"},
                                        clinic::OptFloat{"limit_down"}};

}  // namespace

void register_auction_scan(PyObject* module) {
    add_function(module, clinic::noargs_method<kScannerVersion, auction_scanner_version>());
    add_function(module, clinic::noargs_method<kMorphologyNames, auction_morphology_names>());
    add_function(module, clinic::method<kAuctionScan, auction_scan>());
}

}  // namespace zj_python
