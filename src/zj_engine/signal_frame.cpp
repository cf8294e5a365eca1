#include "zj_engine/signal_frame.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <mutex>
#include <numeric>
#include <string_view>
#include <unordered_map>

#include "zj_core/common/date_time.hpp"
#include "zj_core/common/failure.hpp"
#include "zj_python/signal_table.hpp"

namespace zj_engine::frame {

namespace {

using zj_signals::SignalOutput;

// ---- texts and their codes --------------------------------------------------

// The texts of one coded column, shared by the pool's threads. Lookups are
// rare (each thread caches the codes it has seen), so one lock serves.
class SharedDict {
public:
    std::int32_t code(std::string_view text) {
        const std::lock_guard<std::mutex> hold(lock_);
        const auto [it, fresh] = index_.try_emplace(std::string(text), static_cast<std::int32_t>(texts_.size()));
        if (fresh) texts_.push_back(it->first);
        return it->second;
    }
    // Sorts the texts; returns the new code of every old one.
    std::vector<std::int32_t> sort(Categories& sorted) {
        std::vector<std::int32_t> by_text(texts_.size());
        std::iota(by_text.begin(), by_text.end(), 0);
        std::sort(by_text.begin(), by_text.end(), [&](std::int32_t a, std::int32_t b) {
            return texts_[static_cast<std::size_t>(a)] < texts_[static_cast<std::size_t>(b)];
        });
        std::vector<std::int32_t> remap(texts_.size());
        sorted.clear();
        sorted.reserve(texts_.size());
        for (std::size_t i = 0; i < by_text.size(); ++i) {
            remap[static_cast<std::size_t>(by_text[i])] = static_cast<std::int32_t>(i);
            sorted.push_back(std::move(texts_[static_cast<std::size_t>(by_text[i])]));
        }
        return remap;
    }

private:
    std::mutex lock_;
    std::unordered_map<std::string, std::int32_t> index_;
    std::vector<std::string> texts_;
};

// A label's code by the label's identity: labels are literals of the signal
// code, so the same address and length mean the same text.
class LabelCache {
public:
    explicit LabelCache(SharedDict& dict) : dict_(dict) {}
    std::int32_t code(std::string_view label) {
        if (label.data() == last_.data() && label.size() == last_.size()) return last_code_;
        for (const Entry& e : seen_)
            if (e.text.data() == label.data() && e.text.size() == label.size()) return remember(label, e.code);
        const std::int32_t c = dict_.code(label);
        seen_.push_back({label, c});
        return remember(label, c);
    }

private:
    struct Entry {
        std::string_view text;
        std::int32_t code;
    };
    std::int32_t remember(std::string_view label, std::int32_t c) {
        last_ = label;
        last_code_ = c;
        return c;
    }
    SharedDict& dict_;
    std::vector<Entry> seen_;
    std::string_view last_;
    std::int32_t last_code_ = 0;
};

// Small numbers for labels by their identity (labels are literals of the
// signal code): the same address and length mean the same text.
class LabelIds {
public:
    std::uint32_t id(std::string_view label) {
        if (label.data() == last_.data() && label.size() == last_.size()) return last_id_;
        std::uint32_t i = 0;
        while (i < seen_.size() && !(seen_[i].data() == label.data() && seen_[i].size() == label.size())) ++i;
        if (i == seen_.size()) seen_.push_back(label);
        last_ = label;
        last_id_ = i;
        return i;
    }

private:
    std::vector<std::string_view> seen_;
    std::string_view last_;
    std::uint32_t last_id_ = 0;
};

// Codes by a 64-bit key: open addressing with linear probing, kept at most
// half full. A record's cell is looked up here, so it must be cheap.
class FlatCodes {
public:
    FlatCodes() : keys_(64, kEmpty), codes_(64) {}
    // The code of `key`, or -1.
    std::int32_t find(std::uint64_t key) const {
        for (std::size_t i = slot(key);; i = (i + 1) & (keys_.size() - 1)) {
            if (keys_[i] == key) return codes_[i];
            if (keys_[i] == kEmpty) return -1;
        }
    }
    void insert(std::uint64_t key, std::int32_t code) {
        if (2 * (used_ + 1) > keys_.size()) grow();
        std::size_t i = slot(key);
        while (keys_[i] != kEmpty) i = (i + 1) & (keys_.size() - 1);
        keys_[i] = key;
        codes_[i] = code;
        ++used_;
    }

private:
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};  // never a key: its top half holds a score < 2^16
    std::size_t slot(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9e3779b97f4a7c15ull) >> 32) & (keys_.size() - 1);
    }
    void grow() {
        std::vector<std::uint64_t> keys(keys_.size() * 2, kEmpty);
        std::vector<std::int32_t> codes(keys.size());
        std::swap(keys, keys_);
        std::swap(codes, codes_);
        used_ = 0;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (keys[i] != kEmpty) insert(keys[i], codes[i]);
    }
    std::vector<std::uint64_t> keys_;
    std::vector<std::int32_t> codes_;
    std::size_t used_ = 0;
};

