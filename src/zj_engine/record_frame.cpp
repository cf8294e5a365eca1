#include "zj_engine/record_frame.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "zj_core/auction/types.hpp"
#include "zj_core/bad_data.hpp"
#include "zj_core/common/failure.hpp"
#include "zj_python/boundary/clinic.hpp"

namespace zj_engine::records {

namespace schema = zj_core::schema;

// ---- input ------------------------------------------------------------------------------

const col::Values& Input::field(std::string_view name) const {
    const auto i = record->find(name);
    if (!i) throw zj_core::InternalFailure("no field '" + std::string(name) + "' in " + std::string(record->kind));
    return bound.fields[*i];
}

Input read_input(PyObject* source, const schema::RecordSchema& record, PyObject* symbol, PyObject* columns,
                 const Pool& pool) {
    Input in;
    in.record = &record;
    in.table = col::read_table(source);
    col::BindOptions options = col::bind_options(columns, symbol);
    options.want_symbol = true;
    options.parallel = [&pool](std::size_t count, const std::function<void(std::size_t)>& task) {
        pool.run(count, task);
    };
    in.bound = released([&] { return col::bind(in.table, record, options); });
    in.has_symbol = in.bound.symbol.present();
    if (in.has_symbol) in.symbol_column = in.bound.symbol.column->name;
    released([&] {
        const col::Values& s = in.bound.symbol;
        in.groups = frame::group_by_symbol(in.bound.rows, s.codes, s.dictionary.size(), pool);
        in.symbol.resize(in.groups.size());
        for (std::size_t g = 0; g < in.groups.size(); ++g) {
            if (in.groups.code[g] < 0) continue;
            in.symbol[g] = s.dictionary[static_cast<std::size_t>(in.groups.code[g])];
            if (in.symbol[g].empty())
                throw frame::InputError("row " + std::to_string(in.rows(g)[0]) + ": the symbol is empty");
        }
        in.sorted.resize(in.groups.size());
        for (std::size_t g = 0; g < in.sorted.size(); ++g) in.sorted[g] = g;
        std::stable_sort(in.sorted.begin(), in.sorted.end(),
                         [&](std::size_t a, std::size_t b) { return in.symbol[a] < in.symbol[b]; });
        // One dictionary may hold a text twice (chunks with their own dictionaries):
        // two groups of one symbol would be two rows.
        for (std::size_t k = 1; k < in.sorted.size(); ++k)
            if (in.symbol[in.sorted[k]] == in.symbol[in.sorted[k - 1]])
                throw frame::InputError("symbol '" + std::string(in.symbol[in.sorted[k]]) +
                                        "' has two codes in the symbol column");
        return 0;
    });
    return in;
}

// ---- days -------------------------------------------------------------------------------

std::size_t Days::row(std::string_view symbol) const {
    const auto it = row_of.find(symbol);
    if (it == row_of.end()) throw SymbolError("not in days");
    return it->second;
}

bool Days::has(std::string_view name) const {
    const auto i = schema::kDay.find(name);
    return given && i && bound.fields[*i].present();
}

std::optional<double> Days::value(std::string_view name, std::size_t row) const {
    if (!has(name)) return std::nullopt;
    const double v = bound.fields[*schema::kDay.find(name)].f64[row];
    if (std::isnan(v)) return std::nullopt;
    return v;
}

Days read_days(PyObject* days, PyObject* symbol) {
    Days d;
    if (days == nullptr || days == Py_None) return d;
    d.given = true;
    d.table = col::read_table(days);
    col::BindOptions options;
    options.want_symbol = true;
    if (symbol != nullptr && symbol != Py_None && PyUnicode_Check(symbol)) {
        const std::string name(zj_python::to_str(symbol));
        if (d.table.find(name)) options.symbol = name;
    }
    d.bound = released([&] { return col::bind(d.table, schema::kDay, options); });
    if (!d.bound.symbol.present())
        zj_python::raise_value_error("days has no symbol column (symbol, ts_code, code, 代码 or 证券代码); found " +
                                     d.table.names());
    const col::Values& s = d.bound.symbol;
    for (std::size_t r = 0; r < s.codes.size(); ++r) {
        if (s.codes[r] < 0) zj_python::raise_value_error("days, row " + std::to_string(r) + ": the symbol is null");
        const std::string_view text = s.dictionary[static_cast<std::size_t>(s.codes[r])];
        const auto [it, fresh] = d.row_of.try_emplace(text, r);
        if (!fresh)
            zj_python::raise_value_error("days: symbol '" + std::string(text) + "' appears twice (rows " +
                                         std::to_string(it->second) + " and " + std::to_string(r) + ")");
    }
    return d;
}

std::optional<double> per_symbol(std::optional<double> given, const Days& days, std::string_view name,
                                 std::size_t day_row) {
    if (given) return given;
    return days.value(name, day_row);
}

double reference_price(std::string_view name, std::optional<double> value) {
    if (!value) throw SymbolError("no " + std::string(name) + " in days");
    if (!zj_core::valid_reference_price(*value))
        throw SymbolError(zj_core::invalid_value_message(name, *value));
    return *value;
}

void throw_bad_value(const zj_core::BadValue& bad, std::span<const std::uint32_t> rows) {
    throw SymbolError(zj_core::bad_value_message(bad) + " (row " + std::to_string(rows[bad.record]) + ")");
}

void require_days(const Days& days, std::initializer_list<const char*> names, std::string_view what) {
    if (!days.given) zj_python::raise_value_error("days is required: " + std::string(what));
    for (const char* name : names)
        if (!days.has(name))
            zj_python::raise_value_error(std::string("days has no column '") + name + "'; found " + days.table.names());
}

std::string join(const std::string& a, std::string_view b) {
    if (a.empty()) return std::string(b);
    return a + "; " + std::string(b);
}

// ---- cells --------------------------------------------------------------------------------

zj_core::TimeOfDay time_at(const col::Values& v, std::uint32_t row) {
    constexpr std::int64_t kNsPerSec = 1'000'000'000;
    const std::int64_t ns = v.i64[row];
    return zj_core::TimeOfDay{static_cast<std::uint32_t>(ns / kNsPerSec), static_cast<std::uint32_t>(ns % kNsPerSec)};
}

std::int64_t int_at(const col::Values& v, std::uint32_t row, std::string_view name, std::int64_t lo,
                    std::int64_t hi) {
    if (!v.valid.empty() && v.valid[row] == 0)
        throw SymbolError("missing " + std::string(name) + " (null) at row " + std::to_string(row));
    const std::int64_t x = v.i64[row];
    if (x < lo || x > hi)
        throw SymbolError(std::string(name) + " " + std::to_string(x) + " at row " + std::to_string(row) +
                          " does not fit a 32-bit integer");
    return x;
}

std::int32_t i32_at(const col::Values& v, std::uint32_t row, std::string_view name) {
    return static_cast<std::int32_t>(int_at(v, row, name, std::numeric_limits<std::int32_t>::min(),
                                            std::numeric_limits<std::int32_t>::max()));
}

// ---- running ------------------------------------------------------------------------------

void run_guarded(Outcome& o, const std::function<void()>& body) {
    try {
        body();
    } catch (const SymbolError& e) {
        o.error = e.what();
    } catch (const zj_core::auction::NanPriceError& e) {
        o.error = e.what();
    }
}

std::vector<std::size_t> one_row_per_symbol(const Input& in, const std::vector<Outcome>& outcomes) {
    std::vector<std::size_t> rows;
    for (std::size_t g : in.sorted)
        if (outcomes[g].error.empty()) rows.push_back(g);
    return rows;
}

// ---- output -------------------------------------------------------------------------------

Output::Column& Output::column(std::string name, results::Kind kind) {
    Column& c = columns_.emplace_back();
    c.name = std::move(name);
    c.kind = kind;
    c.valid.assign(rows_, 1);
    switch (kind) {
        case results::Kind::Float: c.f.assign(rows_, 0.0); break;
        case results::Kind::Int: c.i.assign(rows_, 0); break;
        case results::Kind::Bool:
        case results::Kind::OptBool: c.b.assign(rows_, 0); break;
        default: c.text.assign(rows_, std::string()); break;
    }
    return c;
}

void Output::put(Column& c, std::size_t row, const results::Cell& cell) {
    switch (c.kind) {
        case results::Kind::Float: c.f[row] = cell.f; break;
        case results::Kind::Int: c.i[row] = cell.i; break;
        case results::Kind::Bool:
        case results::Kind::OptBool:
            c.b[row] = cell.b ? 1 : 0;
            if (cell.null) put_null(c, row);
            break;
        default: c.text[row] = std::string(results::text_of(cell)); break;
    }
}

void Output::put_null(Column& c, std::size_t row) {
    c.valid[row] = 0;
    c.any_null = true;
    if (c.kind == results::Kind::Float) c.f[row] = std::nan("");
}

void Output::add_text(std::string name, std::vector<std::string> texts) {
    Column& c = column(std::move(name), results::Kind::Text);
    c.text = std::move(texts);
    for (std::size_t r = 0; r < rows_; ++r)
        if (c.text[r].empty()) put_null(c, r);
}

namespace {

template <class T>
Ref bytes_of(const std::vector<T>& v) {
    return Ref::check(PyByteArray_FromStringAndSize(reinterpret_cast<const char*>(v.data()),
                                                    static_cast<Py_ssize_t>(v.size() * sizeof(T))));
}

}  // namespace

Ref Output::to_python() const {
    Ref list = Ref::check(PyList_New(0));
    for (const Column& c : columns_) {
        Ref data;
        const char* kind = "text";
        switch (c.kind) {
            case results::Kind::Float: data = bytes_of(c.f), kind = "float"; break;
            case results::Kind::Int: data = bytes_of(c.i), kind = "int"; break;
            case results::Kind::Bool:
            case results::Kind::OptBool: data = bytes_of(c.b), kind = "bool"; break;
            default: {
                data = Ref::check(PyList_New(static_cast<Py_ssize_t>(rows_)));
                for (std::size_t r = 0; r < rows_; ++r)
                    PyList_SetItem(data.get(), static_cast<Py_ssize_t>(r),
                                   c.valid[r] ? zj_python::py_str(c.text[r]).release()
                                              : zj_python::py_none().release());
                break;
            }
        }
        Ref valid = c.any_null ? bytes_of(c.valid) : zj_python::py_none();
        Ref item = Ref::check(Py_BuildValue("(NsNN)", zj_python::py_str(c.name).release(), kind, data.release(),
                                            valid.release()));
        if (PyList_Append(list.get(), item.get()) < 0) throw PyErrOccurred{};
    }
    return list;
}

Ref finish(const Input& in, std::span<const std::size_t> row_group, Output& out,
           const std::vector<Outcome>& outcomes, bool with_reason) {
    if (with_reason) {
        std::vector<std::string> reasons;
        reasons.reserve(row_group.size());
        for (std::size_t g : row_group) reasons.push_back(outcomes[g].reason);
        out.add_text("reason", std::move(reasons));
    }
    std::vector<std::string_view> symbols;
    symbols.reserve(row_group.size());
    for (std::size_t g : row_group) symbols.push_back(in.symbol[g]);
    Ref errors = Ref::check(PyList_New(0));
    for (std::size_t g : in.sorted) {
        if (outcomes[g].error.empty()) continue;
        Ref item = Ref::check(Py_BuildValue("(NN)", zj_python::py_str(in.symbol[g]).release(),
                                            zj_python::py_str(outcomes[g].error).release()));
        if (PyList_Append(errors.get(), item.get()) < 0) throw PyErrOccurred{};
    }
    Ref result = Ref::check(PyDict_New());
    auto put = [&](const char* key, Ref value) {
        if (PyDict_SetItemString(result.get(), key, value.get()) < 0) throw PyErrOccurred{};
    };
    put("symbol", in.has_symbol ? str_list(symbols) : zj_python::py_none());
    put("columns", out.to_python());
    put("errors", std::move(errors));
    put("symbol_column", in.has_symbol ? zj_python::py_str(in.symbol_column) : zj_python::py_none());
    return result;
}

}  // namespace zj_engine::records
