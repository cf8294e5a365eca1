#pragma once
// Intraday analyses over a table of records (trades, minute points, auction
// snapshots, strokes) of many symbols: the table is read and bound to a
// record kind, grouped by symbol, each symbol's records are built into the
// cores' row structs and analysed on a pool of threads with the interpreter
// lock released, and the results come back as columns described by the result
// descriptions of zj_core/results.hpp. A symbol whose data are bad gets an
// error (symbol, message) instead of a row; the Python layer raises the first
// or returns them as a table.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "zj_core/bad_data.hpp"
#include "zj_core/common/time_of_day.hpp"
#include "zj_core/results.hpp"
#include "zj_core/schema.hpp"
#include "zj_engine/binding.hpp"
#include "zj_engine/module.hpp"
#include "zj_engine/pool.hpp"
#include "zj_engine/signal_frame.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/columns.hpp"

namespace zj_engine::records {

namespace col = zj_python::columns;
namespace results = zj_core::results;

// Bad data of one symbol: its entry in the errors table.
struct SymbolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A call's records: the table bound to a record kind and grouped by symbol,
// groups ordered by symbol text.
struct Input {
    const zj_core::schema::RecordSchema* record = nullptr;
    col::Table table;
    col::Bound bound;
    frame::Groups groups;
    std::vector<std::size_t> sorted;  // group indices in symbol-text order
    std::vector<std::string_view> symbol;  // each group's symbol text ("" without a symbol column)
    bool has_symbol = false;
    std::string symbol_column;

    // The values of field `name` of the record kind.
    const col::Values& field(std::string_view name) const;
    // Group g's rows, in input order.
    std::span<const std::uint32_t> rows(std::size_t g) const {
        return {groups.order.data() + groups.offsets[g], groups.offsets[g + 1] - groups.offsets[g]};
    }
};

// Reads and binds `source` (GIL held on entry; binding and grouping run
// without it). An empty symbol text is a ValueError naming the row.
Input read_input(PyObject* source, const zj_core::schema::RecordSchema& schema, PyObject* symbol,
                 PyObject* columns, const Pool& pool);

// A table of days: one row per symbol with reference prices.
struct Days {
    col::Table table;
    col::Bound bound;
    std::unordered_map<std::string_view, std::size_t> row_of;
    bool given = false;

    // The row of `symbol`; SymbolError when absent.
    std::size_t row(std::string_view symbol) const;
    // The value of day field `name` at `row`: absent when the column is
    // absent or the cell null (NaN).
    std::optional<double> value(std::string_view name, std::size_t row) const;
    bool has(std::string_view name) const;
};

// Reads `days` (None: no days) with its symbol column (named `symbol` when
// the table has it, else found by alias). ValueError when a symbol repeats.
Days read_days(PyObject* days, PyObject* symbol);

// A per-symbol number: the caller's value for every symbol, else the days
// table's column, else absent.
std::optional<double> per_symbol(std::optional<double> given, const Days& days, std::string_view name,
                                 std::size_t day_row);

// SymbolError "Invalid {name} {value!r}" unless finite and positive.
double reference_price(std::string_view name, std::optional<double> value);

// SymbolError "Invalid {field} {value!r} in record {i} (row {r})" for the
// first bad value of a symbol's records (a contiguous container of records),
// r being the i-th record's table row.
[[noreturn]] void throw_bad_value(const zj_core::BadValue& bad, std::span<const std::uint32_t> rows);
template <class Points>
void require_sound_records(const Points& points, std::span<const std::uint32_t> rows) {
    if (const auto bad = zj_core::first_bad_value(std::span(points))) throw_bad_value(*bad, rows);
}

// ValueError unless `days` was given ("days is required: {what}") with each
// of the columns `names`.
void require_days(const Days& days, std::initializer_list<const char*> names, std::string_view what);

// `a` and `b` joined by "; " (either may be empty).
std::string join(const std::string& a, std::string_view b);

// ---- reading cells as the cores' fields -------------------------------------------

zj_core::TimeOfDay time_at(const col::Values& v, std::uint32_t row);
// An int cell; SymbolError for a null, or one outside [lo, hi].
std::int64_t int_at(const col::Values& v, std::uint32_t row, std::string_view name,
                    std::int64_t lo = std::numeric_limits<std::int64_t>::min(),
                    std::int64_t hi = std::numeric_limits<std::int64_t>::max());
std::int32_t i32_at(const col::Values& v, std::uint32_t row, std::string_view name);

// ---- output ---------------------------------------------------------------------

// Columns of the result, filled without the GIL, handed to Python with it.
class Output {
public:
    explicit Output(std::size_t rows) : rows_(rows) {}
    std::size_t rows() const { return rows_; }

