#include "zj_python/boundary/results.hpp"

#include <map>
#include <vector>

namespace zj_python {

PyObject* const* interned_keys(const void* description, std::span<const std::string_view> names) {
    static std::map<const void*, std::vector<PyObject*>> made;  // GIL held: no lock needed
    auto it = made.find(description);
    if (it != made.end()) return it->second.data();
    std::vector<PyObject*> keys;
    for (std::string_view n : names) {
        PyObject* k = PyUnicode_FromStringAndSize(n.data(), static_cast<Py_ssize_t>(n.size()));
        if (k == nullptr) {
            for (PyObject* o : keys) Py_DECREF(o);
            throw PyErrOccurred{};
        }
        PyUnicode_InternInPlace(&k);
        keys.push_back(k);
    }
    return made.emplace(description, std::move(keys)).first->second.data();
}

Ref cell_value(const zj_core::results::Cell& c, zj_core::results::Kind kind) {
    using zj_core::results::Kind;
    switch (kind) {
        case Kind::Float: return py_float(c.f);
        case Kind::Int: return py_int(c.i);
        case Kind::Bool: return py_bool(c.b);
        case Kind::OptBool: return c.null ? py_none() : py_bool(c.b);
        case Kind::Text: return py_str(zj_core::results::text_of(c));
        case Kind::IntList: {
            Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(c.list.size())));
            for (std::size_t i = 0; i < c.list.size(); ++i)
                PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), py_int(c.list[i]).release());
            return list;
        }
    }
    return py_none();
}

}  // namespace zj_python
