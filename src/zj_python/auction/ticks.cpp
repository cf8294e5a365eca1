#include "zj_python/auction/ticks.hpp"

namespace zj_python::auction {

std::vector<zj_core::auction::AuctionTick> read_auction_ticks(PyObject* data) {
    enum Snapshot : std::size_t { kTime, kPrice, kMatched, kUnmatched };
    const RecordReader reader(zj_core::schema::kSnapshot);
    std::vector<zj_core::auction::AuctionTick> ticks;
    ticks.reserve(static_cast<std::size_t>(PyList_Size(data)));
    reader.each(data, [&](Record& r) {
        zj_core::auction::AuctionTick t;
        t.time = r.time(kTime);
        t.price = r.f64(kPrice);
        t.matched = r.i32(kMatched);
        t.unmatched = r.i32(kUnmatched);
        ticks.push_back(t);
    });
    return ticks;
}

}  // namespace zj_python::auction
