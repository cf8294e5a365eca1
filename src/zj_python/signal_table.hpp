#pragma once
// The pure half of generate_all_signals (and of the frame path's wide
// layout): parameter texts from numbers, the CZSC-style column name and cell
// text of a built-in signal, and how each
// signal's block of records is laid against the rows of the result table.
// Nothing here sees a Python object, so the GoogleTest suite covers it directly.
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zj_signals/signals.hpp"

namespace zj_python::generate_all {

// Cell of a row that lies before a signal's first record.
inline constexpr std::string_view kDefaultCell = "其他_任意_任意_0";

// Shortest plain decimal that reads back to the same double: never an exponent,
// no trailing ".0" (9.0 -> "9", 0.5 -> "0.5", 1e20 -> "100000000000000000000").
// Non-finite values have no decimal form and are written "inf", "-inf", "nan".
inline std::string float_param_text(double x) {
    if (std::isnan(x)) return "nan";
    if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
    // Fixed notation without a precision is the shortest round-trip form; the
    // widest case (the smallest subnormal) needs 2 + 323 + 1 characters.
    std::array<char, 400> buf;
    const auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), x, std::chars_format::fixed);
    if (ec != std::errc{}) return {};
    return std::string(buf.data(), end);
}

// "{freq}_D1{tag}#{values}_{version}".
inline std::string zj_col_name(std::string_view name, std::string_view freq, const zj_signals::ParamMap& params) {
    // Tag: a registered signal's own (from its key template), else the base
    // name without "zj_" and version.
    std::string_view tag = name;
    if (const zj_signals::SignalDescriptor* d = zj_signals::find_signal(name)) {
        tag = d->column_tag();
    } else {
        if (tag.starts_with("zj_")) tag.remove_prefix(3);
        if (const auto v = tag.find("_V"); v != std::string_view::npos) tag = tag.substr(0, v);
    }

    // Values: n1..n6 when any is present, else n, m, scale.
    std::string values;
    auto join = [&](std::initializer_list<std::string_view> keys) {
        bool any = false;
        for (std::string_view key : keys) {
            const auto it = params.find(std::string(key));
            if (it == params.end()) continue;
            if (any) values += '#';
            values += it->second;
            any = true;
        }
        return any;
    };
    if (!join({"n1", "n2", "n3", "n4", "n5", "n6"})) join({"n", "m", "scale"});

    // Version: between the first "_V" and the next one (the whole name without any).
    std::string_view version = name;
    if (const auto v = name.find("_V"); v != std::string_view::npos) {
        version = name.substr(v + 2);
        if (const auto next = version.find("_V"); next != std::string_view::npos) version = version.substr(0, next);
    }
    const std::string_view prefix = name.find("zone") != std::string_view::npos ? "区位V" : "V";

    std::string out;
    out.reserve(freq.size() + tag.size() + values.size() + version.size() + 16);
    out.append(freq).append("_D1").append(tag).append("#").append(values);
    out.append("_").append(prefix).append(version);
    return out;
}

// "{v1}_{v2}_{v3}_{score}".
inline std::string cell_text(const zj_signals::SignalOutput& r) {
    std::string out;
    out.reserve(r.v1.size() + r.v2.size() + r.v3.size() + 14);
    out.append(r.v1).append("_").append(r.v2).append("_").append(r.v3).append("_");
    out.append(std::to_string(r.score));
    return out;
}

// How a block of records meets a table of `rows` rows: its newest record sits
// on the last row. A longer block drops its oldest `skip` records; a shorter
// one leaves the first `pad` rows to the default cell.
struct TailAlignment {
    std::size_t skip = 0;
    std::size_t pad = 0;
};

inline TailAlignment tail_alignment(std::size_t block, std::size_t rows) {
    return block >= rows ? TailAlignment{block - rows, 0} : TailAlignment{0, rows - block};
}

// One column's cells, each distinct text stored once: row i holds
// texts[cells[i]].
struct Column {
    std::vector<std::string> texts;
    std::vector<std::uint32_t> cells;
};

namespace detail {
// A record's texts by identity: the views' addresses and lengths and the
// score. Records of one signal view the same few label literals, so equal
// keys mean equal cells and the cell text is built once per key. (Two keys
// for the same text only cost a duplicate entry.)
struct CellKey {
    const char* p1;
    const char* p2;
    const char* p3;
    std::size_t n1, n2, n3;
    std::uint32_t score;
    bool operator==(const CellKey&) const = default;
};
struct CellKeyHash {
    std::size_t operator()(const CellKey& k) const noexcept {
        std::size_t h = std::hash<const void*>{}(k.p1);
        for (std::size_t v : {std::hash<const void*>{}(k.p2), std::hash<const void*>{}(k.p3), k.n1, k.n2, k.n3,
                              static_cast<std::size_t>(k.score)})
            h = h * 0x100000001b3ull ^ v;
        return h;
    }
};
inline CellKey key_of(const zj_signals::SignalOutput& r) {
    return {r.v1.data(), r.v2.data(), r.v3.data(), r.v1.size(), r.v2.size(), r.v3.size(), r.score};
}
}  // namespace detail

inline Column aligned_column(std::span<const zj_signals::SignalOutput> block, std::size_t rows) {
    const TailAlignment a = tail_alignment(block.size(), rows);
    Column col;
    col.cells.reserve(rows);
    if (a.pad > 0) {
        col.texts.emplace_back(kDefaultCell);
        col.cells.insert(col.cells.end(), a.pad, 0);
    }
    std::unordered_map<detail::CellKey, std::uint32_t, detail::CellKeyHash> seen;
    std::optional<detail::CellKey> last;
    std::uint32_t last_index = 0;
    for (const zj_signals::SignalOutput& r : block.subspan(a.skip)) {
        const detail::CellKey key = detail::key_of(r);
        if (!last || !(*last == key)) {  // runs of equal records are the common case
            const auto [it, fresh] = seen.try_emplace(key, static_cast<std::uint32_t>(col.texts.size()));
            if (fresh) col.texts.push_back(cell_text(r));
            last = key;
            last_index = it->second;
        }
        col.cells.push_back(last_index);
    }
    return col;
}

}  // namespace zj_python::generate_all
