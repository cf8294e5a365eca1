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
    &register_dispatch,
    &register_generate_all,
};

int exec_module(PyObject* module) {
    try {
        for (Registration r : kRegistrations) r(module);
        return 0;
    } catch (const PyErrOccurred&) {
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        set_internal_error(e.what());
    } catch (...) {
        set_internal_error("unknown C++ exception during module initialisation");
    }
    if (!PyErr_Occurred()) set_internal_error("module initialisation failed");
    return -1;
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
