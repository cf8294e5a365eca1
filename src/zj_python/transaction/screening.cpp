// screening_metrics: thirteen screener figures of a day's tape.
#include "zj_core/transaction/screening.hpp"
#include "zj_python/boundary/bad_data.hpp"
#include "zj_python/boundary/clinic.hpp"
#include "zj_python/boundary/results.hpp"
#include "zj_python/transaction/records.hpp"

namespace zj_python::transaction {
namespace {

Ref screening_metrics_fn(PyObject* data) {
    const auto points = screening_points(data);
    require_sound_records(points);
    const auto m = zj_core::transaction::compute_screening_metrics(points);
    if (!m) return py_none();
    return result_dict<zj_core::results::R3>(zj_core::results::kScreening, *m);
}

constexpr clinic::Function kScreeningMetrics{"screening_metrics", clinic::List{"data"}};

}  // namespace

PyMethodDef* screening_metrics_def() { return clinic::method<kScreeningMetrics, screening_metrics_fn>(); }

}  // namespace zj_python::transaction
