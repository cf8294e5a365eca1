// zjkit._engine: module definition with multi-phase initialisation. The single
// execution step adds each area's functions.
#include "zj_engine/module.hpp"

namespace zj_engine {
namespace {

// One line per area; an area is one file under src/zj_engine/.
constexpr Registration kRegistrations[] = {
    &register_marks,  // tape_marks, minute_marks, auction_marks
    &register_columns,
    &register_signals,
    &register_tape,
    &register_minutes,
    &register_auctions,
    &register_zones,
};

int exec_module(PyObject* module) {
    PyObject* done = zj_python::guarded([&]() -> PyObject* {
        for (Registration r : kRegistrations)
            if (r != nullptr) r(module);
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
    "_engine",
    "Columnar entry points and per-record detail under zjkit.frame and zjkit.plot.",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace zj_engine

PyMODINIT_FUNC PyInit__engine(void) {
    return PyModuleDef_Init(&zj_engine::kModule);
}