// The code of a record's wide cell "v1_v2_v3_score", by the labels' identity
// and the score packed into one number.
class CellCache {
public:
    explicit CellCache(SharedDict& dict) : dict_(dict) {}
    std::int32_t code(const SignalOutput& r) {
        const std::uint64_t a = ids_[0].id(r.v1), b = ids_[1].id(r.v2), c = ids_[2].id(r.v3);
        if ((a | b | c | r.score) >> 16)  // never for the built-in signals: no cache
            return dict_.code(zj_python::generate_all::cell_text(r));
        const std::uint64_t key = a | b << 16 | c << 32 | static_cast<std::uint64_t>(r.score) << 48;
        if (has_last_ && key == last_) return last_code_;
        std::int32_t code = seen_.find(key);
        if (code < 0) {
            code = dict_.code(zj_python::generate_all::cell_text(r));
            seen_.insert(key, code);
        }
        last_ = key;
        has_last_ = true;
        last_code_ = code;
        return code;
    }

private:
    SharedDict& dict_;
    LabelIds ids_[3];
    FlatCodes seen_;
    std::uint64_t last_ = 0;
    bool has_last_ = false;
    std::int32_t last_code_ = 0;
};

// Rewrites codes through `remap`, in ranges on the pool.
void apply_remap(std::int32_t* codes, std::size_t count, const std::vector<std::int32_t>& remap, const Pool& pool) {
    pool.run_ranges(count, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) codes[i] = remap[static_cast<std::size_t>(codes[i])];
    });
}

// ---- one group's bars -----------------------------------------------------

std::string symbol_of(const BarInput& in, const Groups& g, std::size_t group) {
    return g.code[group] < 0 ? std::string() : in.symbol_texts[static_cast<std::size_t>(g.code[group])];
}

// The group's bar columns: views of the input when its rows are consecutive
// and in order, else gathered into `store`.
struct GroupBars {
    std::vector<double> store[6];
    zj_signals::BarColumns columns;

    void load(const BarInput& in, const Groups& g, std::size_t group) {
        const std::size_t off = g.offsets[group], len = g.offsets[group + 1] - off;
        const std::span<const std::uint32_t> rows(g.order.data() + off, len);
        const std::span<const double> src[6] = {in.open, in.high, in.low, in.close, in.vol, in.amount};
        std::span<const double> col[6];
        for (std::size_t k = 0; k < 6; ++k) {
            if (src[k].empty()) {  // an absent column reads as zeros
                store[k].assign(len, 0.0);
                col[k] = store[k];
            } else if (g.contiguous[group]) {
                col[k] = src[k].subspan(len == 0 ? 0 : rows[0], len);
            } else {
                store[k].resize(len);
                for (std::size_t i = 0; i < len; ++i) store[k][i] = src[k][rows[i]];
                col[k] = store[k];
            }
        }
        columns = zj_signals::BarColumns{col[0], col[1], col[2], col[3], col[4], col[5], {}};
    }
};

std::vector<SignalOutput> run_config(const Config& c, const zj_signals::BarColumns& bars) {
    std::vector<SignalOutput> block = c.signal->fn(bars, c.params);
    const std::size_t expected = c.signal->records == zj_signals::RecordCount::One ? 1 : bars.size();
    if (block.size() != expected)
        throw zj_core::InternalFailure(std::string(c.signal->name) + " gave " + std::to_string(block.size()) +
                                       " records for " + std::to_string(bars.size()) + " bars");
    return block;
}

std::size_t block_rows(const Config& c, std::size_t bars) {
    return c.signal->records == zj_signals::RecordCount::One ? 1 : bars;
}

// Tasks: one per group when there are many groups, else one per group and
// configuration so that a single long series still spreads over the pool.
struct TaskPlan {
    std::size_t groups, configs;
    bool per_config;
    std::size_t count() const { return per_config ? groups * configs : groups; }
};
TaskPlan plan(const Groups& g, std::size_t configs, const Pool& pool) {
    return TaskPlan{g.size(), configs, g.size() < pool.workers() * 4 && configs > 1};
}

