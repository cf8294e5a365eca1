// trans_breakout: does trading at or above a price confirm the breakout?
#include "zj_core/transaction/core.hpp"
#include "zj_python/boundary/bad_data.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/transaction/records.hpp"

namespace zj_python::transaction {
namespace {

Ref analyze_breakout(PyObject* data, double breakout_price) {
    require_reference_price("breakout_price", breakout_price);
    const auto points = transaction_points(data);
    require_sound_records(points);
    const auto r = zj_core::transaction::analyze_breakout(points, breakout_price);
    if (!r) return py_none();
    return ResultDict()
        .put("total_n", py_uint(r->total_n))
        .put("breakout_n", py_uint(r->breakout_n))
        .put("breakout_vol_ratio", py_float(r->breakout_vol_ratio))
        .put("breakout_buy_ratio", py_float(r->breakout_buy_ratio))
        .put("breakout_large_buy", py_uint(r->breakout_large_buy))
        .put("breakout_large_sell", py_uint(r->breakout_large_sell))
        .put("price_sustain_ratio", py_float(r->price_sustain_ratio))
        .put("is_strong", py_bool(r->is_strong))
        .put("classification", py_str(r->classification))
        .put("confidence", py_float(r->confidence))
        .put("details", py_str(r->details))
        .take();
}

constexpr clinic::Function kTransBreakout{"trans_breakout", clinic::List{"data"}, clinic::Float{"breakout_price"}};

}  // namespace

PyMethodDef* trans_breakout_def() { return clinic::method<kTransBreakout, analyze_breakout>(); }

}  // namespace zj_python::transaction
