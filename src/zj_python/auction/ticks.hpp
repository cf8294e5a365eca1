#pragma once
// Auction snapshots from Python: shared by the scan and the false-sell detector.
#include <vector>

#include "zj_core/auction/types.hpp"
#include "zj_python/boundary/records.hpp"

namespace zj_python::auction {

// Each item must be a dict with "time", "price", "matched" and "unmatched",
// read in that order; the first failure ends the call.
std::vector<zj_core::auction::AuctionTick> read_auction_ticks(PyObject* data);

// Runs an analysis core; a NaN price it cannot order becomes ValueError
// "NaN price at HH:MM:SS".
template <class F>
auto without_nan_failure(F&& core) {
    try {
        return core();
    } catch (const zj_core::auction::NanPriceError& e) {
        raise_value_error(e.what());
    }
}

}  // namespace zj_python::auction
