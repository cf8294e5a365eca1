#include "zj_python/tick_records.hpp"

#include "zj_python/boundary/records.hpp"

namespace zj_python::tick {
namespace {

// The minute chart words its time errors its own way.
constexpr TimeMessages kTickTimeMessages{"Missing 'time' field", "Invalid time string '"};

}  // namespace

std::vector<zj_core::tick::TickPoint> tick_points(PyObject* data) {
    const KeySet keys{"time", "price", "avg", "vol", "momentum"};
    std::vector<zj_core::tick::TickPoint> points;
    points.reserve(static_cast<std::size_t>(list_size(data)));
    for_each_dict(data, [&](PyObject* item) {
        zj_core::tick::TickPoint p;
        p.time = read_time(field(item, keys[0]), kTickTimeMessages);
        p.price = field(item, keys[1]).f64("price");
        const Field avg = field(item, keys[2]);
        p.avg = avg.present() ? to_f64(avg.get()) : p.price;
        p.vol = field(item, keys[3]).i64("vol");
        const Field momentum = field(item, keys[4]);
        p.momentum = momentum.present() ? to_f64(momentum.get()) : 0.0;
        points.push_back(p);
    });
    return points;
}

}  // namespace zj_python::tick
