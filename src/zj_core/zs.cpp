#include "zj_core/zs.hpp"

#include <limits>

namespace zj_core::zs {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The zone being built: its core edges over the first three strokes and its
// running extremes, so each stroke is looked at once.
struct OpenZone {
    std::size_t count = 0;
    double zg = kInf, zd = -kInf, gg = -kInf, dd = kInf;
    DateTime sdt, edt;
    Direction sdir = Direction::Up, edir = Direction::Up;

    // Comparisons with NaN are false, so a NaN never replaces the extreme.
    void add(const Bi& b) {
        if (count == 0) {
            sdt = b.sdt;
            sdir = b.direction;
        }
        if (count < 3) {
            if (b.high < zg) zg = b.high;
            if (b.low > zd) zd = b.low;
        }
        if (b.high > gg) gg = b.high;
        if (b.low < dd) dd = b.low;
        edt = b.edt;
        edir = b.direction;
        ++count;
    }

    // Whether `b` leaves the core in its own direction.
    bool breaks_out(const Bi& b) const {
        return b.direction == Direction::Up ? zd > b.high : b.low > zg;
    }

    Zs close() const { return Zs{zg, zd, (zg - zd) * 0.5 + zd, gg, dd, sdt, edt, sdir, edir}; }
};

}  // namespace

std::vector<Zs> get_zs_seq(std::span<const Bi> bis) {
    std::vector<Zs> out;
    if (bis.empty()) return out;
    OpenZone zone;
    zone.add(bis.front());
    for (const Bi& b : bis.subspan(1)) {
        if (zone.breaks_out(b)) {
            out.push_back(zone.close());
            zone = OpenZone{};
        }
        zone.add(b);
    }
    out.push_back(zone.close());
    return out;
}

}  // namespace zj_core::zs
