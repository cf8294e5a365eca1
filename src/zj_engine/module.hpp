#pragma once
// zjkit._engine: entry points over columnar data and per-record detail that
// the package's Python layers (frames, plots, runners) build on. It shares the
// cores and the boundary layer with zjkit._native, whose surface stays fixed.
#include "zj_python/boundary/ref.hpp"

namespace zj_engine {

using zj_python::PyErrOccurred;
using zj_python::Ref;

// Registration routines of the engine's areas, one per file, called in this
// order by the module's execution step. Each adds its functions with
// zj_python::add_function-like helpers of its own.
using Registration = void (*)(PyObject*);

void register_marks(PyObject* module);  // marks.cpp
void register_columns(PyObject* module);
void register_signals(PyObject* module);  // signals.cpp
void register_tape(PyObject* module);     // tape.cpp
void register_minutes(PyObject* module);  // minutes.cpp
void register_auctions(PyObject* module); // auctions.cpp
void register_zones(PyObject* module);    // zones.cpp

}  // namespace zj_engine
