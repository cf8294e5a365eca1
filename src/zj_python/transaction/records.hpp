#pragma once
// Reading tape records from lists of dicts, shared by the tape bindings.
#include <string_view>
#include <vector>

#include "zj_core/transaction/types.hpp"
#include "zj_python/boundary/ref.hpp"

namespace zj_python::transaction {

// Each dict becomes a TransactionPoint; keys are read in the order time,
// price, vol, trade_count, bs_flag, each absent one raising "Missing '{key}'".
std::vector<zj_core::transaction::TransactionPoint> transaction_points(PyObject* data);

// Each dict becomes a ScreeningTxPoint; time, price and vol are required,
// trade_count is 1 when absent or not a 32-bit integer.
std::vector<zj_core::transaction::ScreeningTxPoint> screening_points(PyObject* data);

// The functions of this area, in the order they are added to the module.
PyMethodDef* trans_analysis_def();
PyMethodDef* trans_breakout_def();
PyMethodDef* screening_metrics_def();

}  // namespace zj_python::transaction
