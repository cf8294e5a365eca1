// trans_breakout: does trading at or above a price confirm the breakout?
#include "zj_core/transaction/core.hpp"
#include "zj_python/boundary/bad_data.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/results.hpp"
#include "zj_python/transaction/records.hpp"

namespace zj_python::transaction {
namespace {

Ref analyze_breakout(PyObject* data, double breakout_price) {
    require_reference_price("breakout_price", breakout_price);
    const auto points = transaction_points(data);
    require_sound_records(points);
    const auto r = zj_core::transaction::analyze_breakout(points, breakout_price);
    if (!r) return py_none();
    return result_dict<zj_core::results::R2>(zj_core::results::kBreakout, *r);
}

constexpr clinic::Function kTransBreakout{"trans_breakout", clinic::List{"data"}, clinic::Float{"breakout_price"}};

}  // namespace

PyMethodDef* trans_breakout_def() { return clinic::method<kTransBreakout, analyze_breakout>(); }

}  // namespace zj_python::transaction
