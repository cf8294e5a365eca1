// Matched (对倒) pairs of a time-sorted tape.
//
// The rule is a greedy scan: every open (unused, directional) trade i, in tape
// order, pairs with the first later open trade j of another flag that lies
// within 5 seconds and is close in price and volume; trades of the same flag,
// used ones and neutral ones are passed over, and the scan for i ends at the
// first open trade of another flag more than 5 seconds later.
//
// Read literally that scan walks over every same-flag or used trade between i
// and the end of its window, however far away in time, which is quadratic on
// one-sided stretches. Here the scan for i is limited to its 5-second window
// from the start (the first open opposite trade past it would end the scan
// anyway). A window of a handful of trades is scanned directly. A busy one is
// searched through the trades of nearby volume only (volume bins). A crowded
// one (hundreds of trades stamped within 5 seconds, or a whole tape with one
// time) goes to a k-d tree over price and volume of the open trades, which
// yields the smallest index of another flag whose price and volume can match;
// near-misses of its box are checked exactly and set aside.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "zj_core/transaction/core.hpp"

namespace zj_core::transaction {

namespace {

constexpr std::int64_t kPairWindowSecs = 5;
constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// The (price, volume) box that contains every trade able to pair with `a`,
// slightly widened so that rounding in the exact test can never fall outside.
struct Box {
    double price_lo, price_hi, vol_lo, vol_hi;
    bool contains(double p, double v) const { return p >= price_lo && p <= price_hi && v >= vol_lo && v <= vol_hi; }
};

// False when `a` cannot pair with anything: a pair needs two positive volumes
// (|a - b| / max(a, b) <= 0.15 fails otherwise) and a price that is neither NaN
// nor -inf (its difference to any price is NaN or infinite against a 0.01
// tolerance).
bool pair_box(const TransactionPoint& a, Box& box) {
    if (!(a.vol > 0) || std::isnan(a.price) || a.price == -INFINITY) return false;
    const double v = static_cast<double>(a.vol);
    box.vol_lo = v * 0.8499;
    box.vol_hi = v / 0.8499;
    if (a.price == INFINITY) {  // infinite tolerance: every price but +inf itself
        box.price_lo = -INFINITY;
        box.price_hi = std::numeric_limits<double>::max();
        return true;
    }
    const double tolerance = std::fmax(a.price * 0.002, 0.01);
    const double slack = tolerance * (1 + 1e-4) + std::fabs(a.price) * 1e-15;
    box.price_lo = a.price - slack;
    box.price_hi = a.price + slack;
    return true;
}

bool can_be_later_side(const TransactionPoint& p) { return is_directional(p) && p.vol > 0 && !std::isnan(p.price); }

// Open trades of a stretch of the tape [lo, hi) in a k-d tree keyed by price
// and volume. Each node keeps the smallest open index below it and the
// smallest open index whose flag differs from that one's, which answers
// "smallest open index with a flag other than f" for any f.
class DenseIndex {
public:
    DenseIndex(std::span<const TransactionPoint> tape, const std::vector<char>& open, std::size_t lo, std::size_t hi)
        : lo_(lo), hi_(hi), where_(hi - lo, kNone) {
        for (std::size_t k = lo; k < hi; ++k) {
            if (!open[k] || !can_be_later_side(tape[k])) continue;
            Node nd;
            nd.price = tape[k].price;
            nd.vol = static_cast<double>(tape[k].vol);
            nd.index = k;
            nd.flag = tape[k].bs_flag;
            nodes_.push_back(nd);
        }
        build(0, nodes_.size(), 0, kNone);
        for (std::size_t m = 0; m < nodes_.size(); ++m) where_[nodes_[m].index - lo_] = m;
    }

    bool covers(std::size_t from, std::size_t end) const { return lo_ <= from && end <= hi_; }

    void close(std::size_t k) {
        if (k < lo_ || k >= hi_ || where_[k - lo_] == kNone) return;
        set_open(where_[k - lo_], false);
    }

