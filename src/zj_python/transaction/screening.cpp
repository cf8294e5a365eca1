// screening_metrics: thirteen screener figures of a day's tape.
#include "zj_core/transaction/screening.hpp"
#include "zj_python/boundary/bad_data.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/transaction/records.hpp"

namespace zj_python::transaction {
namespace {

Ref screening_metrics_fn(PyObject* data) {
    const auto points = screening_points(data);
    require_sound_records(points);
    const auto m = zj_core::transaction::compute_screening_metrics(points);
    if (!m) return py_none();
    return ResultDict()
        .put("first30_vol_pct", py_float(m->first30_vol_pct))
        .put("midday_vol_pct", py_float(m->midday_vol_pct))
        .put("afternoon_vol_pct", py_float(m->afternoon_vol_pct))
        .put("last30_vol_pct", py_float(m->last30_vol_pct))
        .put("last5_vol_pct", py_float(m->last5_vol_pct))
        .put("large_pct", py_float(m->large_pct))
        .put("xl_pct", py_float(m->xl_pct))
        .put("large_amount_pct", py_float(m->large_amount_pct))
        .put("xl_amount_pct", py_float(m->xl_amount_pct))
        .put("avg_trade_vol", py_float(m->avg_trade_vol))
        .put("vwap", py_float(m->vwap))
        .put("avg_shares_per_trade", py_float(m->avg_shares_per_trade))
        .put("single_trade_vol_pct", py_float(m->single_trade_vol_pct))
        .take();
}

constexpr clinic::Function kScreeningMetrics{"screening_metrics", clinic::List{"data"}};

}  // namespace

PyMethodDef* screening_metrics_def() { return clinic::method<kScreeningMetrics, screening_metrics_fn>(); }

}  // namespace zj_python::transaction