// Every (group, configuration) pair once, grouped into the plan's tasks:
// visit(group, config index, bars, worker).
template <class Visit>
void for_each_block(const BarInput& in, const Groups& g, std::span<const Config> configs, const Pool& pool,
                    Visit&& visit) {
    const TaskPlan p = plan(g, configs.size(), pool);
    pool.run_on(p.count(), [&](std::size_t task, std::size_t worker) {
        GroupBars bars;
        const std::size_t group = p.per_config ? task / p.configs : task;
        bars.load(in, g, group);
        if (p.per_config) {
            visit(group, task % p.configs, bars.columns, worker);
        } else {
            for (std::size_t c = 0; c < configs.size(); ++c) visit(group, c, bars.columns, worker);
        }
    });
}

// One cache per worker and coded column: a worker's caches outlive its tasks.
template <class Cache>
struct WorkerCaches {
    std::vector<std::vector<Cache>> caches;  // [worker][column]
    WorkerCaches(std::size_t workers, std::span<SharedDict> dicts) {
        caches.resize(workers);
        for (auto& per_worker : caches)
            for (SharedDict& d : dicts) per_worker.emplace_back(d);
    }
    Cache& at(std::size_t worker, std::size_t column) { return caches[worker][column]; }
};

}  // namespace

// ---- grouping and ordering --------------------------------------------------

std::string time_text(std::int64_t ns) {
    std::int64_t secs = ns / 1'000'000'000, frac = ns % 1'000'000'000;
    if (frac < 0) frac += 1'000'000'000, --secs;
    std::int64_t days = secs / 86400, sod = secs % 86400;
    if (sod < 0) sod += 86400, --days;
    const zj_core::CivilDate d = zj_core::civil_from_days(days);
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(d.year), d.month, d.day);
    if (sod != 0 || frac != 0)
        n += std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), " %02d:%02d:%02d",
                           static_cast<int>(sod / 3600), static_cast<int>(sod / 60 % 60), static_cast<int>(sod % 60));
    if (frac != 0)
        std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ".%09lld", static_cast<long long>(frac));
    return buf;
}

Groups group_by_symbol(std::size_t rows, std::span<const std::int32_t> symbol, std::size_t codes,
                       const Pool& pool) {
    if (rows > std::numeric_limits<std::uint32_t>::max())
        throw InputError("a table of more than 4294967295 rows is not supported");
    Groups g;
    g.order.resize(rows);
    if (rows == 0) {
        g.offsets = {0};  // no rows, no groups
    } else if (symbol.empty()) {
        std::iota(g.order.begin(), g.order.end(), 0u);
        g.offsets = {0, rows};
        g.code = {-1};
    } else {
        // Counting sort by symbol in ranges: counts and first rows per range,
        // groups in order of first appearance, then each range scatters its
        // rows after those of the ranges before it (stable).
        const std::size_t ranges = std::max<std::size_t>(1, std::min(pool.workers() * 4, rows / 65536 + 1));
        const std::size_t step = (rows + ranges - 1) / ranges;
        std::vector<std::vector<std::uint32_t>> counts(ranges, std::vector<std::uint32_t>(codes, 0));
        constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
        std::vector<std::vector<std::uint32_t>> first(ranges, std::vector<std::uint32_t>(codes, kNone));
        pool.run(ranges, [&](std::size_t r) {
            const std::size_t begin = std::min(rows, r * step), end = std::min(rows, begin + step);
            for (std::size_t i = begin; i < end; ++i) {
                const std::int32_t c = symbol[i];
                if (c < 0) throw InputError("row " + std::to_string(i) + ": the symbol is null");
                if (static_cast<std::size_t>(c) >= codes) throw zj_core::InternalFailure("symbol code out of range");
                if (counts[r][static_cast<std::size_t>(c)]++ == 0) first[r][static_cast<std::size_t>(c)] =
                    static_cast<std::uint32_t>(i);
            }
        });
        std::vector<std::pair<std::uint32_t, std::int32_t>> seen;  // (first row, code)
        for (std::size_t c = 0; c < codes; ++c) {
            std::uint32_t f = kNone;
            for (std::size_t r = 0; r < ranges; ++r) f = std::min(f, first[r][c]);
            if (f != kNone) seen.emplace_back(f, static_cast<std::int32_t>(c));
        }
        std::sort(seen.begin(), seen.end());
        std::vector<std::size_t> start(codes, 0);
        g.offsets.push_back(0);
        for (const auto& [row, c] : seen) {
            std::size_t total = 0;
            for (std::size_t r = 0; r < ranges; ++r) total += counts[r][static_cast<std::size_t>(c)];
            start[static_cast<std::size_t>(c)] = g.offsets.back();
            g.offsets.push_back(g.offsets.back() + total);
            g.code.push_back(c);
        }
        // counts[r][c] becomes range r's first position for code c.
        for (std::size_t c = 0; c < codes; ++c) {
            std::size_t at = start[c];
            for (std::size_t r = 0; r < ranges; ++r) {
                const std::size_t n = counts[r][c];
                counts[r][c] = static_cast<std::uint32_t>(at);
                at += n;
            }
        }
        pool.run(ranges, [&](std::size_t r) {
            const std::size_t begin = std::min(rows, r * step), end = std::min(rows, begin + step);
            std::vector<std::uint32_t>& at = counts[r];
            for (std::size_t i = begin; i < end; ++i)
                g.order[at[static_cast<std::size_t>(symbol[i])]++] = static_cast<std::uint32_t>(i);
        });
    }

    return g;
}

