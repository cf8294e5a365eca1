#include "zj_python/transaction/records.hpp"

#include <limits>

#include "zj_python/boundary/records.hpp"

namespace zj_python::transaction {

using zj_core::transaction::ScreeningTxPoint;
using zj_core::transaction::TransactionPoint;

namespace {

namespace schema = zj_core::schema;
enum Trade : std::size_t { kTime, kPrice, kVol, kTradeCount, kBsFlag };

// The number of orders behind a screening trade: an int that fits 32 bits,
// else 1 (absent, not an integer, out of range). An error that is not a failed
// conversion goes on.
std::int32_t orders_or_one(Record& r) {
    r.at(kTradeCount);
    PyObject* o = r.get(kTradeCount);
    if (o == nullptr) return 1;
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(o, &overflow);
    if (v == -1 && PyErr_Occurred()) {
        if (!conversion_failed()) throw PyErrOccurred{};
        PyErr_Clear();
        return 1;
    }
    if (overflow != 0 || v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return 1;
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::vector<TransactionPoint> transaction_points(PyObject* data) {
    const RecordReader reader(schema::kTrade);
    std::vector<TransactionPoint> out;
    out.reserve(static_cast<std::size_t>(PyList_Size(data)));
    reader.each(data, [&](Record& r) {
        TransactionPoint p;
        p.time = r.time(kTime);
        p.price = r.f64(kPrice);
        p.vol = r.i64(kVol);
        p.trade_count = r.i32(kTradeCount);
        p.bs_flag = r.i32(kBsFlag);
        out.push_back(p);
    });
    return out;
}

std::vector<ScreeningTxPoint> screening_points(PyObject* data) {
    const RecordReader reader(schema::kTrade,
                              {.optional = field_bit(kTradeCount), .skipped = field_bit(kBsFlag)});
    std::vector<ScreeningTxPoint> out;
    out.reserve(static_cast<std::size_t>(PyList_Size(data)));
    reader.each(data, [&](Record& r) {
        ScreeningTxPoint p;
        p.time = r.time(kTime);
        p.price = r.f64(kPrice);
        p.vol = r.i64(kVol);
        p.trade_count = orders_or_one(r);
        out.push_back(p);
    });
    return out;
}

}  // namespace zj_python::transaction
