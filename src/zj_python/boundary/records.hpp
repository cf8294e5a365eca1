#pragma once
// Reading lists of records (dicts, or objects carrying the fields as
// attributes) into plain records, driven by the record kinds of
// zj_core/schema.hpp. One reader serves every binding; what differs between
// bindings (lenient fields, a field optional in one analysis, the wording of
// time errors, attribute objects) is a ReadOptions value.
//
//   const RecordReader reader(zj_core::schema::kTrade);
//   reader.each(data, [&](Record& r) {
//       p.time = r.time(0);           // "Missing 'time'" when absent, else the conversion's error
//       p.price = r.f64(1);
//   });
//
// Input may change itself while it is read: a key's __eq__, a value's
// __float__ or __index__ may clear the record, resize it or shrink the list.
// So every value is owned (a strong reference) from the moment it is found,
// the list's length is checked before each item, and a dict is never walked
// while Python code can run. The walk over a record's entries only compares
// key identities (records built by Python code hold the interned key
// objects), which runs no Python code; keys not met that way are then looked
// up one by one, each value owned at once.
//
// An error raised while record i is read keeps its class and message and gains
// one note naming where: "data[500]['price']", "bars[3].close" for an
// attribute, "data[7]" where no key applies. The argument's name is the one
// its function's description gives it.
#include <array>
#include <cassert>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zj_core/common/time_of_day.hpp"
#include "zj_core/schema.hpp"
#include "zj_python/boundary/convert.hpp"

namespace zj_python {

// Interned key objects for one call (result dicts are filled with them).
class KeySet {
public:
    KeySet(std::initializer_list<const char*> names);
    PyObject* operator[](std::size_t i) const { return keys_[i].get(); }

private:
    std::vector<Ref> keys_;
};

// An error that already carries its record note; rethrown as is by outer readers.
struct AnnotatedError : PyErrOccurred {};

// Texts of the time-of-day errors; the tick analysis words them differently.
struct TimeMessages {
    std::string_view missing = "Missing 'time'";
    std::string_view invalid_prefix = "Invalid time '";  // followed by text, "': " and the reason
};
inline constexpr TimeMessages kTimeMessages{};

// Reads an intraday time value: a "%H:%M:%S" str, else a datetime.time;
// TypeError "'time' must be str or datetime.time" otherwise. NULL is missing.
zj_core::TimeOfDay read_time(PyObject* value, const TimeMessages& messages = kTimeMessages);

// The failures a lenient read falls back on: a conversion that could not be
// made (TypeError, ValueError, OverflowError). Anything else
// (KeyboardInterrupt, MemoryError, RuntimeError, ...) goes on.
bool conversion_failed() noexcept;

inline constexpr std::size_t kMaxFields = 12;
using FieldMask = std::uint32_t;
constexpr FieldMask field_bit(std::size_t k) { return FieldMask{1} << k; }

struct ReadOptions {
    FieldMask optional = 0;  // fields not required in this reading
    FieldMask skipped = 0;   // fields this reading never looks up
    bool attributes = false;  // items that are not dicts are read by attribute
    const TimeMessages* times = &kTimeMessages;
};

class RecordReader;

// One record being read: the owned values of its fields (absent ones empty).
class Record {
    using Kind = zj_core::schema::Kind;

public:
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
    ~Record() {
        for (std::size_t k = 0; k < count_; ++k) Py_XDECREF(values_[k]);
    }

    bool present(std::size_t k) const { return values_[k] != nullptr; }
    // The value of field k (borrowed from the record's own reference), or NULL.
    PyObject* get(std::size_t k) const { return values_[k]; }
    // The dict or object being read, held for the record's reading.
    PyObject* item() const { return item_.get(); }

    // Errors raised from now on are reported under field k.
    inline void at(std::size_t k);
    // Required fields: ValueError "Missing '{name}'" when absent, else the
    // interpreter's conversion error.
    inline PyObject* require(std::size_t k);
    double f64(std::size_t k) { return to_f64(require(k, Kind::Float)); }
    std::int64_t i64(std::size_t k) { return to_i64(require(k, Kind::Int)); }
    std::int32_t i32(std::size_t k) { return to_i32(require(k, Kind::Int)); }
    std::string_view str(std::size_t k) { return to_str(require(k, Kind::Text)); }
    zj_core::TimeOfDay time(std::size_t k);
    // An optional field: nullopt when absent, else converted (errors raise).
    std::optional<double> opt_f64(std::size_t k);

