#pragma once
// Reading lists of dicts into plain records.
//
//   KeySet keys{"time", "price", "vol"};            // key objects made once per call
//   for_each_dict(data, [&](PyObject* item) {        // each item checked to be a dict
//       Field price = field(item, keys[1]);          // present or not, owned
//       points.push_back({..., price.f64_or_missing("price")});
//   });
//
// Items are held by a strong reference while they are read, so user code run
// by a conversion (a __float__, say) cannot pull them away.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "zj_core/common/time_of_day.hpp"
#include "zj_python/boundary/convert.hpp"

namespace zj_python {

// Interned key objects for one call.
class KeySet {
public:
    KeySet(std::initializer_list<const char*> names);
    PyObject* operator[](std::size_t i) const { return keys_[i].get(); }
    const char* name(std::size_t i) const { return names_[i]; }

private:
    std::vector<Ref> keys_;
    std::vector<const char*> names_;
};

// One looked-up value: empty when the key is absent.
class Field {
public:
    explicit Field(Ref value) : value_(std::move(value)) {}
    bool present() const { return static_cast<bool>(value_); }
    PyObject* get() const { return value_.get(); }

    // Required fields: ValueError "Missing '{name}'" when absent, else the
    // conversion's own error.
    double f64(const char* name) const { return to_f64(require(name)); }
    std::int64_t i64(const char* name) const { return to_i64(require(name)); }
    std::int32_t i32(const char* name) const { return to_i32(require(name)); }
    std::string_view str(const char* name) const { return to_str(require(name)); }
    PyObject* require(const char* name) const;

private:
    Ref value_;
};

// dict[key] without calling __getitem__ overrides; lookup errors propagate.
Field field(PyObject* dict, PyObject* key);

// The values of the first N `keys` in one dict, as a lookup of each key would find them.
// Records built by Python code hold the very key objects we look up (string
// literals are interned), so one walk over the entries comparing identities
// finds them faster than a hash lookup per key; a key not met that way is
// looked up as usual. The values are held before any of them is converted.
template <std::size_t N>
std::array<Field, N> fields(PyObject* dict, const KeySet& keys) {
    std::array<PyObject*, N> met{};
    std::size_t hits = 0;
    Py_ssize_t pos = 0;
    PyObject *key = nullptr, *value = nullptr;
    while (hits < N && PyDict_Next(dict, &pos, &key, &value)) {
        for (std::size_t j = 0; j < N; ++j) {
            if (key == keys[j]) {
                met[j] = value;
                ++hits;
                break;
            }
        }
    }
    return [&]<std::size_t... J>(std::index_sequence<J...>) {
        return std::array<Field, N>{(met[J] ? Field(Ref::borrow(met[J])) : field(dict, keys[J]))...};
    }(std::make_index_sequence<N>{});
}

// Number of items of a list (which user code may resize while we read it).
inline Py_ssize_t list_size(PyObject* list) { return PyList_Size(list); }

// Calls fn(item) for each item of `list`, in order, with the item held; each
// item must be a dict (TypeError otherwise, without an argument prefix).
template <class Fn>
void for_each_dict(PyObject* list, Fn&& fn) {
    for (Py_ssize_t i = 0; i < PyList_Size(list); ++i) {
        Ref item = Ref::borrow(PyList_GetItem(list, i));
        if (!item) throw PyErrOccurred{};
        require_dict(item.get());
        fn(item.get());
    }
}

// Texts of the time-of-day errors; the tick analysis words them differently.
struct TimeMessages {
    std::string_view missing = "Missing 'time'";
    std::string_view invalid_prefix = "Invalid time '";  // followed by text, "': " and the reason
};
inline constexpr TimeMessages kTimeMessages{};

// Reads the time key of an intraday record: a "%H:%M:%S" str, else a
// datetime.time; TypeError "'time' must be str or datetime.time" otherwise.
zj_core::TimeOfDay read_time(const Field& value, const TimeMessages& messages = kTimeMessages);

}  // namespace zj_python
