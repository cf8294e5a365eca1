#include "zj_python/auction/ticks.hpp"

namespace zj_python::auction {

std::vector<zj_core::auction::AuctionTick> read_auction_ticks(PyObject* data) {
    const KeySet keys{"time", "price", "matched", "unmatched"};
    constexpr std::size_t kKeys = 4;
    std::vector<zj_core::auction::AuctionTick> ticks;
    ticks.reserve(static_cast<std::size_t>(list_size(data)));
    for_each_dict(data, [&](PyObject* item) {
        const auto f = fields<kKeys>(item, keys);
        zj_core::auction::AuctionTick t;
        t.time = read_time(f[0]);
        t.price = f[1].f64("price");
        t.matched = f[2].i32("matched");
        t.unmatched = f[3].i32("unmatched");
        ticks.push_back(t);
    });
    return ticks;
}

}  // namespace zj_python::auction
