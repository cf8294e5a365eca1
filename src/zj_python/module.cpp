// zjkit._native: module definition with multi-phase initialisation. The single
// execution step adds the functions, area by area, in their fixed order.
#include "zj_python/module.hpp"

namespace zj_python {

void add_function(PyObject* module, PyMethodDef* def) {
    Ref module_name = Ref::check(PyModule_GetNameObject(module));
    Ref fn = Ref::check(PyCFunction_NewEx(def, module, module_name.get()));
    Ref name = Ref::check(PyObject_GetAttrString(fn.get(), "__name__"));
    Ref all(PyObject_GetAttrString(module, "__all__"));
    if (!all) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw PyErrOccurred{};
        PyErr_Clear();
        all = Ref::check(PyList_New(0));
        if (PyObject_SetAttrString(module, "__all__", all.get()) < 0) throw PyErrOccurred{};
    }
    if (PyList_Append(all.get(), name.get()) < 0) throw PyErrOccurred{};
    if (PyObject_SetAttr(module, name.get(), fn.get()) < 0) throw PyErrOccurred{};
}

namespace {

using Registration = void (*)(PyObject*);

// In the order of the module's function table.
constexpr Registration kRegistrations[] = {
    &register_tick,
    &register_transaction,
    &register_auction_scan,
    &register_auction_false_sell,
    &register_dispatch,
    &register_generate_all,
    &register_zs,
};

int exec_module(PyObject* module) {
    // Failures map to Python exceptions exactly as in a call; the import then fails.
    PyObject* done = guarded([&]() -> PyObject* {
        for (Registration r : kRegistrations) r(module);
        return Py_None;  // borrowed: only compared with NULL
    });
    return done != nullptr ? 0 : -1;
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "_native",  // m_name
    "",         // m_doc
    0,          // m_size: no per-module state
    nullptr,    // m_methods: functions are added by the execution step
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace zj_python

PyMODINIT_FUNC PyInit__native(void) {
    return PyModuleDef_Init(&zj_python::kModule);
}
