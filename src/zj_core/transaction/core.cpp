#include "zj_core/transaction/core.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "zj_core/common/numeric.hpp"

namespace zj_core::transaction {

namespace {

constexpr std::int64_t kClosingWindowStart = 14 * 3600;            // 14:00:00
constexpr std::int64_t kClosingAuctionStart = 14 * 3600 + 57 * 60;  // 14:57:00

double f64(VolSum v) { return static_cast<double>(v); }

std::int32_t count32(std::size_t c) {
    constexpr auto cap = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(std::min(c, cap));
}

std::string join(const std::vector<std::string>& parts, std::string_view sep) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += sep;
        out += parts[i];
    }
    return out;
}

// ⌈num × n / den⌉ in integers: the share thresholds of the penalties.
std::size_t ceil_share(std::size_t n, std::size_t num, std::size_t den) { return (n * num + den - 1) / den; }

// Runs of at least 5 same-flag directional trades, each 1 to 3 seconds after
// the one before and within 30% of its volume. A neutral trade ends the run
// but does not become the previous trade. With `runs`, each cluster's
// positions [first, end) are appended.
std::size_t count_split_clusters(std::span<const TransactionPoint> tape,
                                 std::vector<std::pair<std::size_t, std::size_t>>* runs = nullptr) {
    std::size_t clusters = 0;
    std::size_t run = 0;
    const TransactionPoint* prev = nullptr;
    // A run is a stretch of consecutive trades: closing it at position k
    // covers [k - run, k).
    const auto close_run = [&](std::size_t k) {
        if (run < 5) return;
        ++clusters;
        if (runs) runs->emplace_back(k - run, k);
    };
    for (std::size_t k = 0; k < tape.size(); ++k) {
        const TransactionPoint& p = tape[k];
        if (!is_directional(p)) {
            close_run(k);
            run = 0;
            continue;
        }
        bool continues = false;
        if (prev != nullptr && p.bs_flag == prev->bs_flag) {
            const std::int64_t gap = p.time.sec() - prev->time.sec();
            continues = vol_distance(p.vol, prev->vol) <= 0.3 * static_cast<double>(prev->vol) && gap > 0 &&
                        gap < 4;
        }
        if (continues) {
            ++run;
        } else {
            close_run(k);
            run = 1;
        }
        prev = &p;
    }
    close_run(tape.size());
    return clusters;
}

