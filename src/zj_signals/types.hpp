#pragma once
// Records shared by every signal: the bar, the requested configuration, the
// emitted record, the signature of a signal function and its descriptor.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zj_signals {

// One K-line bar. Bars are held oldest first.
struct BarPoint {
    std::string dt;
    std::string freq;
    double open = 0.0;
    double high = 0.0;
    double low = 0.0;
    double close = 0.0;
    double vol = 0.0;
    double amount = 0.0;
};

// Parameter texts of one configuration; each signal parses its own keys.
using ParamMap = std::unordered_map<std::string, std::string>;

struct SignalConfig {
    std::string name;
    std::string freq;
    ParamMap params;
};

// One emitted record. Its texts are views, so a record costs no allocation:
// labels and the names of built-in signals are literals of the code that
// emits them, and `freq` (and the name of an unregistered signal) view the
// bars and configurations handed to dispatch, which outlive the records in
// every caller. A signal never emits a text it built on the fly.
struct SignalOutput {
    std::string_view name;
    std::string_view freq;
    std::string_view v1;
    std::string_view v2;
    std::string_view v3;
    std::uint32_t score = 0;

    static SignalOutput make(std::string_view name, std::string_view freq, std::string_view v1,
                             std::string_view v2, std::string_view v3, std::uint32_t score = 0) {
        return SignalOutput{name, freq, v1, v2, v3, score};
    }
};

using SignalFn = std::vector<SignalOutput> (*)(std::span<const BarPoint> bars, const ParamMap& params);

// Static registration record of one built-in signal. Only `name` and `fn` are
// read at run time; the rest describes the signal.
struct SignalDescriptor {
    std::string_view kind;
    std::string_view name;
    std::string_view key_template;
    std::string_view type_name;
    std::string_view family_name;
    SignalFn fn;
};

// Pushes its descriptor onto the global registration list when constructed;
// one static instance per signal, defined next to the signal's code.
class SignalRegistration {
public:
    explicit SignalRegistration(const SignalDescriptor& descriptor) noexcept;
    const SignalDescriptor& descriptor() const { return *descriptor_; }
    const SignalRegistration* next() const { return next_; }
    static const SignalRegistration* head() noexcept;

private:
    const SignalDescriptor* descriptor_;
    SignalRegistration* next_ = nullptr;
};

}  // namespace zj_signals

#define ZJ_SIGNAL_CONCAT_(a, b) a##b
#define ZJ_SIGNAL_CONCAT(a, b) ZJ_SIGNAL_CONCAT_(a, b)
// Registers a SignalDescriptor at load time: ZJ_REGISTER_SIGNAL(kMyDescriptor);
#define ZJ_REGISTER_SIGNAL(descriptor)                                                        \
    [[maybe_unused]] static const ::zj_signals::SignalRegistration ZJ_SIGNAL_CONCAT(          \
        zj_signal_registration_, __LINE__) { descriptor }
