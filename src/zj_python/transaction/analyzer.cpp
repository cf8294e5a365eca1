// trans_analysis: breakout verdict of a day's trade-by-trade tape.
#include "zj_core/transaction/core.hpp"
#include "zj_python/boundary/bad_data.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/results.hpp"
#include "zj_python/transaction/records.hpp"

namespace zj_python::transaction {
namespace {

Ref trans_analysis(PyObject* data, double pre_close, double high, double low) {
    require_reference_price("pre_close", pre_close);
    require_reference_price("high", high);
    require_reference_price("low", low);
    require_ordered_range(high, low);
    const auto points = transaction_points(data);
    require_sound_records(points);
    const auto r = zj_core::transaction::analyze_transactions(points, pre_close, high, low);
    if (!r) return py_none();
    return result_dict<zj_core::results::R1>(zj_core::results::kTransactionAnalysis, *r);
}

constexpr clinic::Function kTransAnalysis{"trans_analysis", clinic::List{"data"}, clinic::Float{"pre_close"},
                                          clinic::Float{"high"}, clinic::Float{"low"}};

}  // namespace

PyMethodDef* trans_analysis_def() { return clinic::method<kTransAnalysis, trans_analysis>(); }

}  // namespace zj_python::transaction
