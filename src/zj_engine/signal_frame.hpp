#pragma once
// Built-in signals over a table of bars: rows grouped by symbol (in order of
// first appearance), ordered by time within each symbol, every configuration
// run over every symbol on a pool of threads, and the results written as
// codes into caller-provided columns with one table of texts per coded
// column. Pure C++: it runs without the interpreter lock.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "zj_engine/pool.hpp"
#include "zj_signals/types.hpp"

namespace zj_engine::frame {

// Bad data found while grouping or ordering (duplicated or unordered times):
// the caller raises it as ValueError.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct BarInput {
    std::size_t rows = 0;
    std::span<const std::int64_t> time;     // nanoseconds since 1970-01-01, naive
    std::span<const std::int32_t> symbol;   // a code per row; empty: the table is one series
    std::vector<std::string> symbol_texts;  // text of each code (codes index it)
    std::span<const double> open, high, low, close, vol, amount;  // amount may be empty (zeros)
};

struct Config {
    const zj_signals::SignalDescriptor* signal;
    std::string name;
    std::string freq;
    zj_signals::ParamMap params;
};

// Rows grouped by symbol, oldest first within each group.
struct Groups {
    std::vector<std::uint32_t> order;    // row numbers: group g is order[offsets[g] .. offsets[g + 1])
    std::vector<std::size_t> offsets;    // size groups + 1
    std::vector<std::int32_t> code;      // symbol code of each group (-1 without symbols)
    std::vector<bool> contiguous;        // group's rows are consecutive input rows, in order
    std::size_t size() const { return code.size(); }
    std::size_t rows() const { return offsets.back(); }
};

// A symbol left out of the result, and why.
struct SymbolError {
    std::string symbol;
    std::string message;
};

// Groups rows by symbol code (groups in order of first appearance, rows in
// input order within each); without codes the table is one group. Throws
// InputError for a null symbol. Codes index a dictionary of `codes` texts.
Groups group_by_symbol(std::size_t rows, std::span<const std::int32_t> symbol, std::size_t codes,
                       const Pool& pool);

// Groups the rows and orders each group by time (stable) when `sort`, else
// checks that every group already is. A group with a repeated time (or, not
// sorting, a time out of order) throws InputError naming the symbol, row and
// time of the first offending row (by input row); with `collect`, such groups
// are left out instead and their errors appended there, in group order.
Groups group_rows(const BarInput& in, bool sort, const Pool& pool, std::vector<SymbolError>* collect = nullptr);

// Output rows of the long layout: one per record.
std::size_t long_rows(const Groups& groups, std::span<const Config> configs);

// A coded column's texts, in sorted order once the run is over.
using Categories = std::vector<std::string>;

// Wide layout: one row per bar, ordered like the groups. `cells[c]` is
// configuration c's column of codes.
struct WideOut {
    std::int32_t* symbol;  // group index (its symbol text is symbol_categories[index])
    std::int64_t* time;
    std::vector<std::int32_t*> cells;
};
// Long layout: one row per record, by group, then configuration, then time.
struct LongOut {
    std::int32_t* symbol;
    std::int64_t* time;
    std::int32_t* signal;  // configuration name codes
    std::int32_t* freq;
    std::int32_t* v[3];
    std::int32_t* score;
};

struct WideCategories {
    std::vector<Categories> cells;
};
struct LongCategories {
    Categories signal, freq, v[3];
};

WideCategories compute_wide(const BarInput& in, const Groups& groups, std::span<const Config> configs,
                            const WideOut& out, const Pool& pool);
LongCategories compute_long(const BarInput& in, const Groups& groups, std::span<const Config> configs,
                            const LongOut& out, const Pool& pool);

// The symbol texts of the groups, in group order.
Categories group_symbols(const BarInput& in, const Groups& groups);

// "2024-01-02" at midnight, else "2024-01-02 09:30:00" (and fractions of a second).
std::string time_text(std::int64_t ns);

}  // namespace zj_engine::frame
