#include "zj_python/boundary/columns.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <limits>
#include <string>
#include <unordered_map>

#include "nanoarrow/nanoarrow.h"
#include "zj_core/common/date_time.hpp"
#include "zj_core/common/time_of_day.hpp"
#include "zj_python/boundary/convert.hpp"

namespace zj_python::columns {

using zj_core::schema::Kind;

namespace detail {

// One piece of a column: rows [start, start + length) of an array view.
struct Chunk {
    const ArrowArrayView* view;
    std::int64_t start;
    std::int64_t length;
};

struct Source {
    std::vector<Chunk> chunks;
    ArrowType type = NANOARROW_TYPE_UNINITIALIZED;  // logical type; DICTIONARY for dictionary-encoded
    ArrowType value_type = NANOARROW_TYPE_UNINITIALIZED;  // a dictionary's value type
    std::int64_t unit_ns = 1;  // nanoseconds per unit of a timestamp / time / datetime64 column
    std::optional<std::int64_t> tz_offset_s;  // timestamps: seconds east of UTC, when usable
    bool tz_named = false;                    // timestamps: a named zone we do not convert
    bool nat_is_null = false;                 // numpy datetime64: the minimum value is NaT
};

// Everything a table's memory hangs on. Destroyed with the GIL held.
struct Owner {
    // Deques: views point into them, so elements never move.
    std::deque<ArrowSchema> schemas;
    std::deque<ArrowArray> arrays;
    std::vector<std::unique_ptr<ArrowArrayView>> views;
    std::vector<std::unique_ptr<Py_buffer>> buffers;
    std::vector<std::vector<char>> copies;
    std::vector<Ref> refs;

