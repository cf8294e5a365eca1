// The tape functions of the module, added in their table order.
#include "zj_python/module.hpp"
#include "zj_python/transaction/records.hpp"

namespace zj_python {

void register_transaction(PyObject* module) {
    add_function(module, transaction::trans_analysis_def());
    add_function(module, transaction::trans_breakout_def());
    add_function(module, transaction::screening_metrics_def());
}

}  // namespace zj_python
