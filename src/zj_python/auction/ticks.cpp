#include "zj_python/auction/ticks.hpp"

namespace zj_python::auction {

std::vector<zj_core::auction::AuctionTick> read_auction_ticks(PyObject* data) {
    const KeySet keys{"time", "price", "matched", "unmatched"};
    std::vector<zj_core::auction::AuctionTick> ticks;
    ticks.reserve(static_cast<std::size_t>(list_size(data)));
    for_each_dict(data, [&](PyObject* item) {
        zj_core::auction::AuctionTick t;
        t.time = read_time(field(item, keys[0]));
        t.price = field(item, keys[1]).f64("price");
        t.matched = field(item, keys[2]).i32("matched");
        t.unmatched = field(item, keys[3]).i32("unmatched");
        ticks.push_back(t);
    });
    return ticks;
}

}  // namespace zj_python::auction
