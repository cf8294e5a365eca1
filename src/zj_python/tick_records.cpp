#include "zj_python/tick_records.hpp"

#include "zj_python/boundary/records.hpp"

namespace zj_python::tick {
namespace {

// The minute chart words its time errors its own way.
constexpr TimeMessages kTickTimeMessages{"Missing 'time' field", "Invalid time string '"};

}  // namespace

std::vector<zj_core::tick::TickPoint> tick_points(PyObject* data) {
    enum Minute : std::size_t { kTime, kPrice, kAvg, kVol, kMomentum };
    const RecordReader reader(zj_core::schema::kMinute, {.times = &kTickTimeMessages});
    std::vector<zj_core::tick::TickPoint> points;
    points.reserve(static_cast<std::size_t>(PyList_Size(data)));
    reader.each(data, [&](Record& r) {
        zj_core::tick::TickPoint p;
        p.time = r.time(kTime);
        p.price = r.f64(kPrice);
        p.avg = r.opt_f64(kAvg).value_or(p.price);
        p.vol = r.i64(kVol);
        p.momentum = r.opt_f64(kMomentum).value_or(0.0);
        points.push_back(p);
    });
    return points;
}

}  // namespace zj_python::tick
