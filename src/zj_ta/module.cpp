// zjkit.ta: every function of the indicator library over Python series.
// Multi-phase initialisation; the single execution step adds TaError, the
// MaType enum and the functions, area by area.
#include "zj_ta/series.hpp"

namespace zj_ta {
namespace {

using Registration = void (*)(PyObject*);

constexpr Registration kRegistrations[] = {
    &register_overlap, &register_math_operator, &register_statistic, &register_volatility, &register_momentum,
};

int exec_module(PyObject* module) {
    PyObject* result = zj_python::guarded([&]() -> PyObject* {
        Ref all = Ref::check(Py_BuildValue("[ss]", "TaError", "MaType"));
        if (PyObject_SetAttrString(module, "__all__", all.get()) < 0) throw PyErrOccurred{};
        init_types(module);
        for (Registration r : kRegistrations) r(module);
        return Py_NewRef(Py_None);
    });
    if (!result) return -1;
    Py_DECREF(result);
    return 0;
}

PyModuleDef_Slot kSlots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(&exec_module)},
    {0, nullptr},
};

PyModuleDef kModule = {
    PyModuleDef_HEAD_INIT,
    "ta",
    "Technical indicators after the TA-Lib definitions, over any 1-D float64 buffer, pandas or polars\n"
    "Series, Arrow array or sequence of numbers. Every output has the input's length; the first\n"
    "lookback entries are NaN. Outputs follow the first input: pandas Series (same index) for pandas,\n"
    "polars Series for polars, numpy arrays for numpy and Arrow, array.array('d') otherwise. Bad\n"
    "parameters and too-short input raise TaError (a ValueError).",
    0,
    nullptr,
    kSlots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace
}  // namespace zj_ta

PyMODINIT_FUNC PyInit_ta(void) {
    return PyModuleDef_Init(&zj_ta::kModule);
}
