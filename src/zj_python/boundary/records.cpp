#include "zj_python/boundary/records.hpp"

#include <stdexcept>
#include <string>

#include "zj_python/boundary/clinic.hpp"

namespace zj_python {

using zj_core::schema::Kind;

namespace {

bool is_time_instance(PyObject* o) {
    Ref datetime = Ref::check(PyImport_ImportModule("datetime"));
    Ref time_type = Ref::check(PyObject_GetAttrString(datetime.get(), "time"));
    const int is = PyObject_IsInstance(o, time_type.get());
    if (is < 0) throw PyErrOccurred{};
    return is != 0;
}

std::uint32_t int_attr(PyObject* o, const char* name) {
    Ref v = Ref::check(PyObject_GetAttrString(o, name));
    const long long x = PyLong_AsLongLong(v.get());
    if (x == -1 && PyErr_Occurred()) throw PyErrOccurred{};
    return static_cast<std::uint32_t>(x);
}

// A failed attribute read that means "no such field": the attribute is
// missing, or a property computing it fails the way a conversion or a
// computation fails. Anything else goes on.
bool attribute_failed() noexcept {
    return PyErr_ExceptionMatches(PyExc_AttributeError) || PyErr_ExceptionMatches(PyExc_ArithmeticError) ||
           conversion_failed();
}

}  // namespace

bool conversion_failed() noexcept {
    return PyErr_ExceptionMatches(PyExc_TypeError) || PyErr_ExceptionMatches(PyExc_ValueError) ||
           PyErr_ExceptionMatches(PyExc_OverflowError);
}

zj_core::TimeOfDay read_time(PyObject* o, const TimeMessages& messages) {
    if (o == nullptr) raise_value_error(messages.missing);
    if (PyUnicode_Check(o)) {
        const std::string_view text = to_str(o);
        zj_core::TimeOfDay t;
        if (auto e = zj_core::parse_hms(text, t); e != zj_core::TimeParseError::None) {
            std::string msg(messages.invalid_prefix);
            msg.append(text);
            msg += "': ";
            msg.append(zj_core::describe(e));
            raise_value_error(msg);
        }
        return t;
    }
    if (!is_time_instance(o)) raise_type_error("'time' must be str or datetime.time");
    // datetime.time keeps its fields in range, so these fit.
    const std::uint32_t h = int_attr(o, "hour"), m = int_attr(o, "minute"), s = int_attr(o, "second");
    const std::uint32_t us = int_attr(o, "microsecond");
    // Only a subclass overriding the fields could break their ranges.
    if (h > 23 || m > 59 || s > 59 || us > 999'999) raise_type_error("'time' must be str or datetime.time");
    return zj_core::TimeOfDay::hms(h, m, s, us * 1000u);
}

void add_exception_note(std::string_view note) noexcept {
    PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
    PyErr_Fetch(&type, &value, &tb);
    if (type == nullptr) return;
    PyErr_NormalizeException(&type, &value, &tb);
    if (tb != nullptr && value != nullptr) PyException_SetTraceback(value, tb);
    if (value != nullptr) {
        Ref text(PyUnicode_FromStringAndSize(note.data(), static_cast<Py_ssize_t>(note.size())));
        Ref done;
        if (text) done = Ref(PyObject_CallMethod(value, "add_note", "O", text.get()));
        if (!done) PyErr_Clear();  // the exception is raised without its note
    }
    PyErr_Restore(type, value, tb);
}

KeySet::KeySet(std::initializer_list<const char*> names) {
    keys_.reserve(names.size());
    for (const char* n : names) keys_.push_back(Ref::check(PyUnicode_InternFromString(n)));
}

// ---- Record ----------------------------------------------------------------

Kind Record::kind_of(std::size_t k) const { return reader_.schema_.fields[k].kind; }

void Record::raise_missing(std::size_t k) const {
    std::string msg = "Missing '";
    msg.append(reader_.schema_.fields[k].name);
    msg += "'";
    raise_value_error(msg);
}

zj_core::TimeOfDay Record::time(std::size_t k) {
    assert(reader_.schema_.fields[k].kind == Kind::TimeOfDay);
    at(k);
    return read_time(values_[k], *reader_.options_.times);
}

std::optional<double> Record::opt_f64(std::size_t k) {
    assert(kind_of(k) == Kind::Float && !reader_.required(k));
    at(k);
    if (values_[k] == nullptr) return std::nullopt;
    return to_f64(values_[k]);
}

double Record::f64_or(std::size_t k, double fallback) {
    at(k);
    PyObject* o = values_[k];
    if (o == nullptr) return fallback;
    if (PyFloat_CheckExact(o)) return PyFloat_AsDouble(o);
    const double v = PyFloat_AsDouble(o);
    if (v == -1.0 && PyErr_Occurred()) {
        if (!conversion_failed()) throw PyErrOccurred{};
        PyErr_Clear();
        return fallback;
    }
    return v;
}

std::string Record::text_or_empty(std::size_t k) {
    at(k);
    PyObject* o = values_[k];
    if (o == nullptr || !PyUnicode_Check(o)) return {};
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(o, &size);
    if (data == nullptr) {
        if (!conversion_failed()) throw PyErrOccurred{};  // unencodable text is a ValueError
        PyErr_Clear();
        return {};
    }
    return std::string(data, static_cast<std::size_t>(size));
}

void Record::load_remaining(PyObject* dict, std::size_t hits) {
    // When every entry was one of our keys, the others are absent.
    if (PyDict_Size(dict) == static_cast<Py_ssize_t>(hits)) return;
    PyObject* const* keys = reader_.key_objects_;
    for (std::size_t j = 0; j < count_; ++j) {
        if (values_[j] != nullptr || keys[j] == nullptr) continue;  // met, or never read
        at(j);
        // May run a key's __eq__, which may change the dict: what was met
        // before is owned, and this value is owned before anything else runs.
        PyObject* v = PyDict_GetItemWithError(dict, keys[j]);
        if (v == nullptr && PyErr_Occurred()) throw PyErrOccurred{};
        Py_XINCREF(v);
        values_[j] = v;
    }
    reader_.where_.key = RecordReader::kNoKey;
}

void Record::load_attributes(PyObject* object) {
    const RecordReader& r = reader_;
    r.where_.attribute = true;
    for (std::size_t j = 0; j < r.schema_.fields.size(); ++j) {
        if (r.options_.skipped & field_bit(j)) continue;
        at(j);
        values_[j] = PyObject_GetAttr(object, r.keys_[j].get());
        if (values_[j] != nullptr) continue;
        if (!attribute_failed()) throw PyErrOccurred{};
        PyErr_Clear();
    }
    r.where_.key = RecordReader::kNoKey;
}

// ---- RecordReader ----------------------------------------------------------

RecordReader::RecordReader(const zj_core::schema::RecordSchema& schema, ReadOptions options)
    : schema_(schema), options_(options) {
    if (schema.fields.size() > kMaxFields) throw std::logic_error("record kind with too many fields");
    for (std::size_t j = 0; j < schema.fields.size(); ++j) {
        if (options.skipped & field_bit(j)) continue;
        const std::string name(schema.fields[j].name);
        keys_[j] = Ref::check(PyUnicode_InternFromString(name.c_str()));
        key_objects_[j] = keys_[j].get();
        ++wanted_;
    }
}

const char* RecordReader::argument_name(PyObject* list) {
    const char* name = clinic::CallFrame::name_of(list);
    return name ? name : "data";
}

void RecordReader::load_other(Record& record, PyObject* item) const {
    if (!options_.attributes) raise_not_instance(item, "dict");
    record.load_attributes(item);
}

void RecordReader::annotate() const noexcept try {
    std::string note = where_.argument;
    note += '[';
    note += std::to_string(where_.index);
    note += ']';
    if (where_.key != kNoKey) {
        const std::string_view name = schema_.fields[where_.key].name;
        if (where_.attribute) {
            note += '.';
            note.append(name);
        } else {
            note += "['";
            note.append(name);
            note += "']";
        }
    }
    add_exception_note(note);
} catch (...) {  // no memory for the note: the error goes on without it
}

}  // namespace zj_python
