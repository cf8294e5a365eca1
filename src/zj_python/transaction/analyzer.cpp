// trans_analysis: breakout verdict of a day's trade-by-trade tape.
#include "zj_core/transaction/core.hpp"
#include "zj_python/boundary/bad_data.hpp"
#include "zj_python/boundary/clinic.hpp"
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
    return ResultDict()
        .put("buy_vol_ratio", py_float(r->buy_vol_ratio))
        .put("sell_vol_ratio", py_float(r->sell_vol_ratio))
        .put("neutral_vol_ratio", py_float(r->neutral_vol_ratio))
        .put("large_trade_count", py_int(r->large_trade_count))
        .put("large_trade_vol_ratio", py_float(r->large_trade_vol_ratio))
        .put("large_buy_count", py_int(r->large_buy_count))
        .put("large_sell_count", py_int(r->large_sell_count))
        .put("large_buy_vol_ratio", py_float(r->large_buy_vol_ratio))
        .put("inst_buy_vol_ratio", py_float(r->inst_buy_vol_ratio))
        .put("inst_buy_count", py_int(r->inst_buy_count))
        .put("inst_sell_count", py_int(r->inst_sell_count))
        .put("inst_net_flow_ratio", py_float(r->inst_net_flow_ratio))
        .put("split_clusters", py_int(r->split_clusters))
        .put("matched_pairs", py_int(r->matched_pairs))
        .put("price_position", py_float(r->price_position))
        .put("day_chg_pct", py_float(r->day_chg_pct))
        .put("last_30min_vol_ratio", py_float(r->last_30min_vol_ratio))
        .put("last_30min_buy_sell_ratio", py_float(r->last_30min_buy_sell_ratio))
        .put("last_30min_momentum", py_float(r->last_30min_momentum))
        .put("is_breakout", py_bool(r->is_breakout))
        .put("confidence", py_float(r->confidence))
        .put("conclusion", py_str(r->conclusion))
        .put("details", py_str(r->details))
        .take();
}

constexpr clinic::Function kTransAnalysis{"trans_analysis", clinic::List{"data"}, clinic::Float{"pre_close"},
                                          clinic::Float{"high"}, clinic::Float{"low"}};

}  // namespace

PyMethodDef* trans_analysis_def() { return clinic::method<kTransAnalysis, trans_analysis>(); }

}  // namespace zj_python::transaction