    // The section's fields as columns named `prefix + name` (no prefix for a
    // name that already starts with it); a null result gives a row of nulls.
    template <class R>
    void add(std::span<const results::Field<R>> fields, std::span<const R* const> values,
             std::string_view prefix = {}) {
        for (const auto& f : fields) {
            std::string name(f.name);
            if (!prefix.empty() && !name.starts_with(prefix)) name = std::string(prefix) + name;
            const std::size_t width = f.kind == results::Kind::IntList ? f.width : 1;
            for (std::size_t e = 0; e < width; ++e) {
                Column& c = column(f.kind == results::Kind::IntList ? name + "_" + std::to_string(e) : name,
                                   f.kind == results::Kind::IntList ? results::Kind::Int : f.kind);
                for (std::size_t r = 0; r < rows_; ++r) {
                    if (values[r] == nullptr) {
                        put_null(c, r);
                        continue;
                    }
                    const results::Cell cell = f.get(*values[r]);
                    if (f.kind == results::Kind::IntList) {
                        results::Cell one;
                        one.i = cell.list[e];
                        put(c, r, one);
                    } else {
                        put(c, r, cell);
                    }
                }
            }
        }
    }
    // A text column; an empty text is null.
    void add_text(std::string name, std::vector<std::string> texts);

    // [(name, kind, data, valid)]: kind "float" / "int" / "bool" / "text";
    // data a bytearray of float64, int64 or uint8 (a list of str or None for
    // text); valid None or a bytearray of uint8 (1 valid). GIL held.
    Ref to_python() const;

private:
    struct Column {
        std::string name;
        results::Kind kind;
        std::vector<double> f;
        std::vector<std::int64_t> i;
        std::vector<std::uint8_t> b;
        std::vector<std::string> text;
        std::vector<std::uint8_t> valid;
        bool any_null = false;
    };
    Column& column(std::string name, results::Kind kind);
    void put(Column& c, std::size_t row, const results::Cell& cell);
    void put_null(Column& c, std::size_t row);

    std::size_t rows_;
    std::vector<Column> columns_;
};

// One symbol's outcome, as every analysis reports it.
struct Outcome {
    std::string error;   // non-empty: the symbol is in the errors table, not the result
    std::string reason;  // why a result is missing, for the `reason` column
};

// {"symbol": [str], "columns": Output, "errors": [(symbol, message)],
// "symbol_column": name or None}; `row_group` gives each output row's group.
Ref finish(const Input& in, std::span<const std::size_t> row_group, Output& out,
           const std::vector<Outcome>& outcomes, bool with_reason);

// Runs body(); a SymbolError (or an auction's NaN price) becomes o.error.
void run_guarded(Outcome& o, const std::function<void()>& body);

// Runs body(group, outcome) for every group on the pool (call it without the
// GIL); a bad symbol's error lands in its outcome.
template <class Body>
std::vector<Outcome> run_groups(const Input& in, const Pool& pool, Body&& body) {
    std::vector<Outcome> outcomes(in.groups.size());
    pool.run(in.groups.size(), [&](std::size_t g) { run_guarded(outcomes[g], [&] { body(g, outcomes[g]); }); });
    return outcomes;
}

// The output rows of analyses with one row per symbol: the groups without an
// error, in symbol order.
std::vector<std::size_t> one_row_per_symbol(const Input& in, const std::vector<Outcome>& outcomes);

// Pointers to each output row's result (null when absent).
template <class R>
std::vector<const R*> pick(std::span<const std::size_t> row_group, const std::vector<std::optional<R>>& by_group) {
    std::vector<const R*> out;
    out.reserve(row_group.size());
    for (std::size_t g : row_group) out.push_back(by_group[g] ? &*by_group[g] : nullptr);
    return out;
}

// The workers argument as a pool size.
inline Pool make_pool(std::uint64_t workers) {
    if (workers < 1) zj_python::raise_value_error("workers must be at least 1");
    return Pool(static_cast<std::size_t>(std::min<std::uint64_t>(workers, 1024)));
}

}  // namespace zj_engine::records
