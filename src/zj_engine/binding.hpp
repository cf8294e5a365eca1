#pragma once
// What the engine's functions share at the Python boundary: the parameter
// kind of a table-like argument, running a reading step without the GIL, and
// adding a function to the module.
#include <iterator>

#include "zj_engine/module.hpp"
#include "zj_engine/signal_frame.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/columns.hpp"
#include "zj_python/boundary/convert.hpp"

namespace zj_engine {

// Any object, borrowed; None when omitted (optional ones).
struct Object {
    using value_type = PyObject*;
    const char* name;
    bool optional = false;
    static value_type convert(PyObject* o) { return o; }
};
inline zj_python::clinic::ParamInfo info(const Object& p) { return {p.name, p.optional, p.optional ? "None" : ""}; }
inline PyObject* default_value(const Object&) { return Py_None; }

// Runs fn without the GIL; ColumnError and frame::InputError become ValueError
// / TypeError once the GIL is back.
template <class F>
auto released(F&& fn) -> decltype(fn()) {
    return zj_python::columns::without_gil([&] {
        try {
            return fn();
        } catch (const frame::InputError& e) {
            throw zj_python::columns::ColumnError(false, e.what());
        }
    });
}

// A new list of str, one per text.
template <class Texts>
Ref str_list(const Texts& texts) {
    Ref list = Ref::check(PyList_New(static_cast<Py_ssize_t>(std::size(texts))));
    Py_ssize_t i = 0;
    for (const auto& text : texts) PyList_SetItem(list.get(), i++, zj_python::py_str(text).release());
    return list;
}

// Adds a function described by the clinic to the engine module.
inline void add_engine_function(PyObject* module, PyMethodDef* def) {
    Ref name = Ref::check(PyModule_GetNameObject(module));
    Ref fn = Ref::check(PyCFunction_NewEx(def, module, name.get()));
    if (PyModule_AddObjectRef(module, def->ml_name, fn.get()) < 0) throw PyErrOccurred{};
}

}  // namespace zj_engine