// The verdict; with Mark, also the per-trade marks, set in the same passes
// (a separate instance, so that the verdict alone pays nothing for them).
template <bool Mark>
std::optional<TransactionAnalysisResult> analyze(std::span<const TransactionPoint> points, double pre_close,
                                                 double high, double low, TradeMarks* marks) {
    const std::size_t n = points.size();
    if (n < 20) return std::nullopt;

    // A tape already in time order (the usual case) is read in place; any
    // other is sorted on a private copy, trades of one second keeping their order.
    const auto by_sec = [](const TransactionPoint& a, const TransactionPoint& b) {
        return a.time.sec() < b.time.sec();
    };
    std::span<const TransactionPoint> tape = points;
    std::vector<TransactionPoint> sorted;
    std::vector<std::size_t> origin;  // tape position -> caller's index, when marking a sorted copy
    if (!std::is_sorted(points.begin(), points.end(), by_sec)) {
        if constexpr (Mark) {
            origin.resize(n);
            for (std::size_t k = 0; k < n; ++k) origin[k] = k;
            std::stable_sort(origin.begin(), origin.end(),
                             [&](std::size_t a, std::size_t b) { return by_sec(points[a], points[b]); });
            sorted.reserve(n);
            for (std::size_t k : origin) sorted.push_back(points[k]);
        } else {
            sorted.assign(points.begin(), points.end());
            std::stable_sort(sorted.begin(), sorted.end(), by_sec);
        }
        tape = sorted;
    }

    VolSum total = 0;
    for (const auto& p : tape) total += p.vol;
    if (total == 0) return std::nullopt;
    const double total_f = f64(total);
    const auto caller_index = [&](std::size_t k) { return origin.empty() ? k : origin[k]; };
    if constexpr (Mark) {
        marks->large.assign(n, 0);
        marks->institutional.assign(n, 0);
        marks->split_cluster.assign(n, -1);
        marks->matched_with.assign(n, -1);
    }
    const double avg = total_f / static_cast<double>(n);

    // Where the day closed.
    const double last = tape.back().price;
    const double day_chg_pct = pre_close > 0 ? (last - pre_close) / pre_close * 100.0 : 0.0;
    const double range = high - low;
    const double price_position = range > 0 ? std::fmin(1.0, std::fmax(0.0, (last - low) / range)) : 0.5;

    // Direction split, large and institutional trades and the closing window,
    // in one pass.
    VolSum buy_vol = 0, sell_vol = 0, neutral_vol = 0;
    std::size_t large_count = 0, large_buy_count = 0, large_sell_count = 0;
    VolSum large_vol = 0, large_buy_vol = 0;
    std::size_t inst_buy_count = 0, inst_sell_count = 0;
    VolSum inst_buy_vol = 0, inst_sell_vol = 0;
    VolSum win_buy = 0, win_sell = 0, win_total = 0;
    const double large_min = 3.0 * avg;
    const double inst_min = std::fmax(2.0 * avg, 5000.0);
    for (std::size_t k = 0; k < n; ++k) {
        const TransactionPoint& p = tape[k];
        const bool buy = is_buy(p), sell = is_sell(p);
        const double v = static_cast<double>(p.vol);
        // Sides alternate unpredictably on a real tape: select, don't branch.
        buy_vol += buy ? p.vol : 0;
        sell_vol += sell ? p.vol : 0;
        neutral_vol += buy || sell ? 0 : p.vol;

        if (is_directional(p) && v > large_min) {
            if constexpr (Mark) marks->large[caller_index(k)] = 1;
            ++large_count;
            large_vol += p.vol;
            if (buy) {
                ++large_buy_count;
                large_buy_vol += p.vol;
            } else if (sell) {
                ++large_sell_count;
            }
        }
        if (v > inst_min && p.trade_count > 0 && v / static_cast<double>(p.trade_count) > 3000.0) {
            if constexpr (Mark) marks->institutional[caller_index(k)] = buy || sell;
            if (buy) {
                ++inst_buy_count;
                inst_buy_vol += p.vol;
            } else if (sell) {
                ++inst_sell_count;
                inst_sell_vol += p.vol;
            }
        }
        if (p.time.sec() >= kClosingWindowStart) {
            win_total += p.vol;
            if (buy) win_buy += p.vol;
            else if (sell) win_sell += p.vol;
        }
    }

    const VolSum bs = buy_vol + sell_vol;
    const double buy_vol_ratio = bs >= 1 ? f64(buy_vol) / f64(bs) : 0.5;
    const double sell_vol_ratio = bs >= 1 ? f64(sell_vol) / f64(bs) : 0.5;
    const double neutral_vol_ratio = total > 0 ? f64(neutral_vol) / total_f : 0.0;
    const double large_trade_vol_ratio = bs > 0 ? f64(large_vol) / f64(bs) : 0.0;
    const double large_buy_vol_ratio = large_vol > 0 ? f64(large_buy_vol) / f64(large_vol) : 0.5;
    const VolSum inst_vol = inst_buy_vol + inst_sell_vol;
    const double inst_buy_vol_ratio = inst_vol > 0 ? f64(inst_buy_vol) / f64(inst_vol) : 0.5;
    const double inst_net_flow_ratio = total > 0 ? f64(inst_buy_vol - inst_sell_vol) / total_f : 0.0;

    std::vector<std::pair<std::size_t, std::size_t>> runs, pairs;
    const std::size_t split_clusters = count_split_clusters(tape, Mark ? &runs : nullptr);
    const std::size_t matched_pairs = find_matched_pairs(tape, Mark ? &pairs : nullptr);
    if constexpr (Mark) {
        for (std::size_t c = 0; c < runs.size(); ++c)
            for (std::size_t k = runs[c].first; k < runs[c].second; ++k)
                marks->split_cluster[caller_index(k)] = static_cast<std::int64_t>(c);
        for (const auto& [a, b] : pairs) {
            marks->matched_with[caller_index(a)] = static_cast<std::int64_t>(caller_index(b));
            marks->matched_with[caller_index(b)] = static_cast<std::int64_t>(caller_index(a));
        }
    }

    const double last_30min_vol_ratio = total >= 1 ? f64(win_total) / total_f : 0.0;
    const double last_30min_buy_sell_ratio = win_sell > 0   ? f64(win_buy) / f64(win_sell)
                                             : win_buy > 0 ? 10.0
                                                           : 1.0;
    const double last_30min_momentum = win_total > 0 ? f64(win_buy - win_sell) / f64(win_total) : 0.0;

    bool surge = false;
    for (std::size_t k = n - 5; k < n; ++k)
        surge = surge || (tape[k].time.sec() >= kClosingAuctionStart && static_cast<double>(tape[k].vol) > 10.0 * avg);

    // Six components, each adding at most one note.
    std::vector<std::string> positives, risks;

    double s1 = 0.5;
    if (sell_vol_ratio > 0) {
        const double r = buy_vol_ratio / sell_vol_ratio;
        s1 = std::min(0.5 * r, 1.0);
        if (r >= 1.5) positives.push_back("主动买/卖比=" + fixed(r, 2));
        else if (r < 0.8) risks.push_back("卖压偏大(买/卖=" + fixed(r, 2) + ")");
    } else if (buy_vol_ratio > 0) {
        s1 = 1.0;
        positives.push_back("主动买/卖比=" + fixed(3.0, 2));
    }

    double level2;
    if (large_trade_vol_ratio > 0.3) {
        if (large_buy_vol_ratio >= 0.6) {
            level2 = 1.0;
            positives.push_back("大单买入积极(" + fixed(100.0 * large_buy_vol_ratio, 0) + "%大单为买,买/卖=" +
                                std::to_string(large_buy_count) + "/" +
                                std::to_string(std::max<std::size_t>(large_sell_count, 1)) + ")");
        } else if (large_buy_vol_ratio <= 0.4) {
            level2 = 0.2;
            risks.push_back("大单以卖出为主(买/卖=" + std::to_string(large_buy_count) + "/" +
                            std::to_string(large_sell_count) + ")");
        } else {
            level2 = 0.6;
        }
    } else if (large_trade_vol_ratio > 0.15) {
        level2 = 0.4;
    } else {
        level2 = 0.2;
        risks.push_back("大单不活跃");
    }
    const double s2 = 0.2 * level2;

    double level3;
    if (std::fabs(inst_net_flow_ratio) > 0.01) {
        const std::string buy_share = fixed(100.0 * inst_buy_vol_ratio, 0);
        if (inst_buy_vol_ratio >= 0.6) {
            level3 = 1.0;
            positives.push_back("主力买入积极(买比" + buy_share + "%,净流" + fixed(100.0 * inst_net_flow_ratio, 1) + "%)");
        } else if (inst_buy_vol_ratio >= 0.55) {
            level3 = 0.7;
            positives.push_back("主力偏多(买比" + buy_share + "%)");
        } else if (inst_buy_vol_ratio >= 0.45) {
            level3 = 0.3;
        } else {
            level3 = 0.0;
            risks.push_back("主力卖出为主(买比" + buy_share + "%)");
        }
    } else {
        level3 = 0.2;
    }
    const double s3 = 0.15 * level3;

    double level4;
    if (price_position >= 0.8) {
        level4 = 1.0;
        positives.push_back("高位收盘(" + fixed(100.0 * price_position, 0) + "%分位)");
    } else if (price_position >= 0.6) {
        level4 = 0.7;
    } else if (price_position >= 0.4) {
        level4 = 0.4;
    } else {
        level4 = 0.1;
        risks.push_back("收盘位置偏低(" + fixed(100.0 * price_position, 0) + "%分位)");
    }
    const double s4 = 0.15 * level4;

    double level5;
    if (last_30min_momentum > 0.01) {
        level5 = 1.0;
        positives.push_back("尾盘主动买入(" + fixed_signed(10000.0 * last_30min_momentum, 0) + "bp)");
    } else if (last_30min_momentum > 0.005) {
        level5 = 0.6;
    } else if (last_30min_momentum > -0.005) {
        level5 = 0.3;
    } else {
        level5 = 0.0;
        risks.push_back("尾盘主动卖出(" + fixed_signed(10000.0 * last_30min_momentum, 0) + "bp)");
    }
    const double s5 = 0.15 * level5;

    double level6;
    if (last_30min_vol_ratio > 0.25) {
        if (last_30min_buy_sell_ratio >= 1.2) {
            level6 = 1.0;
            positives.push_back("尾盘放量买入(占比" + fixed(100.0 * last_30min_vol_ratio, 0) + "%)");
        } else {
            level6 = 0.3;
            risks.push_back("尾盘放量但买卖均衡");
        }
    } else if (last_30min_vol_ratio > 0.15) {
        level6 = 0.5;
    } else {
        level6 = 0.2;
    }
    const double s6 = 0.1 * level6;

    // Confidence: the limit-up case or the weighted sum, then the penalties.
    double conf;
    if (price_position > 0.95 && day_chg_pct > 9.5) {
        positives.push_back("涨停保护(跳过买卖力量/尾盘)");
        positives.push_back("涨停加分(+0.05)");
        conf = 2.0 * (s2 + s3 + s4) + 0.05;
    } else {
        conf = std::min(0.25 * s1 + s2 + s3 + s4 + s5 + s6, 1.0);
        if (day_chg_pct > 12.0) {
            risks.push_back("涨幅过大(" + fixed_signed(day_chg_pct, 1) + "%)");
            conf *= 0.7;
        } else if (day_chg_pct > 9.5) {
            risks.push_back("涨幅偏高(" + fixed_signed(day_chg_pct, 1) + "%)");
            conf *= 0.85;
        }
    }
    if (n < 50) conf *= 0.9;

    const double nf = static_cast<double>(n);
    const auto share_note = [&](const char* head, std::size_t count, const char* unit) {
        return std::string(head) + "(" + std::to_string(count) + unit + ",占比" +
               fixed(static_cast<double>(count) / nf * 100.0, 1) + "%)";
    };
    if (split_clusters >= std::max<std::size_t>(ceil_share(n, 2, 100), 3)) {
        risks.push_back(share_note("拆单痕迹重", split_clusters, "集群"));
        conf *= 0.9;
    } else if (split_clusters >= std::max<std::size_t>(ceil_share(n, 1, 100), 2)) {
        risks.push_back(share_note("存在拆单", split_clusters, "集群"));
        conf *= 0.95;
    }
    if (matched_pairs >= std::max<std::size_t>(ceil_share(n, 10, 100), 5)) {
        risks.push_back(share_note("对倒嫌疑", matched_pairs, "对"));
        conf *= 0.85;
    } else if (matched_pairs >= std::max<std::size_t>(ceil_share(n, 5, 100), 3)) {
        risks.push_back(share_note("存在对倒", matched_pairs, "对"));
        conf *= 0.92;
    }
    if (surge) {
        positives.push_back("尾盘竞价巨量抢筹(+0.10)");
        conf += 0.1;
    }
    const double confidence = std::fmin(1.0, std::fmax(0.0, conf)) * 100.0;

    TransactionAnalysisResult out;
    out.conclusion = confidence >= 65 ? "真突破" : confidence >= 45 ? "疑似突破" : confidence >= 30 ? "疑似假突破" : "假突破";
    out.is_breakout = confidence >= 45;
    out.details = positives.empty() ? std::string("无明显信号特征") : join(positives, "; ");
    if (!risks.empty()) out.details += "｜风险: " + join(risks, "; ");

    out.buy_vol_ratio = round_to(buy_vol_ratio, 3);
    out.sell_vol_ratio = round_to(sell_vol_ratio, 3);
    out.neutral_vol_ratio = round_to(neutral_vol_ratio, 3);
    out.large_trade_count = count32(large_count);
    out.large_trade_vol_ratio = round_to(large_trade_vol_ratio, 3);
    out.large_buy_count = count32(large_buy_count);
    out.large_sell_count = count32(large_sell_count);
    out.large_buy_vol_ratio = round_to(large_buy_vol_ratio, 3);
    out.inst_buy_vol_ratio = round_to(inst_buy_vol_ratio, 3);
    out.inst_buy_count = count32(inst_buy_count);
    out.inst_sell_count = count32(inst_sell_count);
    out.inst_net_flow_ratio = round_to(inst_net_flow_ratio, 4);
    out.split_clusters = count32(split_clusters);
    out.matched_pairs = count32(matched_pairs);
    out.price_position = round_to(price_position, 3);
    out.day_chg_pct = round_to(day_chg_pct, 2);
    out.last_30min_vol_ratio = round_to(last_30min_vol_ratio, 3);
    out.last_30min_buy_sell_ratio = round_to(last_30min_buy_sell_ratio, 2);
    out.last_30min_momentum = round_to(last_30min_momentum, 3);
    out.confidence = round_to(confidence, 3);
    return out;
}

}  // namespace

