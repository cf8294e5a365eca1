#include "zj_python/auction/ticks.hpp"

namespace zj_python::auction {

namespace {

using zj_core::TimeOfDay;

constexpr bool digit(char c) { return c >= '0' && c <= '9'; }

// The time key, with a fast path for the usual "HH:MM:SS" text; anything else
// (one-digit fields, a leap second, datetime.time, errors) takes the general
// reader and its messages.
TimeOfDay read_auction_time(const Field& f) {
    PyObject* o = f.get();
    if (o != nullptr && PyUnicode_Check(o)) {
        Py_ssize_t len = 0;
        const char* s = PyUnicode_AsUTF8AndSize(o, &len);
        if (s == nullptr) throw PyErrOccurred{};
        if (len == 8 && s[2] == ':' && s[5] == ':' && digit(s[0]) && digit(s[1]) && digit(s[3]) && digit(s[4]) &&
            digit(s[6]) && digit(s[7])) {
            const auto two = [s](int i) { return static_cast<std::uint32_t>((s[i] - '0') * 10 + (s[i + 1] - '0')); };
            const std::uint32_t h = two(0), m = two(3), sec = two(6);
            if (h <= 23 && m <= 59 && sec <= 59) return TimeOfDay::hms(h, m, sec);
        }
    }
    return read_time(f);
}

}  // namespace

std::vector<zj_core::auction::AuctionTick> read_auction_ticks(PyObject* data) {
    const KeySet keys{"time", "price", "matched", "unmatched"};
    constexpr std::size_t kKeys = 4;
    std::vector<zj_core::auction::AuctionTick> ticks;
    ticks.reserve(static_cast<std::size_t>(list_size(data)));
    for_each_dict(data, [&](PyObject* item) {
        const auto f = fields<kKeys>(item, keys);
        zj_core::auction::AuctionTick t;
        t.time = read_auction_time(f[0]);
        t.price = f[1].f64("price");
        t.matched = f[2].i32("matched");
        t.unmatched = f[3].i32("unmatched");
        ticks.push_back(t);
    });
    return ticks;
}

}  // namespace zj_python::auction
