// Dispatch of the moving-average type codes.
#include "indicators/ma_type.hpp"

#include "indicators/detail.hpp"
#include "indicators/kernels.hpp"

namespace indicators {

namespace {
constexpr double kMamaFast = 0.5, kMamaSlow = 0.05, kT3Factor = 0.7;
}

std::optional<MaType> ma_type_from_code(long long code) {
    if (code < 0 || code > 8) return std::nullopt;
    return static_cast<MaType>(code);
}

std::size_t ma_lookback(std::size_t n, MaType type) {
    switch (type) {
        case MaType::Dema: return 2 * (n - 1);
        case MaType::Tema: return 3 * (n - 1);
        case MaType::Kama: return n;
        case MaType::Mama: return 32;
        case MaType::T3: return 6 * (n - 1);
        case MaType::Trima:
            if (n == 1) return 0;
            return n - 1;
        case MaType::Sma:
        case MaType::Ema:
        case MaType::Wma: break;
    }
    return n - 1;
}

namespace kernel {

Check check_ma(std::size_t len, std::size_t n, MaType type) {
    switch (type) {
        case MaType::Sma: return check_sma(len, n);
        case MaType::Ema: return check_ema(len, n);
        case MaType::Wma: return check_wma(len, n);
        case MaType::Dema: return check_dema(len, n);
        case MaType::Tema: return check_tema(len, n);
        case MaType::Trima: return check_trima(len, n);
        case MaType::Kama: return check_kama(len, n);
        case MaType::Mama: return check_mama(len, kMamaFast, kMamaSlow);
        case MaType::T3: return check_t3(len, n);
    }
    return TaError::invalid("matype", std::to_string(static_cast<int>(type)), "must be 0..8");
}

void fill_ma(In in, std::size_t n, MaType type, Out out) {
    switch (type) {
        case MaType::Sma: return fill_sma(in, n, out);
        case MaType::Ema: return fill_ema(in, n, 2.0 / (static_cast<double>(n) + 1.0), out);
        case MaType::Wma: return fill_wma(in, n, out);
        case MaType::Dema: return fill_dema(in, n, out);
        case MaType::Tema: return fill_tema(in, n, out);
        case MaType::Trima: return fill_trima(in, n, out);
        case MaType::Kama: return fill_kama(in, n, out);
        case MaType::Mama: return fill_mama(in, kMamaFast, kMamaSlow, out, nullptr);
        case MaType::T3: return fill_t3(in, n, kT3Factor, out);
    }
}

}  // namespace kernel

Result<Series> compute_ma(std::span<const double> in, std::size_t period, MaType type) {
    return detail::run(in.size(), [&] { return kernel::check_ma(in.size(), period, type); },
                       [&](double* out) { kernel::fill_ma(in, period, type, out); });
}

}  // namespace indicators