std::optional<TransactionAnalysisResult> analyze_transactions(std::span<const TransactionPoint> points,
                                                              double pre_close, double high, double low,
                                                              TradeMarks* marks) {
    return marks ? analyze<true>(points, pre_close, high, low, marks)
                 : analyze<false>(points, pre_close, high, low, nullptr);
}

std::optional<BreakoutResult> analyze_breakout(std::span<const TransactionPoint> points, double breakout_price) {
    const std::size_t n = points.size();
    if (n < 10) return std::nullopt;
    VolSum total = 0;
    for (const auto& p : points) total += p.vol;
    if (total == 0) return std::nullopt;

    const double zone_min = breakout_price * 0.995;
    const double large = f64(total) / static_cast<double>(n) * 3.0;
    BreakoutResult out;
    out.total_n = n;
    VolSum zone_vol = 0, zone_buy_vol = 0;
    for (const auto& p : points) {
        if (!(p.price >= zone_min)) continue;
        ++out.breakout_n;
        zone_vol += p.vol;
        const bool big = static_cast<double>(p.vol) > large;
        if (is_buy(p)) {
            zone_buy_vol += p.vol;
            if (big) ++out.breakout_large_buy;
        } else if (is_sell(p) && big) {
            ++out.breakout_large_sell;
        }
    }
    if (out.breakout_n < 5) return std::nullopt;

    out.breakout_vol_ratio = f64(zone_vol) / f64(total);
    out.breakout_buy_ratio = zone_vol >= 1 ? f64(zone_buy_vol) / f64(zone_vol) : 0.0;

    std::vector<std::string> notes;
    double score = 0.0;
    if (out.breakout_vol_ratio > 0.3) {
        score = 0.3;
        notes.push_back("突破放量(" + fixed(100.0 * out.breakout_vol_ratio, 0) + "%)");
    } else if (out.breakout_vol_ratio > 0.15) {
        score = 0.15;
    }
    if (out.breakout_buy_ratio > 0.6) {
        score += 0.3;
        notes.push_back("突破买方主导(" + fixed(100.0 * out.breakout_buy_ratio, 0) + "%)");
    } else if (out.breakout_buy_ratio > 0.4) {
        score += 0.1;
    }
    if (out.breakout_large_buy > out.breakout_large_sell) {
        score += 0.25;
        notes.push_back("突破大单买入(" + std::to_string(out.breakout_large_buy) + "/" +
                        std::to_string(out.breakout_large_sell) + ")");
    } else if (out.breakout_large_buy > 0) {
        score += 0.1;
    }

    const char* description;
    if (score >= 0.65) {
        out.classification = "强势突破";
        description = "多方面因素共振，突破信号强烈，真突破概率高";
    } else if (score >= 0.4) {
        out.classification = "普通突破";
        description = "部分因素支持，突破信号中等";
    } else {
        out.classification = "弱势突破";
        description = "缺乏量能和大单配合，假突破风险较高";
    }
    out.details = std::string(description) + "。" + (notes.empty() ? std::string("无明显信号特征") : join(notes, "; "));
    out.confidence = std::fmin(1.0, std::fmax(0.0, score)) * 100.0;
    out.is_strong = out.confidence >= 60;
    out.price_sustain_ratio = 1.0;
    return out;
}

}  // namespace zj_core::transaction
