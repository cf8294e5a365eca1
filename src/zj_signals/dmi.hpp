#pragma once
// DMI state: trend strength from the ADX, the dominant side from +DI against
// -DI, and the ADX's slope over the last three bars.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "zj_signals/types.hpp"

namespace zj_signals::dmi {

std::string_view strength_label(double adx);          // "强趋势" / "趋势" / "酝酿" / "盘整"
std::string_view direction_label(double di_spread);   // +DI - (-DI): "多头强势" ... "空头强势"
std::string_view slope_label(double adx, double adx_before);  // "上升" / "下降" / "平稳" / "其他"

struct DmiLabels {
    std::string_view v1, v2, v3;
};

// One optional label triple per bar; absent means the default record.
std::vector<std::optional<DmiLabels>> compute_dmi_state(std::span<const double> high, std::span<const double> low,
                                                        std::span<const double> close, std::uint64_t n1,
                                                        std::uint64_t n2);

std::vector<SignalOutput> zj_dmi_state_v260714(const BarColumns& bars, const ParamMap& params);

}  // namespace zj_signals::dmi