Groups group_rows(const BarInput& in, bool sort, const Pool& pool, std::vector<SymbolError>* collect) {
    Groups g = group_by_symbol(in.rows, in.symbol, in.symbol_texts.size(), pool);

    // Order each group by time (or check it is), and find its first bad row.
    struct Problem {
        std::size_t row = std::numeric_limits<std::size_t>::max();
        std::size_t group = 0;
        std::int64_t time = 0, before = 0;
        bool duplicate = false;
    };
    std::vector<Problem> problems(g.size());
    g.contiguous.assign(g.size(), false);
    std::vector<char> contiguous(g.size(), 0);
    const std::int64_t* t = in.time.data();
    pool.run(g.size(), [&](std::size_t k) {
        std::uint32_t* rows = g.order.data() + g.offsets[k];
        const std::size_t len = g.offsets[k + 1] - g.offsets[k];
        auto by_time = [t](std::uint32_t a, std::uint32_t b) { return t[a] < t[b]; };
        if (sort && !std::is_sorted(rows, rows + len, by_time)) std::stable_sort(rows, rows + len, by_time);
        Problem& p = problems[k];
        // The first offending row of the group: in input order without
        // sorting, in time order after it.
        for (std::size_t i = 1; i < len; ++i) {
            const bool dup = t[rows[i]] == t[rows[i - 1]];
            if (dup || t[rows[i]] < t[rows[i - 1]]) {
                p = Problem{std::max(rows[i], rows[i - 1]), k, t[rows[i]], t[rows[i - 1]], dup};
                break;
            }
        }
        bool consecutive = true;
        for (std::size_t i = 1; i < len && consecutive; ++i) consecutive = rows[i] == rows[i - 1] + 1;
        contiguous[k] = consecutive;
    });
    for (std::size_t k = 0; k < g.size(); ++k) g.contiguous[k] = contiguous[k] != 0;

    auto message = [&](const Problem& p) {
        const std::string where =
            g.code[p.group] < 0 ? std::string() : " of symbol '" + symbol_of(in, g, p.group) + "'";
        if (p.duplicate)
            return "duplicated time " + time_text(p.time) + where + " (row " + std::to_string(p.row) + ")";
        return "row " + std::to_string(p.row) + ": time " + time_text(p.time) + where + " comes after " +
               time_text(p.before) + "; bars must be oldest first within each symbol (or pass sort=True)";
    };
    constexpr std::size_t kFine = std::numeric_limits<std::size_t>::max();
    if (!collect) {
        const Problem* worst = nullptr;
        for (const Problem& p : problems)
            if (p.row != kFine && (!worst || p.row < worst->row)) worst = &p;
        if (worst) throw InputError(message(*worst));
        return g;
    }
    // Collecting: the groups with a problem go, the others keep their order.
    Groups kept;
    kept.offsets.push_back(0);
    for (std::size_t k = 0; k < g.size(); ++k) {
        if (problems[k].row != kFine) {
            collect->push_back({symbol_of(in, g, k), message(problems[k])});
            continue;
        }
        kept.order.insert(kept.order.end(), g.order.begin() + static_cast<std::ptrdiff_t>(g.offsets[k]),
                          g.order.begin() + static_cast<std::ptrdiff_t>(g.offsets[k + 1]));
        kept.offsets.push_back(kept.order.size());
        kept.code.push_back(g.code[k]);
        kept.contiguous.push_back(g.contiguous[k]);
    }
    if (kept.size() == g.size()) return g;
    return kept;
}

std::size_t long_rows(const Groups& groups, std::span<const Config> configs) {
    std::size_t total = 0;
    for (std::size_t k = 0; k < groups.size(); ++k)
        for (const Config& c : configs) total += block_rows(c, groups.offsets[k + 1] - groups.offsets[k]);
    return total;
}