    Owner() = default;
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    ~Owner() {
        for (auto& v : views) ArrowArrayViewReset(v.get());
        for (auto& a : arrays)
            if (a.release) a.release(&a);
        for (auto& s : schemas)
            if (s.release) s.release(&s);
        for (auto& b : buffers) PyBuffer_Release(b.get());
    }
    ArrowArrayView* new_view() {
        views.push_back(std::make_unique<ArrowArrayView>());
        return views.back().get();
    }
};

}  // namespace detail

using detail::Chunk;
using detail::Owner;
using detail::Source;

namespace {

constexpr std::int64_t kNsPerSec = 1'000'000'000;
constexpr std::int64_t kNsPerDay = 86'400 * kNsPerSec;

std::string quoted(std::string_view s) {
    std::string out(1, '\'');
    out.append(s);
    out += '\'';
    return out;
}

[[noreturn]] void type_error(const std::string& m) { throw ColumnError(true, m); }
[[noreturn]] void value_error(const std::string& m) { throw ColumnError(false, m); }

// ---- Arrow types ------------------------------------------------------------

std::int64_t unit_ns(ArrowTimeUnit u) {
    switch (u) {
        case NANOARROW_TIME_UNIT_SECOND: return kNsPerSec;
        case NANOARROW_TIME_UNIT_MILLI: return 1'000'000;
        case NANOARROW_TIME_UNIT_MICRO: return 1'000;
        case NANOARROW_TIME_UNIT_NANO: return 1;
    }
    return 1;
}

const char* unit_text(ArrowTimeUnit u) {
    switch (u) {
        case NANOARROW_TIME_UNIT_SECOND: return "s";
        case NANOARROW_TIME_UNIT_MILLI: return "ms";
        case NANOARROW_TIME_UNIT_MICRO: return "us";
        case NANOARROW_TIME_UNIT_NANO: return "ns";
    }
    return "?";
}

// "UTC", "Z", "+08:00", "-0530": seconds east of UTC; absent for named zones.
std::optional<std::int64_t> fixed_offset(std::string_view tz) {
    if (tz == "UTC" || tz == "Etc/UTC" || tz == "Z" || tz == "utc" || tz == "GMT" || tz == "Etc/GMT") return 0;
    if (tz.size() < 3 || (tz[0] != '+' && tz[0] != '-')) return std::nullopt;
    const int sign = tz[0] == '-' ? -1 : 1;
    std::string_view rest = tz.substr(1);
    auto two = [&](unsigned& v) {
        if (rest.size() < 2 || rest[0] < '0' || rest[0] > '9' || rest[1] < '0' || rest[1] > '9') return false;
        v = static_cast<unsigned>((rest[0] - '0') * 10 + (rest[1] - '0'));
        rest.remove_prefix(2);
        return true;
    };
    unsigned h = 0, m = 0;
    if (!two(h)) return std::nullopt;
    if (!rest.empty() && rest[0] == ':') rest.remove_prefix(1);
    if (!rest.empty() && !two(m)) return std::nullopt;
    if (!rest.empty() || h > 23 || m > 59) return std::nullopt;
    return sign * static_cast<std::int64_t>(h * 3600 + m * 60);
}

ColumnType column_type(ArrowType t) {
    switch (t) {
        case NANOARROW_TYPE_FLOAT:
        case NANOARROW_TYPE_DOUBLE: return ColumnType::Float;
        case NANOARROW_TYPE_INT8:
        case NANOARROW_TYPE_INT16:
        case NANOARROW_TYPE_INT32:
        case NANOARROW_TYPE_INT64:
        case NANOARROW_TYPE_UINT8:
        case NANOARROW_TYPE_UINT16:
        case NANOARROW_TYPE_UINT32:
        case NANOARROW_TYPE_UINT64: return ColumnType::Int;
        case NANOARROW_TYPE_TIMESTAMP: return ColumnType::Timestamp;
        case NANOARROW_TYPE_DATE32:
        case NANOARROW_TYPE_DATE64: return ColumnType::Date;
        case NANOARROW_TYPE_TIME32:
        case NANOARROW_TYPE_TIME64: return ColumnType::TimeOfDay;
        case NANOARROW_TYPE_STRING:
        case NANOARROW_TYPE_LARGE_STRING:
        case NANOARROW_TYPE_STRING_VIEW: return ColumnType::Text;
        default: return ColumnType::Other;
    }
}

// Describes one Arrow field's type and fills the source's type information.
void describe_arrow(const ArrowSchema* schema, Column& col, Source& src) {
    ArrowSchemaView sv;
    ArrowError error;
    if (ArrowSchemaViewInit(&sv, schema, &error) != NANOARROW_OK) {
        col.type = ColumnType::Other;
        col.type_text = std::string("unreadable Arrow type (") + error.message + ")";
        return;
    }
    src.type = sv.type;
    col.type_text = ArrowTypeString(sv.type);
    if (sv.type == NANOARROW_TYPE_DICTIONARY) {
        ArrowSchemaView dv;
        if (schema->dictionary == nullptr || ArrowSchemaViewInit(&dv, schema->dictionary, &error) != NANOARROW_OK) {
            col.type = ColumnType::Other;
            return;
        }
        src.value_type = dv.type;
        col.type_text = std::string("dictionary<") + ArrowTypeString(dv.type) + ">";
        col.type = column_type(dv.type) == ColumnType::Text ? ColumnType::Text : ColumnType::Other;
        return;
    }
    col.type = column_type(sv.type);
    switch (sv.type) {
        case NANOARROW_TYPE_TIMESTAMP: {
            src.unit_ns = unit_ns(sv.time_unit);
            const std::string_view tz = sv.timezone ? sv.timezone : "";
            col.type_text = std::string("timestamp[") + unit_text(sv.time_unit);
            if (!tz.empty()) {
                col.type_text += ", tz=";
                col.type_text.append(tz);
                src.tz_offset_s = fixed_offset(tz);
                src.tz_named = !src.tz_offset_s;
            }
            col.type_text += ']';
            break;
        }
        case NANOARROW_TYPE_TIME32:
        case NANOARROW_TYPE_TIME64:
            src.unit_ns = unit_ns(sv.time_unit);
            col.type_text += std::string("[") + unit_text(sv.time_unit) + "]";
            break;
        default: break;
    }
}

// ---- importing from capsules ------------------------------------------------

template <class T>
T* capsule_pointer(PyObject* capsule, const char* name) {
    void* p = PyCapsule_GetPointer(capsule, name);
    if (p == nullptr) throw PyErrOccurred{};
    return static_cast<T*>(p);
}

[[noreturn]] void arrow_failure(const std::string& what, const char* detail) {
    raise_value_error("could not read the Arrow data (" + what + "): " + (detail && *detail ? detail : "error"));
}

// Adds one imported array (a struct array of the table's columns, or a single
// column) as one chunk to every column.
void add_batch(Table& t, std::vector<Source>& sources, const ArrowSchema* schema, ArrowArray&& array, bool is_struct) {
    Owner& owner = *t.owner;
    owner.arrays.push_back(array);
    array.release = nullptr;
    ArrowArray* held = &owner.arrays.back();
    ArrowArrayView* view = owner.new_view();
    ArrowError error;
    if (ArrowArrayViewInitFromSchema(view, schema, &error) != NANOARROW_OK)
        arrow_failure("array view", error.message);
    if (ArrowArrayViewSetArray(view, held, &error) != NANOARROW_OK) arrow_failure("array", error.message);
    if (is_struct) {
        for (std::size_t c = 0; c < sources.size(); ++c)
            sources[c].chunks.push_back({view->children[c], view->offset, view->length});
    } else {
        sources[0].chunks.push_back({view, 0, view->length});
    }
    t.rows += static_cast<std::size_t>(view->length);
}

// Sets up the table's columns from the top-level schema: the fields of a
// struct (a table or batch), else the one field itself.
bool init_columns(Table& t, std::vector<Source>& sources, const ArrowSchema* schema) {
    ArrowSchemaView sv;
    ArrowError error;
    if (ArrowSchemaViewInit(&sv, schema, &error) != NANOARROW_OK) arrow_failure("schema", error.message);
    const bool is_struct = sv.type == NANOARROW_TYPE_STRUCT;
    const std::int64_t n = is_struct ? schema->n_children : 1;
    sources.resize(static_cast<std::size_t>(n));
    t.columns.resize(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) {
        const ArrowSchema* field = is_struct ? schema->children[i] : schema;
        Column& col = t.columns[static_cast<std::size_t>(i)];
        col.name = field->name ? field->name : "";
        describe_arrow(field, col, sources[static_cast<std::size_t>(i)]);
    }
    return is_struct;
}

void read_stream(Table& t, std::vector<Source>& sources, PyObject* capsule) {
    auto* exported = capsule_pointer<ArrowArrayStream>(capsule, "arrow_array_stream");
    ArrowArrayStream stream;
    ArrowArrayStreamMove(exported, &stream);
    struct Guard {
        ArrowArrayStream* s;
        ~Guard() {
            if (s->release) ArrowArrayStreamRelease(s);
        }
    } guard{&stream};
    Owner& owner = *t.owner;
    owner.schemas.emplace_back();
    ArrowSchema* schema = &owner.schemas.back();
    schema->release = nullptr;
    ArrowError error;
    if (ArrowArrayStreamGetSchema(&stream, schema, &error) != NANOARROW_OK)
        arrow_failure("stream schema", ArrowArrayStreamGetLastError(&stream));
    const bool is_struct = init_columns(t, sources, schema);
    for (;;) {
        ArrowArray array;
        array.release = nullptr;
        if (ArrowArrayStreamGetNext(&stream, &array, &error) != NANOARROW_OK)
            arrow_failure("stream chunk", ArrowArrayStreamGetLastError(&stream));
        if (array.release == nullptr) break;
        add_batch(t, sources, schema, std::move(array), is_struct);
    }
}

void read_array_capsules(Table& t, std::vector<Source>& sources, PyObject* pair) {
    if (!PyTuple_Check(pair) || PyTuple_Size(pair) != 2)
        raise_type_error("__arrow_c_array__ did not return a (schema, array) pair");
    auto* exported_schema = capsule_pointer<ArrowSchema>(PyTuple_GetItem(pair, 0), "arrow_schema");
    auto* exported_array = capsule_pointer<ArrowArray>(PyTuple_GetItem(pair, 1), "arrow_array");
    Owner& owner = *t.owner;
    owner.schemas.emplace_back();
    ArrowSchemaMove(exported_schema, &owner.schemas.back());
    ArrowArray array;
    ArrowArrayMove(exported_array, &array);
    const bool is_struct = init_columns(t, sources, &owner.schemas.back());
    add_batch(t, sources, &owner.schemas.back(), std::move(array), is_struct);
}

// Imports an object exporting the Arrow PyCapsule interface; false when it
// exports neither method.
bool read_arrow(Table& t, std::vector<Source>& sources, PyObject* o) {
    for (const char* method : {"__arrow_c_stream__", "__arrow_c_array__"}) {
        const int has = PyObject_HasAttrString(o, method);
        if (!has) continue;
        Ref result = Ref::check(PyObject_CallMethod(o, method, nullptr));
        if (method[10] == 's')
            read_stream(t, sources, result.get());
        else
            read_array_capsules(t, sources, result.get());
        return true;
    }
    return false;
}

// read_arrow, except that an exporter whose export needs a library that is
// missing (pandas without pyarrow) is left to another path (`fallback`: it
// has one, a mapping of columns or numpy's __array__).
bool read_arrow_or_fall_back(Table& t, std::vector<Source>& sources, PyObject* o, bool fallback) {
    try {
        return read_arrow(t, sources, o);
    } catch (const PyErrOccurred&) {
        if (!fallback || !PyErr_ExceptionMatches(PyExc_ImportError)) throw;
        PyErr_Clear();
        sources.clear();
        t.columns.clear();
        t.rows = 0;
        return false;
    }
}

// ---- mappings of arrays -----------------------------------------------------

}  // namespace

const char* native_item_code(const char* format) {
    constexpr bool little = std::endian::native == std::endian::little;
    switch (format[0]) {
        case '@':
        case '=': return format + 1;
        case '<': return little ? format + 1 : nullptr;
        case '>':
        case '!': return little ? nullptr : format + 1;
        default: return format;
    }
}

namespace {

std::optional<ArrowType> buffer_type(const char* format, Py_ssize_t itemsize) {
    if (format == nullptr) return NANOARROW_TYPE_UINT8;
    const char* f = native_item_code(format);
    if (f == nullptr || f[0] == '\0' || f[1] != '\0') return std::nullopt;
    const bool is_signed = f[0] == 'b' || f[0] == 'h' || f[0] == 'i' || f[0] == 'l' || f[0] == 'q' || f[0] == 'n';
    const bool is_unsigned = f[0] == 'B' || f[0] == 'H' || f[0] == 'I' || f[0] == 'L' || f[0] == 'Q' || f[0] == 'N';
    if (f[0] == 'd' && itemsize == 8) return NANOARROW_TYPE_DOUBLE;
    if (f[0] == 'f' && itemsize == 4) return NANOARROW_TYPE_FLOAT;
    if (is_signed || is_unsigned) {
        switch (itemsize) {
            case 1: return is_signed ? NANOARROW_TYPE_INT8 : NANOARROW_TYPE_UINT8;
            case 2: return is_signed ? NANOARROW_TYPE_INT16 : NANOARROW_TYPE_UINT16;
            case 4: return is_signed ? NANOARROW_TYPE_INT32 : NANOARROW_TYPE_UINT32;
            case 8: return is_signed ? NANOARROW_TYPE_INT64 : NANOARROW_TYPE_UINT64;
            default: return std::nullopt;
        }
    }
    return std::nullopt;
}

// A 1-D buffer as one chunk: in place when contiguous and aligned, else copied.
// Returns false (with `what` describing it) for a buffer of an unusable format.
void read_buffer(Owner& owner, PyObject* o, Column& col, Source& src, std::optional<ArrowType> forced) {
    auto buffer = std::make_unique<Py_buffer>();
    if (PyObject_GetBuffer(o, buffer.get(), PyBUF_RECORDS_RO) < 0) throw PyErrOccurred{};
    Py_buffer* view = buffer.get();
    owner.buffers.push_back(std::move(buffer));
    if (view->ndim != 1)
        raise_value_error("column " + quoted(col.name) + " is not 1-D (" + std::to_string(view->ndim) +
                          " dimensions)");
    const auto type = forced ? forced : buffer_type(view->format, view->itemsize);
    const std::int64_t n = view->shape[0];
    col.length = static_cast<std::size_t>(n);
    if (!type) {
        col.type = ColumnType::Other;
        col.type_text = std::string("buffer of format '") + (view->format ? view->format : "B") + "'";
        return;
    }
    src.type = *type;
    col.type = column_type(*type);
    col.type_text = ArrowTypeString(*type);
    const auto size = static_cast<std::size_t>(view->itemsize);
    const char* base = static_cast<const char*>(view->buf);
    const Py_ssize_t stride = view->strides ? view->strides[0] : view->itemsize;
    const void* data = base;
    if (stride != view->itemsize || reinterpret_cast<std::uintptr_t>(base) % size != 0) {
        std::vector<char> copy(static_cast<std::size_t>(n) * size + 8);
        char* out = copy.data() + (8 - reinterpret_cast<std::uintptr_t>(copy.data()) % 8) % 8;
        for (std::int64_t i = 0; i < n; ++i) std::memcpy(out + i * size, base + i * stride, size);
        owner.copies.push_back(std::move(copy));
        data = out;
    }
    ArrowArrayView* v = owner.new_view();
    ArrowArrayViewInitFromType(v, *type);
    v->length = n;
    v->offset = 0;
    v->null_count = 0;
    v->buffer_views[1].data.data = data;
    v->buffer_views[1].size_bytes = n * view->itemsize;
    src.chunks.push_back({v, 0, n});
}

// The `dtype.kind` and `dtype.str` of a numpy array, or empty strings.
std::pair<std::string, std::string> numpy_dtype(PyObject* o) {
    Ref dtype(PyObject_GetAttrString(o, "dtype"));
    if (!dtype) {
        PyErr_Clear();
        return {};
    }
    Ref kind(PyObject_GetAttrString(dtype.get(), "kind"));
    Ref str(PyObject_GetAttrString(dtype.get(), "str"));
    if (!kind || !str || !PyUnicode_Check(kind.get()) || !PyUnicode_Check(str.get())) {
        PyErr_Clear();
        return {};
    }
    return {std::string(to_str(kind.get())), std::string(to_str(str.get()))};
}

// A sequence of Python values (a list, or an object/str array's tolist()):
// all str (or None) gives a text column, all int a 64-bit int column, all
// numbers a float column; None is null. Anything else leaves the column as
// Other. Each item is owned while it is converted.
void read_objects(Owner& owner, PyObject* seq, Column& col, Source& src) {
    // A tuple: a snapshot that code run by a conversion cannot change.
    Ref fast = Ref::check(PySequence_Tuple(seq));
    const Py_ssize_t n = PyTuple_Size(fast.get());
    if (n < 0) throw PyErrOccurred{};
    enum { Unknown, Texts, Ints, Floats, Mixed } what = Unknown;
    for (Py_ssize_t i = 0; i < n && what != Mixed; ++i) {
        PyObject* item = PyTuple_GetItem(fast.get(), i);  // borrowed from the tuple we hold
        if (!item) throw PyErrOccurred{};
        if (item == Py_None) continue;
        const auto kind = PyUnicode_Check(item)                        ? Texts
                          : PyBool_Check(item)                         ? Mixed
                          : PyLong_Check(item)                         ? Ints
                          : PyFloat_Check(item)                        ? Floats
                                                                       : Mixed;
        if (what == Unknown)
            what = kind;
        else if (what != kind)
            what = ((what == Ints && kind == Floats) || (what == Floats && kind == Ints)) ? Floats : Mixed;
    }
    col.length = static_cast<std::size_t>(n);
    if (what == Mixed) {
        col.type = ColumnType::Other;
        col.type_text = "object (values other than str, or than numbers, or bool)";
        return;
    }
    const ArrowType type = what == Texts ? NANOARROW_TYPE_STRING
                           : what == Ints ? NANOARROW_TYPE_INT64
                                          : NANOARROW_TYPE_DOUBLE;
    owner.arrays.emplace_back();
    ArrowArray* array = &owner.arrays.back();
    array->release = nullptr;
    auto check = [](ArrowErrorCode code) {
        if (code != NANOARROW_OK) throw std::bad_alloc();
    };
    check(ArrowArrayInitFromType(array, type));
    check(ArrowArrayStartAppending(array));
    for (Py_ssize_t i = 0; i < n; ++i) {
        Ref item = Ref::borrow(PyTuple_GetItem(fast.get(), i));
        if (item.get() == Py_None) {
            check(ArrowArrayAppendNull(array, 1));
        } else if (type == NANOARROW_TYPE_STRING) {
            if (!PyUnicode_Check(item.get())) raise_type_error("column " + quoted(col.name) + " changed while read");
            const std::string_view s = to_str(item.get());
            check(ArrowArrayAppendString(array, ArrowStringView{s.data(), static_cast<std::int64_t>(s.size())}));
        } else if (type == NANOARROW_TYPE_INT64) {
            check(ArrowArrayAppendInt(array, to_i64(item.get())));
        } else {
            check(ArrowArrayAppendDouble(array, to_f64(item.get())));
        }
    }
    ArrowError error;
    if (ArrowArrayFinishBuildingDefault(array, &error) != NANOARROW_OK) arrow_failure("built column", error.message);
    ArrowArrayView* v = owner.new_view();
    ArrowArrayViewInitFromType(v, type);
    if (ArrowArrayViewSetArray(v, array, &error) != NANOARROW_OK) arrow_failure("built column", error.message);
    src.type = type;
    col.type = column_type(type);
    col.type_text = ArrowTypeString(type);
    src.chunks.push_back({v, 0, static_cast<std::int64_t>(n)});
}

// One value of a mapping: an Arrow exporter, a numpy datetime64 / str /
// object array, a 1-D buffer, or a list or tuple of Python values.
void read_mapped(Table& t, PyObject* value, Column& col, Source& src) {
    Owner& owner = *t.owner;
    const bool buffer = PyObject_CheckBuffer(value);
    if (!buffer) {
        Table one;
        one.owner = t.owner;
        std::vector<Source> one_src;
        if (read_arrow_or_fall_back(one, one_src, value, PyObject_HasAttrString(value, "__array__") == 1)) {
            if (one.columns.size() != 1)
                raise_type_error("column " + quoted(col.name) + " holds a table of " +
                                 std::to_string(one.columns.size()) + " columns, not one column");
            col.type = one.columns[0].type;
            col.type_text = one.columns[0].type_text;
            col.length = one.rows;
            src = std::move(one_src[0]);
            return;
        }
    }
    Ref as_array;
    if (!buffer && PyObject_HasAttrString(value, "__array__")) {
        // pandas Series without pyarrow, and other array-likes: through numpy.
        as_array = Ref::check(PyObject_CallMethod(value, "__array__", nullptr));
        owner.refs.push_back(Ref::borrow(as_array.get()));
        value = as_array.get();
    }
    const bool is_buffer = PyObject_CheckBuffer(value);
    const auto [kind, dstr] = numpy_dtype(value);
    if (kind == "M") {
        // datetime64: its int64 values through a view, the unit from the dtype text ("<M8[ns]").
        const auto open = dstr.find('['), close = dstr.find(']');
        const std::string unit = open == std::string::npos ? "" : dstr.substr(open + 1, close - open - 1);
        static const std::pair<const char*, std::int64_t> kUnits[] = {
            {"D", kNsPerDay}, {"s", kNsPerSec}, {"ms", 1'000'000}, {"us", 1'000}, {"ns", 1}};
        std::int64_t ns = 0;
        for (const auto& [name, mult] : kUnits)
            if (unit == name) ns = mult;
        if (ns == 0) {
            col.type = ColumnType::Other;
            col.type_text = "datetime64[" + unit + "]";
            col.length = static_cast<std::size_t>(std::max<Py_ssize_t>(PyObject_Size(value), 0));
            PyErr_Clear();
            return;
        }
        Ref ints = Ref::check(PyObject_CallMethod(value, "view", "s", "int64"));
        read_buffer(owner, ints.get(), col, src, NANOARROW_TYPE_INT64);
        owner.refs.push_back(std::move(ints));
        src.type = ns == kNsPerDay ? NANOARROW_TYPE_DATE32 : NANOARROW_TYPE_TIMESTAMP;
        src.unit_ns = ns;
        src.nat_is_null = true;
        col.type = ns == kNsPerDay ? ColumnType::Date : ColumnType::Timestamp;
        col.type_text = "datetime64[" + unit + "]";
        return;
    }
    if (kind == "O" || kind == "U") {
        Ref list = Ref::check(PyObject_CallMethod(value, "tolist", nullptr));
        read_objects(owner, list.get(), col, src);
        return;
    }
    if (kind == "b") {
        col.type = ColumnType::Other;
        col.type_text = "bool";
        col.length = static_cast<std::size_t>(std::max<Py_ssize_t>(PyObject_Size(value), 0));
        PyErr_Clear();
        return;
    }
    if (is_buffer) {
        read_buffer(owner, value, col, src, std::nullopt);
        return;
    }
    if (PyList_Check(value) || PyTuple_Check(value)) {
        read_objects(owner, value, col, src);
        return;
    }
    raise_type_error("column " + quoted(col.name) + " is a " + type_name(value) +
                     ", not an array (a 1-D buffer, an Arrow array, a list)");
}

void read_mapping(Table& t, std::vector<Source>& sources, PyObject* mapping) {
    Ref items = Ref::check(PyMapping_Items(mapping));
    const Py_ssize_t n = PyList_Size(items.get());
    t.columns.resize(static_cast<std::size_t>(n));
    sources.resize(static_cast<std::size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
        Ref pair = Ref::borrow(PyList_GetItem(items.get(), i));
        if (!pair || !PyTuple_Check(pair.get()) || PyTuple_Size(pair.get()) != 2)
            raise_type_error("mapping items must be (name, column) pairs");
        Ref key = Ref::borrow(PyTuple_GetItem(pair.get(), 0));
        Ref value = Ref::borrow(PyTuple_GetItem(pair.get(), 1));
        if (!PyUnicode_Check(key.get()))
            raise_type_error("column names must be str, not " + type_name(key.get()));
        Column& col = t.columns[static_cast<std::size_t>(i)];
        col.name = std::string(to_str(key.get()));
        read_mapped(t, value.get(), col, sources[static_cast<std::size_t>(i)]);
        if (i == 0) t.rows = col.length;
    }
}

// ---- reading values ---------------------------------------------------------

bool aligned8(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 8 == 0; }

bool no_nulls(const Chunk& c) {
    return c.view->buffer_views[0].data.data == nullptr || c.view->null_count == 0;
}

bool is_null(const Chunk& c, std::int64_t i) {
    return c.view->buffer_views[0].data.data != nullptr && ArrowArrayViewIsNull(c.view, c.start + i);
}

// "column 'close'", or "the array" for an unnamed single array.
std::string label(const Column& col) { return col.name.empty() ? "the array" : "column " + quoted(col.name); }

[[noreturn]] void cannot_read(const Column& col, Kind kind) {
    static constexpr const char* kWant[] = {"numbers", "integers", "text", "times of day", "dates or date-times"};
    type_error(label(col) + " has type " + col.type_text + "; expected " +
               kWant[static_cast<int>(kind)]);
}

[[noreturn]] void bad_row(const Column& col, std::size_t row, const std::string& what) {
    value_error(label(col) + ", row " + std::to_string(row) + ": " + what);
}

// Calls fn(row, chunk, index-in-view) for every row.
template <class Fn>
void each_row(const Source& src, Fn&& fn) {
    std::size_t row = 0;
    for (const Chunk& c : src.chunks)
        for (std::int64_t i = 0; i < c.length; ++i) fn(row++, c, c.start + i);
}

bool is_unsigned64(ArrowType t) { return t == NANOARROW_TYPE_UINT64; }

void read_float(const Column& col, const Source& src, Values& v) {
    if (col.type != ColumnType::Float && col.type != ColumnType::Int) cannot_read(col, Kind::Float);
    if (src.chunks.size() == 1 && src.type == NANOARROW_TYPE_DOUBLE && no_nulls(src.chunks[0])) {
        const Chunk& c = src.chunks[0];
        const double* p = c.view->buffer_views[1].data.as_double + c.view->offset + c.start;
        if (aligned8(p)) {
            v.f64 = {p, static_cast<std::size_t>(c.length)};
            return;
        }
    }
    v.own_f64.resize(col.length);
    double* out = v.own_f64.data();
    const bool u64 = is_unsigned64(src.type);
    for (const Chunk& c : src.chunks) {
        const ArrowArrayView* view = c.view;
        if (src.type == NANOARROW_TYPE_DOUBLE && no_nulls(c)) {
            std::memcpy(out, view->buffer_views[1].data.as_double + view->offset + c.start,
                        static_cast<std::size_t>(c.length) * sizeof(double));
        } else {
            for (std::int64_t i = 0; i < c.length; ++i) {
                const std::int64_t k = c.start + i;
                out[i] = is_null(c, i) ? std::nan("")
                         : u64         ? static_cast<double>(ArrowArrayViewGetUIntUnsafe(view, k))
                                       : ArrowArrayViewGetDoubleUnsafe(view, k);
            }
        }
        out += c.length;
    }
    v.f64 = v.own_f64;
}

// A float column holding whole numbers (what pandas makes of integers with
// gaps): NaN reads as null; a fractional or out-of-range value is an error
// naming the row.
void read_whole_floats(const Column& col, const Source& src, Values& v) {
    Values floats;
    read_float(col, src, floats);
    v.own_i64.assign(col.length, 0);
    bool any_null = false;
    for (std::size_t row = 0; row < col.length; ++row) {
        const double x = floats.f64[row];
        if (std::isnan(x)) {
            if (!any_null) v.own_valid.assign(col.length, 1);
            any_null = true;
            v.own_valid[row] = 0;
            continue;
        }
        // 2^63 is the first double past the int64 range.
        if (x != std::trunc(x) || !(x >= -9223372036854775808.0 && x < 9223372036854775808.0)) {
            char buf[64];
            const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
            bad_row(col, row, std::string(buf, ec == std::errc{} ? end : buf) + " is not a whole number");
        }
        v.own_i64[row] = static_cast<std::int64_t>(x);
    }
    v.i64 = v.own_i64;
    v.valid = v.own_valid;
}

void read_int(const Column& col, const Source& src, Values& v) {
    if (col.type == ColumnType::Float) return read_whole_floats(col, src, v);
    if (col.type != ColumnType::Int) cannot_read(col, Kind::Int);
    bool any_null = false;
    for (const Chunk& c : src.chunks) any_null |= !no_nulls(c);
    if (src.chunks.size() == 1 && src.type == NANOARROW_TYPE_INT64 && !any_null) {
        const Chunk& c = src.chunks[0];
        const std::int64_t* p = c.view->buffer_views[1].data.as_int64 + c.view->offset + c.start;
        if (aligned8(p)) {
            v.i64 = {p, static_cast<std::size_t>(c.length)};
            return;
        }
    }
    v.own_i64.assign(col.length, 0);
    if (any_null) v.own_valid.assign(col.length, 1);
    const bool u64 = is_unsigned64(src.type);
    each_row(src, [&](std::size_t row, const Chunk& c, std::int64_t k) {
        if (is_null(c, k - c.start)) {
            v.own_valid[row] = 0;
            return;
        }
        if (u64) {
            const std::uint64_t u = ArrowArrayViewGetUIntUnsafe(c.view, k);
            if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                bad_row(col, row, std::to_string(u) + " does not fit a 64-bit signed integer");
            v.own_i64[row] = static_cast<std::int64_t>(u);
        } else {
            v.own_i64[row] = ArrowArrayViewGetIntUnsafe(c.view, k);
        }
    });
    v.i64 = v.own_i64;
    v.valid = v.own_valid;
}

std::string_view string_at(const ArrowArrayView* view, std::int64_t k) {
    const ArrowStringView s = ArrowArrayViewGetStringUnsafe(view, k);
    return {s.data, static_cast<std::size_t>(s.size_bytes)};
}

// Text columns as codes and a dictionary. A single dictionary-encoded chunk
// keeps its own dictionary; anything else is encoded in order of first
// appearance, the texts viewing the table's memory.
void read_text(const Column& col, const Source& src, Values& v) {
    if (col.type != ColumnType::Text) cannot_read(col, Kind::Text);
    v.own_codes.assign(col.length, -1);
    const bool dict = src.type == NANOARROW_TYPE_DICTIONARY;
    if (dict && src.chunks.size() == 1) {
        const Chunk& c = src.chunks[0];
        const ArrowArrayView* d = c.view->dictionary;
        v.own_dictionary.resize(static_cast<std::size_t>(d->length));
        for (std::int64_t j = 0; j < d->length; ++j) v.own_dictionary[static_cast<std::size_t>(j)] = string_at(d, j);
        for (std::int64_t i = 0; i < c.length; ++i) {
            if (is_null(c, i)) continue;
            const std::int64_t code = ArrowArrayViewGetIntUnsafe(c.view, c.start + i);
            if (code < 0 || code >= d->length)
                bad_row(col, static_cast<std::size_t>(i), "dictionary index " + std::to_string(code) + " out of range");
            if (ArrowArrayViewIsNull(d, code)) continue;
            v.own_codes[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(code);
        }
    } else {
        std::unordered_map<std::string_view, std::int32_t> seen;
        auto code_of = [&](std::string_view s) {
            auto [it, added] = seen.try_emplace(s, static_cast<std::int32_t>(v.own_dictionary.size()));
            if (added) v.own_dictionary.push_back(s);
            return it->second;
        };
        std::size_t row = 0;
        for (const Chunk& c : src.chunks) {
            if (dict) {
                const ArrowArrayView* d = c.view->dictionary;
                std::vector<std::int32_t> remap(static_cast<std::size_t>(d->length), -1);
                for (std::int64_t j = 0; j < d->length; ++j)
                    if (!ArrowArrayViewIsNull(d, j)) remap[static_cast<std::size_t>(j)] = code_of(string_at(d, j));
                for (std::int64_t i = 0; i < c.length; ++i, ++row) {
                    if (is_null(c, i)) continue;
                    const std::int64_t code = ArrowArrayViewGetIntUnsafe(c.view, c.start + i);
                    if (code < 0 || code >= d->length)
                        bad_row(col, row, "dictionary index " + std::to_string(code) + " out of range");
                    v.own_codes[row] = remap[static_cast<std::size_t>(code)];
                }
            } else {
                for (std::int64_t i = 0; i < c.length; ++i, ++row)
                    if (!is_null(c, i)) v.own_codes[row] = code_of(string_at(c.view, c.start + i));
            }
        }
    }
    v.codes = v.own_codes;
    v.dictionary = v.own_dictionary;
}

// The text of a non-null row of a text column, through its dictionary when
// it has one (a null entry or an index outside the dictionary is a ValueError).
std::string_view text_at(const Column& col, const Chunk& c, std::int64_t k, std::size_t row) {
    const ArrowArrayView* d = c.view->dictionary;
    if (d == nullptr) return string_at(c.view, k);
    const std::int64_t code = ArrowArrayViewGetIntUnsafe(c.view, k);
    if (code < 0 || code >= d->length) bad_row(col, row, "dictionary index " + std::to_string(code) + " out of range");
    if (ArrowArrayViewIsNull(d, code)) bad_row(col, row, "missing time (null)");
    return string_at(d, code);
}

std::optional<std::int64_t> to_ns(const zj_core::DateTime& t) {
    // Within int64 nanoseconds: 1677-09-21 to 2262-04-11.
    constexpr std::int64_t kMinDays = -106751, kMaxDays = 106750;
    if (t.days < kMinDays || t.days > kMaxDays) return std::nullopt;
    return t.days * kNsPerDay + static_cast<std::int64_t>(t.secs) * kNsPerSec + static_cast<std::int64_t>(t.nanos);
}

std::optional<std::int64_t> scaled(std::int64_t v, std::int64_t mult, std::int64_t add_ns) {
    std::int64_t out = 0;
    if (__builtin_mul_overflow(v, mult, &out) || __builtin_add_overflow(out, add_ns, &out)) return std::nullopt;
    return out;
}

// A date or date-time text in the accepted forms.
std::optional<zj_core::DateTime> parse_time_text(std::string_view s, zj_core::DateTimeReader& reader) {
    zj_core::DateTime t;
    if (reader.read(s, t)) return t;
    return zj_core::parse_date(s);
}

void read_datetime(const Column& col, const Source& src, Values& v) {
    const auto null_time = [&](std::size_t row) { bad_row(col, row, "missing time (null)"); };
    const auto out_of_range = [&](std::size_t row) {
        bad_row(col, row, "time outside 1677-09-21 .. 2262-04-11");
    };
    switch (col.type) {
        case ColumnType::Timestamp:
        case ColumnType::Date: {
            if (src.tz_named)
                type_error("column " + quoted(col.name) + " has type " + col.type_text +
                           "; a time zone other than UTC or a fixed offset is not converted here: convert to "
                           "naive wall times first (pandas: .dt.tz_localize(None); polars: "
                           ".dt.replace_time_zone(None))");
            const std::int64_t add = src.tz_offset_s.value_or(0) * kNsPerSec;
            const std::int64_t mult = src.type == NANOARROW_TYPE_DATE32   ? (src.unit_ns == 1 ? kNsPerDay : src.unit_ns)
                                      : src.type == NANOARROW_TYPE_DATE64 ? 1'000'000
                                                                          : src.unit_ns;
            const bool zero_copy = src.chunks.size() == 1 && mult == 1 && add == 0 && !src.nat_is_null &&
                             no_nulls(src.chunks[0]) && src.chunks[0].view->storage_type == NANOARROW_TYPE_INT64;
            if (zero_copy) {
                const Chunk& c = src.chunks[0];
                const std::int64_t* p = c.view->buffer_views[1].data.as_int64 + c.view->offset + c.start;
                if (aligned8(p)) {
                    v.i64 = {p, static_cast<std::size_t>(c.length)};
                    return;
                }
            }
            v.own_i64.resize(col.length);
            each_row(src, [&](std::size_t row, const Chunk& c, std::int64_t k) {
                if (is_null(c, k - c.start)) null_time(row);
                const std::int64_t raw = ArrowArrayViewGetIntUnsafe(c.view, k);
                if (src.nat_is_null && raw == std::numeric_limits<std::int64_t>::min()) null_time(row);
                const auto ns = scaled(raw, mult, add);
                if (!ns) out_of_range(row);
                v.own_i64[row] = *ns;
            });
            break;
        }
        case ColumnType::Int: {
            v.own_i64.resize(col.length);
            const bool u64 = is_unsigned64(src.type);
            each_row(src, [&](std::size_t row, const Chunk& c, std::int64_t k) {
                if (is_null(c, k - c.start)) null_time(row);
                const std::int64_t raw =
                    u64 ? static_cast<std::int64_t>(std::min<std::uint64_t>(ArrowArrayViewGetUIntUnsafe(c.view, k),
                                                                            100'000'000))
                        : ArrowArrayViewGetIntUnsafe(c.view, k);
                const auto d = zj_core::date_from_yyyymmdd(raw);
                if (!d) bad_row(col, row, std::to_string(raw) + " is not a date written YYYYMMDD");
                const auto ns = to_ns(*d);
                if (!ns) out_of_range(row);
                v.own_i64[row] = *ns;
            });
            break;
        }
        case ColumnType::Text: {
            v.own_i64.resize(col.length);
            zj_core::DateTimeReader reader;
            each_row(src, [&](std::size_t row, const Chunk& c, std::int64_t k) {
                if (is_null(c, k - c.start)) null_time(row);
                const std::string_view s = text_at(col, c, k, row);
                const auto t = parse_time_text(s, reader);
                if (!t)
                    bad_row(col, row,
                            quoted(s) + " is not a date or date-time (YYYY-MM-DD, YYYYMMDD or YYYY-MM-DD HH:MM:SS)");
                const auto ns = to_ns(*t);
                if (!ns) out_of_range(row);
                v.own_i64[row] = *ns;
            });
            break;
        }
        default: cannot_read(col, Kind::DateTime);
    }
    v.i64 = v.own_i64;
}

// "2024-01-02" for days since 1970-01-01.
std::string date_text(std::int64_t days) {
    const zj_core::CivilDate d = zj_core::civil_from_days(days);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u", static_cast<long long>(d.year), d.month, d.day);
    return buf;
}

void read_time_of_day(const Column& col, const Source& src, Values& v) {
    v.own_i64.resize(col.length);
    const auto null_time = [&](std::size_t row) { bad_row(col, row, "missing time (null)"); };
    if (col.type == ColumnType::Timestamp) {
        // A date-time stands for its time of day; the rows of one table are
        // one day's, so a second date is an error.
        Values stamps;
        read_datetime(col, src, stamps);
        const auto day_of = [](std::int64_t ns) { return ns / kNsPerDay - (ns % kNsPerDay < 0 ? 1 : 0); };
        const std::int64_t day = col.length > 0 ? day_of(stamps.i64[0]) : 0;
        for (std::size_t row = 0; row < col.length; ++row) {
            const std::int64_t ns = stamps.i64[row];
            if (day_of(ns) != day)
                bad_row(col, row, "date " + date_text(day_of(ns)) + " differs from " + date_text(day) +
                                      " of row 0; a table holds one trading day (mixed days)");
            v.own_i64[row] = ns - day * kNsPerDay;
        }
    } else if (col.type == ColumnType::TimeOfDay) {
        each_row(src, [&](std::size_t row, const Chunk& c, std::int64_t k) {
            if (is_null(c, k - c.start)) null_time(row);
            const auto ns = scaled(ArrowArrayViewGetIntUnsafe(c.view, k), src.unit_ns, 0);
            if (!ns || *ns < 0 || *ns >= kNsPerDay) bad_row(col, row, "time of day out of range");
            v.own_i64[row] = *ns;
        });
    } else if (col.type == ColumnType::Text) {
        each_row(src, [&](std::size_t row, const Chunk& c, std::int64_t k) {
            if (is_null(c, k - c.start)) null_time(row);
            const std::string_view s = text_at(col, c, k, row);
            zj_core::TimeOfDay t;
            const auto err = zj_core::parse_hms(s, t);
            if (err != zj_core::TimeParseError::None)
                bad_row(col, row, quoted(s) + " is not a time HH:MM:SS (" + std::string(zj_core::describe(err)) + ")");
            v.own_i64[row] = static_cast<std::int64_t>(t.secs) * kNsPerSec + static_cast<std::int64_t>(t.nanos);
        });
    } else {
        cannot_read(col, Kind::TimeOfDay);
    }
    v.i64 = v.own_i64;
}

}  // namespace

// ---- public -----------------------------------------------------------------

void raise_column_error(const ColumnError& e) { raise(e.type_error ? PyExc_TypeError : PyExc_ValueError, e.what()); }

const Column* Table::find(std::string_view name) const {
    for (const Column& c : columns)
        if (c.name == name) return &c;
    return nullptr;
}

std::string Table::names() const {
    std::string out;
    for (const Column& c : columns) {
        if (!out.empty()) out += ", ";
        out += quoted(c.name);
    }
    return out.empty() ? "no columns" : out;
}

Table read_table(PyObject* source) {
    Table t;
    t.owner = std::make_shared<Owner>();
    std::vector<Source> sources;
    if (!PyObject_CheckBuffer(source) && read_arrow_or_fall_back(t, sources, source, PyMapping_Check(source) == 1)) {
        for (std::size_t i = 0; i < t.columns.size(); ++i) t.columns[i].length = t.rows;
    } else if (PyMapping_Check(source) && !PyUnicode_Check(source) && !PySequence_Check(source)) {
        read_mapping(t, sources, source);
    } else {
        raise_type_error("expected a DataFrame, an Arrow table or batch, or a mapping of column name to array, not " +
                         type_name(source));
    }
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        if (t.columns[i].length != t.rows)
            raise_value_error("column " + quoted(t.columns[i].name) + " has " + std::to_string(t.columns[i].length) +
                              " rows, column " + quoted(t.columns[0].name) + " has " + std::to_string(t.rows));
        t.columns[i].source = std::make_shared<const Source>(std::move(sources[i]));
    }
    return t;
}

Values read_values(const Column& column, Kind kind) {
    Values v;
    v.column = &column;
    v.kind = kind;
    const Source& src = *column.source;
    switch (kind) {
        case Kind::Float: read_float(column, src, v); break;
        case Kind::Int: read_int(column, src, v); break;
        case Kind::Text: read_text(column, src, v); break;
        case Kind::DateTime: read_datetime(column, src, v); break;
        case Kind::TimeOfDay: read_time_of_day(column, src, v); break;
    }
    return v;
}

BindOptions bind_options(PyObject* columns, PyObject* symbol) {
    BindOptions out;
    if (columns != nullptr && columns != Py_None) {
        if (!PyMapping_Check(columns) || PySequence_Check(columns))
            raise_type_error("columns must be a mapping of field name to column name, not " + type_name(columns));
        Ref items = Ref::check(PyMapping_Items(columns));
        const Py_ssize_t n = PyList_Size(items.get());
        for (Py_ssize_t i = 0; i < n; ++i) {
            Ref pair = Ref::borrow(PyList_GetItem(items.get(), i));
            PyObject* k = PyTuple_GetItem(pair.get(), 0);
            PyObject* v = PyTuple_GetItem(pair.get(), 1);
            if (!k || !v || !PyUnicode_Check(k) || !PyUnicode_Check(v))
                raise_type_error("columns must map str to str (field name to column name)");
            out.overrides.emplace_back(std::string(to_str(k)), std::string(to_str(v)));
        }
    }
    if (symbol != nullptr && symbol != Py_None) {
        if (!PyUnicode_Check(symbol)) raise_type_error("symbol must be a column name (str), not " + type_name(symbol));
        out.symbol = std::string(to_str(symbol));
        out.want_symbol = true;
    }
    return out;
}

namespace {

// The column standing for one field: override, canonical name, one alias.
const Column* match(const Table& table, const zj_core::schema::Field& field, std::string_view record_kind,
                    const BindOptions& options) {
    for (const auto& [name, column] : options.overrides) {
        if (name != field.name) continue;
        if (const Column* c = table.find(column)) return c;
        value_error("column " + quoted(column) + " given for the " + std::string(record_kind) + " field " +
                    quoted(field.name) + " is not in the table; found " + table.names());
    }
    if (const Column* c = table.find(field.name)) return c;
    const Column* found = nullptr;
    for (std::string_view alias : field.aliases) {
        if (alias.empty()) continue;
        const Column* c = table.find(alias);
        if (!c) continue;
        if (found)
            value_error("columns " + quoted(found->name) + " and " + quoted(c->name) + " both stand for the " +
                        std::string(record_kind) + " field " + quoted(field.name) + "; choose one with columns={" +
                        quoted(field.name) + ": ...}");
        found = c;
    }
    return found;
}

}  // namespace

Bound bind(const Table& table, const zj_core::schema::RecordSchema& schema, const BindOptions& options) {
    const std::string kind(schema.kind);
    for (const auto& [name, column] : options.overrides) {
        if (schema.find(name) || (options.want_symbol && name == zj_core::schema::kSymbol.name)) continue;
        std::string fields;
        for (const auto& f : schema.fields) fields += (fields.empty() ? "" : ", ") + quoted(f.name);
        value_error("columns= names " + quoted(name) + ", which is not a " + kind + " field (" + fields + ")");
    }
    Bound out;
    out.rows = table.rows;
    // Columns are matched first (in field order, so that the first problem
    // is the one reported), then read, possibly at once.
    std::vector<const Column*> matched;
    for (const auto& field : schema.fields) {
        const Column* c = match(table, field, schema.kind, options);
        bool required = field.required;
        for (const auto& r : options.required) required |= r == field.name;
        if (!c && required)
            value_error("missing column " + quoted(field.name) + " (" + kind + " field); found " + table.names());
        matched.push_back(c);
    }
    const Column* symbol = nullptr;
    if (options.symbol) {
        symbol = table.find(*options.symbol);
        if (!symbol)
            value_error("symbol column " + quoted(*options.symbol) + " is not in the table; found " + table.names());
    } else if (options.want_symbol) {
        symbol = match(table, zj_core::schema::kSymbol, schema.kind, options);
    }
    out.fields.resize(schema.fields.size());
    for (std::size_t i = 0; i < schema.fields.size(); ++i) out.fields[i].kind = schema.fields[i].kind;
    const std::size_t reads = schema.fields.size() + 1;  // the fields, then the symbol
    std::vector<std::exception_ptr> failures(reads);
    const auto read = [&](std::size_t i) {
        try {
            if (i < schema.fields.size()) {
                if (matched[i]) out.fields[i] = read_values(*matched[i], schema.fields[i].kind);
            } else if (symbol) {
                out.symbol = read_values(*symbol, Kind::Text);
            }
        } catch (...) {
            failures[i] = std::current_exception();
        }
    };
    if (options.parallel) {
        options.parallel(reads, read);
    } else {
        for (std::size_t i = 0; i < reads; ++i) read(i);
    }
    for (const std::exception_ptr& f : failures)
        if (f) std::rethrow_exception(f);
    return out;
}

}  // namespace zj_python::columns
