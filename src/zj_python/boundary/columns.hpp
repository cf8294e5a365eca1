#pragma once
// Reading columnar data: any object exporting the Arrow PyCapsule interface
// (pandas >= 2.2, polars, pyarrow tables and batches, DuckDB results) or a
// mapping of column name to 1-D array (numpy arrays through the buffer
// protocol; time and text columns may also be numpy datetime64, str or object
// arrays, or Arrow arrays).
//
//   Table table = read_table(frame);                        // GIL held
//   BindOptions opts = bind_options(columns_arg, symbol_arg); // GIL held
//   Bound bars = without_gil([&] { return bind(table, schema::kBar, opts); });
//   std::span<const double> close = bars.fields[*schema::kBar.find("close")].f64;
//
// read_table only takes hold of the data: Arrow arrays are imported (nothing
// is copied), buffers are held, and object arrays are read into C++ text once.
// Everything after it works on plain C++ data and may run with the GIL
// released; failures there throw ColumnError, which `without_gil` (or
// `raise_column_error`) turns into the Python TypeError / ValueError.
//
// Lifetimes: the values of a Bound view the Table's memory (zero-copy where
// the data allow), so keep the Table alive as long as any Values; destroy a
// Table with the GIL held (it releases Python buffers and Arrow arrays).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zj_core/schema.hpp"
#include "zj_python/boundary/ref.hpp"

namespace zj_python::columns {

// A bad column, found with or without the GIL. `type_error` selects TypeError
// (a column of an unusable type), else ValueError (a bad value, a missing or
// ambiguous column).
struct ColumnError : std::runtime_error {
    bool type_error;
    ColumnError(bool is_type_error, const std::string& message)
        : std::runtime_error(message), type_error(is_type_error) {}
};

// Sets the Python exception of `e` and throws PyErrOccurred. GIL held.
[[noreturn]] void raise_column_error(const ColumnError& e);

// What a column holds, as the source stores it.
enum class ColumnType : unsigned char {
    Float,      // float32, float64 (float16 is rejected)
    Int,        // int8..int64, uint8..uint64, bool is rejected
    Timestamp,  // Arrow timestamp of any unit; numpy datetime64 of a time unit
    Date,       // Arrow date32 / date64; numpy datetime64[D]
    TimeOfDay,  // Arrow time32 / time64
    Text,       // utf8, large_utf8, utf8_view, dictionary of these; numpy str/object arrays of str
    Other,      // anything else: an error naming the column and type_text when a field reads it
};

namespace detail {
struct Source;  // the chunks (or buffer) of one column; defined in columns.cpp
struct Owner;   // what keeps a table's memory alive; defined in columns.cpp
}  // namespace detail

struct Column {
    std::string name;
    ColumnType type;
    std::string type_text;  // the type as its source names it ("int8", "timestamp[ms]"), for messages
    std::size_t length = 0;
    std::shared_ptr<const detail::Source> source;
};

struct Table {
    std::vector<Column> columns;
    std::size_t rows = 0;
    std::shared_ptr<detail::Owner> owner;

    // The column called `name`, or null.
    const Column* find(std::string_view name) const;
    // "a, b, c": every column name, for messages.
    std::string names() const;
};

// Takes hold of a columnar source. TypeError when `source` is neither an Arrow
// exporter nor a mapping, or a column has an unusable type (naming the column
// and its type); ValueError when columns differ in length. GIL held.
Table read_table(PyObject* source);

// One column read as one field of a record, by the field's kind. Move-only:
// the spans point into the table's memory or into this object's own copies.
struct Values {
    const Column* column = nullptr;  // null when the field is absent
    zj_core::schema::Kind kind = zj_core::schema::Kind::Float;

    // Float: int columns widen, nulls read as NaN. Zero-copy for a float64
    // column of one chunk without nulls.
    std::span<const double> f64;
    // Int: the values (nulls read as 0, see `valid`).
    // DateTime: nanoseconds since 1970-01-01 00:00:00 of the wall time as
    //   stored (no time-zone conversion); a null is a ValueError naming the
    //   column and row.
    // TimeOfDay: nanoseconds since midnight; nulls as for DateTime.
    std::span<const std::int64_t> i64;
    // Int only: one byte per row (1 valid, 0 null); empty when no row is null.
    std::span<const std::uint8_t> valid;
    // Text: one code per row indexing `dictionary` (-1 for a null), codes in
    // order of first appearance for plain text columns, the source's own
    // dictionary for dictionary-encoded ones.
    std::span<const std::int32_t> codes;
    std::span<const std::string_view> dictionary;

