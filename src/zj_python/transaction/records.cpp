#include "zj_python/transaction/records.hpp"

#include <limits>

#include "zj_python/boundary/records.hpp"

namespace zj_python::transaction {

using zj_core::transaction::ScreeningTxPoint;
using zj_core::transaction::TransactionPoint;

std::vector<TransactionPoint> transaction_points(PyObject* data) {
    const KeySet keys{"time", "price", "vol", "trade_count", "bs_flag"};
    std::vector<TransactionPoint> out;
    out.reserve(static_cast<std::size_t>(list_size(data)));
    for_each_dict(data, [&](PyObject* item) {
        const auto f = fields<5>(item, keys);
        TransactionPoint p;
        p.time = read_time(f[0]);
        p.price = f[1].f64("price");
        p.vol = f[2].i64("vol");
        p.trade_count = f[3].i32("trade_count");
        p.bs_flag = f[4].i32("bs_flag");
        out.push_back(p);
    });
    return out;
}

namespace {

// An int that fits 32 bits, else 1, whatever went wrong.
std::int32_t orders_or_one(const Field& f) {
    if (!f.present()) return 1;
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(f.get(), &overflow);
    if (v == -1 && PyErr_Occurred()) {
        PyErr_Clear();
        return 1;
    }
    if (overflow != 0 || v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return 1;
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::vector<ScreeningTxPoint> screening_points(PyObject* data) {
    const KeySet keys{"time", "price", "vol", "trade_count"};
    std::vector<ScreeningTxPoint> out;
    out.reserve(static_cast<std::size_t>(list_size(data)));
    for_each_dict(data, [&](PyObject* item) {
        const auto f = fields<4>(item, keys);
        ScreeningTxPoint p;
        p.time = read_time(f[0]);
        p.price = f[1].f64("price");
        p.vol = f[2].i64("vol");
        p.trade_count = orders_or_one(f[3]);
        out.push_back(p);
    });
    return out;
}

}  // namespace zj_python::transaction