    // Smallest index in [.., end) of an open trade with a flag other than
    // `flag` that passes the exact price and volume test against `a`.
    std::size_t first_match(std::span<const TransactionPoint> tape, const TransactionPoint& a, const Box& box,
                            std::size_t end) {
        std::size_t found = kNone;
        for (;;) {
            std::size_t best = end;
            search(0, nodes_.size(), box, a.bs_flag, best);
            if (best >= end) break;
            if (is_price_vol_match(a, tape[best])) {
                found = best;
                break;
            }
            set_open(where_[best - lo_], false);  // a near-miss of the box
            parked_.push_back(best);
        }
        for (std::size_t k : parked_) set_open(where_[k - lo_], true);
        parked_.clear();
        return found;
    }

private:
    struct Pick {
        std::size_t index = kNone;
        std::int32_t flag = 0;
    };
    struct Node {
        double price = 0, vol = 0;
        std::size_t index = 0;
        std::int32_t flag = 0;
        bool open = true;
        std::size_t parent = kNone, begin = 0, end = 0;  // subtree [begin, end) with this node at its middle
        double price_lo = 0, price_hi = 0, vol_lo = 0, vol_hi = 0;
        Pick first, other;  // smallest open index; smallest open index with a flag other than first's

        std::size_t pick_for(std::int32_t f) const { return first.flag != f ? first.index : other.index; }
    };

    void build(std::size_t begin, std::size_t end, int depth, std::size_t parent) {
        if (begin >= end) return;
        const std::size_t mid = begin + (end - begin) / 2;
        const auto first = nodes_.begin() + static_cast<std::ptrdiff_t>(begin);
        const auto last = nodes_.begin() + static_cast<std::ptrdiff_t>(end);
        if (depth % 2 == 0)
            std::nth_element(first, nodes_.begin() + static_cast<std::ptrdiff_t>(mid), last,
                             [](const Node& x, const Node& y) { return x.price < y.price; });
        else
            std::nth_element(first, nodes_.begin() + static_cast<std::ptrdiff_t>(mid), last,
                             [](const Node& x, const Node& y) { return x.vol < y.vol; });
        Node& nd = nodes_[mid];
        nd.parent = parent;
        nd.begin = begin;
        nd.end = end;
        build(begin, mid, depth + 1, mid);
        build(mid + 1, end, depth + 1, mid);
        nd.price_lo = nd.price_hi = nd.price;
        nd.vol_lo = nd.vol_hi = nd.vol;
        for (std::size_t c : {child(begin, mid), child(mid + 1, end)}) {
            if (c == kNone) continue;
            nd.price_lo = std::min(nd.price_lo, nodes_[c].price_lo);
            nd.price_hi = std::max(nd.price_hi, nodes_[c].price_hi);
            nd.vol_lo = std::min(nd.vol_lo, nodes_[c].vol_lo);
            nd.vol_hi = std::max(nd.vol_hi, nodes_[c].vol_hi);
        }
        pull(mid);
    }

    static std::size_t child(std::size_t begin, std::size_t end) {
        return begin < end ? begin + (end - begin) / 2 : kNone;
    }

    static void offer(Pick& first, Pick& other, Pick p) {
        if (p.index == kNone) return;
        if (p.index < first.index) {
            // The old first is the smallest of the rest: it becomes the other
            // when its flag differs; if not, the old other still qualifies.
            if (first.index != kNone && first.flag != p.flag) other = first;
            first = p;
        } else if (p.flag != first.flag && p.index < other.index) {
            other = p;
        }
    }

    void pull(std::size_t m) {
        Node& nd = nodes_[m];
        Pick first, other;
        if (nd.open) offer(first, other, Pick{nd.index, nd.flag});
        const std::size_t mid = m;
        for (std::size_t c : {child(nd.begin, mid), child(mid + 1, nd.end)}) {
            if (c == kNone) continue;
            offer(first, other, nodes_[c].first);
            offer(first, other, nodes_[c].other);
        }
        nd.first = first;
        nd.other = other;
    }

    void set_open(std::size_t m, bool open) {
        nodes_[m].open = open;
        for (std::size_t v = m; v != kNone; v = nodes_[v].parent) pull(v);
    }