    bool present() const { return column != nullptr; }

    Values() = default;
    Values(Values&&) noexcept = default;
    Values& operator=(Values&&) noexcept = default;
    Values(const Values&) = delete;
    Values& operator=(const Values&) = delete;

    // Owned storage behind the spans when the column could not be viewed in place.
    std::vector<double> own_f64;
    std::vector<std::int64_t> own_i64;
    std::vector<std::uint8_t> own_valid;
    std::vector<std::int32_t> own_codes;
    std::vector<std::string_view> own_dictionary;
    std::shared_ptr<const void> own_text;  // text storage the dictionary views, when copied
};

// Reads `column` as a field of `kind`. Throws ColumnError: TypeError naming
// the column and its type when it cannot hold that kind, ValueError naming the
// column and row for a null or unreadable time. No GIL needed.
//
// Accepted per kind:
//   Float     float and int columns
//   Int       int columns
//   Text      text columns
//   DateTime  timestamp (naive, "UTC" or a fixed "+hh:mm" offset, whose wall
//             time is used; other zones are a TypeError), date; text in the
//             forms "YYYY-MM-DD", "YYYYMMDD", "YYYY-MM-DD HH:MM:SS" (and RFC
//             3339 as the dict path reads it); int YYYYMMDD (tushare's trade_date)
//   TimeOfDay time32/time64; text "HH:MM:SS"
Values read_values(const Column& column, zj_core::schema::Kind kind);

// How the columns of a table are matched to a schema's fields.
struct BindOptions {
    // canonical field name -> the caller's column name (`columns={"vol": "volume"}`)
    std::vector<std::pair<std::string, std::string>> overrides;
    // canonical names that must be present in this use, besides the schema's required fields
    std::vector<std::string> required;
    bool want_symbol = false;           // look for a symbol column
    std::optional<std::string> symbol;  // its name when the caller gave one (must exist)
    // Runs task(i) for every i < count, on several threads if it likes (the
    // columns are read independently); empty: one after another here.
    std::function<void(std::size_t count, const std::function<void(std::size_t)>& task)> parallel;
};

// Reads the `columns=` and `symbol=` arguments (either may be null or None):
// TypeError unless `columns` is a mapping of str to str and `symbol` a str.
// GIL held.
BindOptions bind_options(PyObject* columns, PyObject* symbol);

struct Bound {
    std::vector<Values> fields;  // one per schema field, in schema order (absent ones not present())
    Values symbol;               // Text; absent without want_symbol or when none was found
    std::size_t rows = 0;
};

// Matches columns to fields: an override first, else the canonical name, else
// one alias. Throws ColumnError (ValueError) when two aliases of one field are
// present without the canonical name (naming both), when a required field or
// an overridden / named column is missing (naming it and listing the columns
// found), or when an override names an unknown field; then reads each matched
// column with read_values. No GIL needed.
Bound bind(const Table& table, const zj_core::schema::RecordSchema& schema, const BindOptions& options);

// A buffer protocol format's item code past its byte-order prefix ('@', '=',
// or '<' / '>' / '!' naming this machine's order); null when the prefix names
// the other byte order. `format` is not null.
const char* native_item_code(const char* format);

// Runs `fn` with the GIL released and returns its result; a ColumnError it
// throws is raised as its Python exception once the GIL is held again. Other
// exceptions pass through (after the GIL is taken back).
template <class F>
auto without_gil(F&& fn) -> decltype(fn()) {
    struct Release {
        PyThreadState* state = PyEval_SaveThread();
        ~Release() { PyEval_RestoreThread(state); }
    };
    std::optional<ColumnError> error;
    {
        Release release;
        try {
            return fn();
        } catch (const ColumnError& e) {
            error.emplace(e);
        }
    }
    raise_column_error(*error);
}

}  // namespace zj_python::columns