Categories group_symbols(const BarInput& in, const Groups& groups) {
    Categories out;
    out.reserve(groups.size());
    for (std::size_t k = 0; k < groups.size(); ++k) out.push_back(symbol_of(in, groups, k));
    return out;
}

// ---- the two layouts ----------------------------------------------------------

WideCategories compute_wide(const BarInput& in, const Groups& g, std::span<const Config> configs,
                            const WideOut& out, const Pool& pool) {
    pool.run(g.size(), [&](std::size_t k) {
        for (std::size_t i = g.offsets[k]; i < g.offsets[k + 1]; ++i) {
            out.symbol[i] = static_cast<std::int32_t>(k);
            out.time[i] = in.time[g.order[i]];
        }
    });
    std::vector<SharedDict> dicts(configs.size());
    std::vector<std::int32_t> pad_code(configs.size());
    for (std::size_t c = 0; c < configs.size(); ++c) pad_code[c] = dicts[c].code(zj_python::generate_all::kDefaultCell);

    WorkerCaches<CellCache> caches(pool.workers(), dicts);
    for_each_block(in, g, configs, pool, [&](std::size_t k, std::size_t c, const zj_signals::BarColumns& bars,
                                             std::size_t worker) {
        const std::vector<SignalOutput> block = run_config(configs[c], bars);
        // The newest record on the group's last row; rows before the first
        // record hold the default cell.
        const auto a = zj_python::generate_all::tail_alignment(block.size(), bars.size());
        std::int32_t* cells = out.cells[c] + g.offsets[k];
        std::fill(cells, cells + a.pad, pad_code[c]);
        CellCache& cache = caches.at(worker, c);
        for (std::size_t i = a.skip; i < block.size(); ++i) cells[a.pad + i - a.skip] = cache.code(block[i]);
    });

    WideCategories cats;
    cats.cells.resize(configs.size());
    for (std::size_t c = 0; c < configs.size(); ++c)
        apply_remap(out.cells[c], g.rows(), dicts[c].sort(cats.cells[c]), pool);
    return cats;
}

LongCategories compute_long(const BarInput& in, const Groups& g, std::span<const Config> configs,
                            const LongOut& out, const Pool& pool) {
    // Where each group's rows begin, and each configuration's within a group.
    std::vector<std::size_t> base(g.size() + 1, 0);
    for (std::size_t k = 0; k < g.size(); ++k) {
        std::size_t rows = 0;
        for (const Config& c : configs) rows += block_rows(c, g.offsets[k + 1] - g.offsets[k]);
        base[k + 1] = base[k] + rows;
    }
    SharedDict names, freqs;
    std::vector<SharedDict> labels(3);
    std::vector<std::int32_t> name_code, freq_code;
    for (const Config& c : configs) {
        name_code.push_back(names.code(c.name));
        freq_code.push_back(freqs.code(c.freq));
    }

    WorkerCaches<LabelCache> caches(pool.workers(), labels);
    for_each_block(in, g, configs, pool, [&](std::size_t k, std::size_t c, const zj_signals::BarColumns& bars,
                                             std::size_t worker) {
        const std::vector<SignalOutput> block = run_config(configs[c], bars);
        const std::size_t len = bars.size();
        std::size_t at = base[k];
        for (std::size_t j = 0; j < c; ++j) at += block_rows(configs[j], len);
        const std::uint32_t* rows = g.order.data() + g.offsets[k] + (len - block.size());
        LabelCache& v1 = caches.at(worker, 0);
        LabelCache& v2 = caches.at(worker, 1);
        LabelCache& v3 = caches.at(worker, 2);
        for (std::size_t i = 0; i < block.size(); ++i, ++at) {
            const SignalOutput& r = block[i];
            out.symbol[at] = static_cast<std::int32_t>(k);
            out.time[at] = in.time[rows[i]];
            out.signal[at] = name_code[c];
            out.freq[at] = freq_code[c];
            out.v[0][at] = v1.code(r.v1);
            out.v[1][at] = v2.code(r.v2);
            out.v[2][at] = v3.code(r.v3);
            out.score[at] = static_cast<std::int32_t>(std::min<std::uint32_t>(r.score, 0x7fffffff));
        }
    });

    LongCategories cats;
    const std::size_t total = base.back();
    apply_remap(out.signal, total, names.sort(cats.signal), pool);
    apply_remap(out.freq, total, freqs.sort(cats.freq), pool);
    for (int f = 0; f < 3; ++f) apply_remap(out.v[f], total, labels[f].sort(cats.v[f]), pool);
    return cats;
}

}  // namespace zj_engine::frame
