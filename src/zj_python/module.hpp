#pragma once
// The module frame: how binding areas add their functions.
#include "zj_python/boundary/ref.hpp"

namespace zj_python {

// Adds one function to the module: appends its __name__ to the module's
// __all__ (created on first use) and sets it as the attribute of that name.
void add_function(PyObject* module, PyMethodDef* def);

// Registration routines of the binding areas, called in this order by the
// module's execution step so that the functions appear in table order.
void register_tick(PyObject* module);      // tick_analysis
void register_transaction(PyObject* module);  // trans_analysis, trans_breakout, screening_metrics
void register_auction_scan(PyObject* module);  // auction_scanner_version, auction_morphology_names, auction_scan
void register_auction_false_sell(PyObject* module);  // false_sell_version, auction_false_sell
void register_dispatch(PyObject* module);  // generate_zj_signals, zj_signal_list
void register_generate_all(PyObject* module);  // generate_all_signals
void register_zs(PyObject* module);        // get_zs_seq

}  // namespace zj_python