    void search(std::size_t begin, std::size_t end, const Box& box, std::int32_t flag, std::size_t& best) const {
        if (begin >= end) return;
        const std::size_t mid = begin + (end - begin) / 2;
        const Node& nd = nodes_[mid];
        if (nd.pick_for(flag) >= best) return;
        if (nd.price_hi < box.price_lo || nd.price_lo > box.price_hi || nd.vol_hi < box.vol_lo ||
            nd.vol_lo > box.vol_hi)
            return;
        if (nd.price_lo >= box.price_lo && nd.price_hi <= box.price_hi && nd.vol_lo >= box.vol_lo &&
            nd.vol_hi <= box.vol_hi) {
            best = nd.pick_for(flag);
            return;
        }
        if (nd.open && nd.flag != flag && nd.index < best && box.contains(nd.price, nd.vol)) best = nd.index;
        search(begin, mid, box, flag, best);
        search(mid + 1, end, box, flag, best);
    }

    std::size_t lo_, hi_;
    std::vector<Node> nodes_;
    std::vector<std::size_t> where_;  // tape index - lo -> node, or kNone
    std::vector<std::size_t> parked_;
};

// The scan as written, over the window (i, end).
std::size_t direct_match(std::span<const TransactionPoint> tape, const std::vector<char>& open,
                         const TransactionPoint& a, const Box& box, std::size_t i, std::size_t end) {
    for (std::size_t k = i + 1; k < end; ++k) {
        // The cheap tests are combined without branching: on a real tape their
        // outcomes are close to random.
        const TransactionPoint& c = tape[k];
        const double v = static_cast<double>(c.vol);
        const bool maybe = (open[k] != 0) & (c.bs_flag != a.bs_flag) & (c.price >= box.price_lo) &
                           (c.price <= box.price_hi) & (v >= box.vol_lo) & (v <= box.vol_hi);
        if (maybe && is_price_vol_match(a, c)) return k;
    }
    return kNone;
}

// Trades that can be the later side of a pair, by volume and side. Volumes go
// into geometric bins a factor 2^(1/4) ≈ 1.19 wide: two volumes within 15% of
// the larger one (a factor of at most 1/0.85 ≈ 1.18) lie in the same or in
// adjacent bins. Within a bin, buys, sells and negative flags are kept apart so
// that a buy never looks at buys nor a sell at sells. A busy window is then
// searched through a few short lists instead of trade by trade.
class VolumeBins {
public:
    explicit VolumeBins(std::span<const TransactionPoint> tape) {
        // Counting sort by list: one flat array, each list's indices ascending.
        std::vector<std::size_t> count(kLists + 1, 0);
        for (const TransactionPoint& p : tape)
            if (can_be_later_side(p)) ++count[list_of(p) + 1];
        for (std::size_t l = 0; l < kLists; ++l) count[l + 1] += count[l];
        begin_ = count;
        cursor_ = count;
        indices_.resize(count[kLists]);
        for (std::size_t k = 0; k < tape.size(); ++k) {
            if (!can_be_later_side(tape[k])) continue;
            indices_[count[list_of(tape[k])]++] = k;
            sides_ = std::max(sides_, side_of(tape[k].bs_flag) + 1);
        }
    }

    // Smallest index in (i, end) of an open trade of another flag that
    // matches `a`, or kNone. Calls come with non-decreasing i.
    std::size_t first_match(std::span<const TransactionPoint> tape, const std::vector<char>& open,
                            const TransactionPoint& a, const Box& box, std::size_t i, std::size_t end) {
        const std::size_t home = bin_of(a.vol);
        const std::size_t own_side = side_of(a.bs_flag);
        std::size_t best = end;
        for (std::size_t b = home == 0 ? 0 : home - 1; b <= std::min(home + 1, kBins - 1); ++b) {
            for (std::size_t side = 0; side < sides_; ++side) {
                if (side == own_side && side != kOtherSide) continue;  // the same flag: never a partner
                const std::size_t list = 3 * b + side;
                const std::size_t stop = begin_[list + 1];
                std::size_t& from = cursor_[list];
                // Passed and used trades are never candidates again.
                while (from < stop && (indices_[from] <= i || !open[indices_[from]])) ++from;
                for (std::size_t p = from; p < stop && indices_[p] < best; ++p) {
                    const std::size_t k = indices_[p];
                    const TransactionPoint& c = tape[k];
                    const bool maybe = (open[k] != 0) & (c.bs_flag != a.bs_flag) & (c.price >= box.price_lo) &
                                       (c.price <= box.price_hi);
                    if (maybe && is_price_vol_match(a, c)) {
                        best = k;
                        break;
                    }
                }
            }
        }
        return best < end ? best : kNone;
    }

private:
    static constexpr std::size_t kBins = 4 * 64;  // volumes 1 .. 2^63
    static constexpr std::size_t kOtherSide = 2;  // negative flags, which may differ among themselves
    static constexpr std::size_t kLists = 3 * kBins;

