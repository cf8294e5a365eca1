#include "zj_python/transaction/records.hpp"

#include <array>
#include <limits>
#include <utility>

#include "zj_python/boundary/records.hpp"

namespace zj_python::transaction {

using zj_core::transaction::ScreeningTxPoint;
using zj_core::transaction::TransactionPoint;

namespace {

// The values of `keys` in one dict, as a lookup of each key would find them.
// Records built by Python code hold the very key objects we look up (string
// literals are interned), so one walk over the entries comparing identities
// finds them faster than a hash lookup per key; a key not met that way is
// looked up as usual. The values are held before any of them is converted.
template <std::size_t N>
std::array<Field, N> fields(PyObject* dict, const KeySet& keys) {
    std::array<PyObject*, N> met{};
    std::size_t hits = 0;
    Py_ssize_t pos = 0;
    PyObject *key = nullptr, *value = nullptr;
    while (hits < N && PyDict_Next(dict, &pos, &key, &value)) {
        for (std::size_t j = 0; j < N; ++j) {
            if (key == keys[j]) {
                met[j] = value;
                ++hits;
                break;
            }
        }
    }
    return [&]<std::size_t... J>(std::index_sequence<J...>) {
        return std::array<Field, N>{(met[J] ? Field(Ref::borrow(met[J])) : field(dict, keys[J]))...};
    }(std::make_index_sequence<N>{});
}

}  // namespace

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

ResultDict::ResultDict() : dict_(Ref::check(PyDict_New())) {}

ResultDict& ResultDict::put(const char* key, Ref value) {
    if (PyDict_SetItemString(dict_.get(), key, value.get()) < 0) throw PyErrOccurred{};
    return *this;
}

}  // namespace zj_python::transaction
