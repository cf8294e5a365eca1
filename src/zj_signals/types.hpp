#pragma once
// Records shared by every signal: the bar, the bar columns signals read, the
// requested configuration, the emitted record, the signature of a signal
// function and its descriptor with its parameter schema.
#include <cstdint>
#include <limits>
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

// A series of bars as columns, oldest first; every span has the same length.
// `freq` is the series' period label (the first bar's in the dict path), which
// records carry until dispatch replaces it with the configuration's.
struct BarColumns {
    std::span<const double> open, high, low, close, vol, amount;
    std::string_view freq;
    std::size_t size() const { return close.size(); }
};

// Bar columns gathered from bar records: the dict path's one conversion. The
// freq views the first bar's, so the records must outlive the columns' use.
struct BarTable {
    std::vector<double> open, high, low, close, vol, amount;
    std::string_view freq;

    static BarTable from_points(std::span<const BarPoint> bars);
    BarColumns columns() const { return {open, high, low, close, vol, amount, freq}; }
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

using SignalFn = std::vector<SignalOutput> (*)(const BarColumns& bars, const ParamMap& params);

// One parameter a signal reads: its key, how its text is parsed, its default
// and the values that make sense. The signal itself reads leniently (a text
// that does not parse gives the default); the frame path checks strictly
// against `min`..`max` (inclusive unless `above_min`) and refuses the rest.
struct ParamSpec {
    enum class Kind : unsigned char {
        Unsigned,  // an optional "+" then ASCII digits, at most 2^64 - 1
        Float,     // a decimal number, or inf / nan
    };
    std::string_view key;
    Kind kind;
    double fallback;  // the default (a whole number for Unsigned)
    double min;
    double max = std::numeric_limits<double>::infinity();
    std::string_view fallback_key = {};  // defaults to this parameter's value instead
    bool above_min = false;              // `min` itself is excluded
};

// How many records a signal emits: one per bar, or one for the newest bar.
enum class RecordCount : unsigned char { PerBar, One };

// Static registration record of one built-in signal. `name` and `fn` drive
// dispatch; `key_template` carries the column tag of the signal's CZSC-style
// key (the text between "_D{di}" and the first "#"); `params` and `records`
// describe it for the frame path.
struct SignalDescriptor {
    std::string_view kind;
    std::string_view name;
    std::string_view key_template;
    std::string_view type_name;
    std::string_view family_name;
    SignalFn fn;
    std::span<const ParamSpec> params = {};
    RecordCount records = RecordCount::PerBar;

    // The tag of the signal's column name: "WT" of "{freq}_D{di}WT#{n1}_V1".
    constexpr std::string_view column_tag() const {
        std::string_view t = key_template;
        if (const auto d = t.find("_D{di}"); d != std::string_view::npos) t.remove_prefix(d + 6);
        return t.substr(0, t.find('#'));
    }

    const ParamSpec* param(std::string_view key) const {
        for (const ParamSpec& p : params)
            if (p.key == key) return &p;
        return nullptr;
    }
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