    static std::size_t side_of(std::int32_t flag) { return flag == 0 ? 0 : flag == 1 ? 1 : kOtherSide; }

    // 4 * floor(log2 v) plus the quarter of the octave v falls in; vol >= 1.
    static std::size_t bin_of(std::int64_t vol) {
        // Read off the double's bits: exponent, and the mantissa against the
        // mantissas of 2^(1/4), 2^(1/2), 2^(3/4).
        const auto bits = std::bit_cast<std::uint64_t>(static_cast<double>(vol));
        const std::uint64_t exponent = (bits >> 52) - 1023;  // vol >= 1: a normal number
        const std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
        constexpr auto mantissa_of = [](double x) {
            return std::bit_cast<std::uint64_t>(x) & ((std::uint64_t{1} << 52) - 1);
        };
        const std::uint64_t quarter = (mantissa >= mantissa_of(1.189207115002721)) +
                                      (mantissa >= mantissa_of(1.4142135623730951)) +
                                      (mantissa >= mantissa_of(1.681792830507429));
        return static_cast<std::size_t>(4 * exponent + quarter);
    }

    static std::size_t list_of(const TransactionPoint& p) { return 3 * bin_of(p.vol) + side_of(p.bs_flag); }

    std::vector<std::size_t> indices_;
    std::vector<std::size_t> begin_;
    std::vector<std::size_t> cursor_;
    std::size_t sides_ = 2;  // 3 once a negative flag occurs
};

}  // namespace

bool is_price_vol_match(const TransactionPoint& first, const TransactionPoint& second) {
    const double tolerance = std::fmax(first.price * 0.002, 0.01);
    if (!(std::fabs(first.price - second.price) <= tolerance)) return false;
    const std::int64_t m = std::max(first.vol, second.vol);
    if (m <= 0) return false;
    return vol_distance(first.vol, second.vol) / static_cast<double>(m) <= 0.15;
}

std::size_t find_matched_pairs(std::span<const TransactionPoint> sorted,
                               std::vector<std::pair<std::size_t, std::size_t>>* pairs, PairSearch search) {
    const std::size_t n = sorted.size();
    if (n < 2) return 0;
    std::vector<char> open(n);
    for (std::size_t k = 0; k < n; ++k) open[k] = is_directional(sorted[k]);
    std::optional<VolumeBins> bins;
    std::optional<DenseIndex> dense;
    std::size_t count = 0;
    std::size_t window_end = 0;  // first trade more than 5 seconds after trade i
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (dense) dense->close(i);  // later trades never pair with it
        if (!open[i]) continue;
        const TransactionPoint& a = sorted[i];
        const std::int64_t last_sec = a.time.sec() + kPairWindowSecs;
        window_end = std::max(window_end, i + 1);
        while (window_end < n && sorted[window_end].time.sec() <= last_sec) ++window_end;
        Box box;
        if (!pair_box(a, box)) continue;

        const std::size_t width = window_end - (i + 1);
        PairSearch how = search;
        if (how == PairSearch::Automatic)
            how = width <= 24 ? PairSearch::Direct : width <= 512 ? PairSearch::VolumeBins : PairSearch::Tree;
        std::size_t j = kNone;
        if (how == PairSearch::Direct) {
            j = direct_match(sorted, open, a, box, i, window_end);
        } else if (how == PairSearch::VolumeBins) {
            if (!bins) bins.emplace(sorted);
            j = bins->first_match(sorted, open, a, box, i, window_end);
        } else {
            if (!dense || !dense->covers(i + 1, window_end)) {
                // Cover a few windows ahead: rebuilding then costs O(log W) per
                // trade, and the tree stays small enough for quick searches.
                const std::size_t span_end = std::min(n, i + 1 + 4 * (window_end - i));
                dense.emplace(sorted, open, i + 1, span_end);
            }
            j = dense->first_match(sorted, a, box, window_end);
        }
        if (j == kNone) continue;
        open[i] = open[j] = 0;
        if (dense) dense->close(j);
        ++count;
        if (pairs) pairs->emplace_back(i, j);
    }
    return count;
}

}  // namespace zj_core::transaction