    // Lenient fields: the default when absent or when the conversion fails
    // (see conversion_failed); anything else raises.
    double f64_or(std::size_t k, double fallback);
    // A str's text, else "" (a value that is not a str, or unencodable text).
    std::string text_or_empty(std::size_t k);

private:
    friend class RecordReader;
    inline explicit Record(const RecordReader& reader);
    [[noreturn]] void raise_missing(std::size_t k) const;
    // require(k), for a conversion meant for fields of `kind`.
    PyObject* require(std::size_t k, [[maybe_unused]] Kind kind) {
        assert(kind_of(k) == kind);
        return require(k);
    }
    Kind kind_of(std::size_t k) const;
    inline void load_dict(PyObject* dict);
    // The fields the walk over the entries did not meet, looked up one by one.
    void load_remaining(PyObject* dict, std::size_t hits);
    void load_attributes(PyObject* object);

    const RecordReader& reader_;
    Ref item_;
    std::size_t count_;                 // fields of the record kind
    PyObject* values_[kMaxFields];      // owned; NULL when absent
};

class RecordReader {
public:
    explicit RecordReader(const zj_core::schema::RecordSchema& schema, ReadOptions options = {});
    RecordReader(const RecordReader&) = delete;
    RecordReader& operator=(const RecordReader&) = delete;

    const zj_core::schema::RecordSchema& schema() const { return schema_; }
    const ReadOptions& options() const { return options_; }

    // Calls fn(Record&) for each item of `list`, in order. Each item must be
    // a dict (TypeError "'int' object is not an instance of 'dict'"), or with
    // options.attributes any object.
    template <class Fn>
    void each(PyObject* list, Fn&& fn) const {
        where_.argument = argument_name(list);
        for (Py_ssize_t i = 0; i < PyList_Size(list); ++i) {
            where_.index = i;
            where_.key = kNoKey;
            where_.attribute = false;
            try {
                Record record(*this);
                // Owned at once: nothing has run since the length was checked.
                PyObject* item = PyList_GetItem(list, i);
                if (item == nullptr) throw PyErrOccurred{};
                Py_INCREF(item);
                record.item_ = Ref(item);
                if (PyDict_Check(item))
                    record.load_dict(item);
                else
                    load_other(record, item);
                fn(record);
            } catch (const AnnotatedError&) {
                throw;
            } catch (const PyErrOccurred&) {
                annotate();
                throw AnnotatedError{};
            }
        }
    }

private:
    friend class Record;
    static constexpr std::size_t kNoKey = static_cast<std::size_t>(-1);
    // Where the reading is, for the note of an error.
    struct Where {
        const char* argument = "data";
        Py_ssize_t index = 0;
        std::size_t key = kNoKey;
        bool attribute = false;
    };

    static const char* argument_name(PyObject* list);
    // An item that is not a dict: read by attribute, or a TypeError.
    void load_other(Record& record, PyObject* item) const;
    void annotate() const noexcept;
    bool required(std::size_t k) const {
        return schema_.fields[k].required && (options_.optional & field_bit(k)) == 0;
    }

    const zj_core::schema::RecordSchema& schema_;
    ReadOptions options_;
    std::array<Ref, kMaxFields> keys_{};  // interned field names
    PyObject* key_objects_[kMaxFields + 1]{};  // the same, NULL for skipped fields and at the end
    std::size_t wanted_ = 0;              // fields looked up
    mutable Where where_;
};

inline Record::Record(const RecordReader& reader)
    : reader_(reader), count_(reader.schema_.fields.size()), values_{} {}

inline void Record::at(std::size_t k) { reader_.where_.key = k; }

inline PyObject* Record::require(std::size_t k) {
    assert(reader_.required(k));  // optional fields are read with opt_f64, get or a lenient form
    at(k);
    if (values_[k] == nullptr) raise_missing(k);
    return values_[k];
}

inline void Record::load_dict(PyObject* dict) {
    const std::size_t n = count_, wanted = reader_.wanted_;
    PyObject* const* keys = reader_.key_objects_;  // keys[n] is NULL
    std::size_t hits = 0, next = 0;
    Py_ssize_t pos = 0;
    PyObject *key = nullptr, *value = nullptr;
    // Nothing in this walk runs Python code: identities only, and each value
    // is owned as soon as it is met. Records are mostly built with their keys
    // in one order, so the field after the last one met is tried first.
    while (hits < wanted && PyDict_Next(dict, &pos, &key, &value)) {
        std::size_t j = next;
        if (key != keys[j]) {
            for (j = 0; j < n && key != keys[j]; ++j) {
            }
            if (j == n) continue;
        }
        Py_INCREF(value);
        values_[j] = value;
        ++hits;
        next = j + 1;
    }
    if (hits < wanted) load_remaining(dict, hits);
}

// Adds `note` to the exception being raised (BaseException.add_note); the
// exception stays as it was if that fails.
void add_exception_note(std::string_view note) noexcept;

}  // namespace zj_python
