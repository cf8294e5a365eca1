#include "zj_signals/signals.hpp"

#include <atomic>
#include <iterator>
#include <memory>
#include <new>
#include <random>
#include <unordered_map>

namespace zj_signals {

namespace {

constinit std::atomic<SignalRegistration*> g_registrations{nullptr};

// Hash with a per-process random key: the listing order of the registry is
// deliberately not something callers can come to rely on.
struct SeededHash {
    std::size_t seed;
    std::size_t operator()(const std::string& s) const noexcept {
        return std::hash<std::string_view>{}(s) ^ (seed + 0x9e3779b97f4a7c15ull + (seed << 6));
    }
};

using Registry = std::unordered_map<std::string, const SignalDescriptor*, SeededHash>;

struct RegistryState {
    std::unique_ptr<const Registry> map;  // null when construction failed
};

RegistryState build() noexcept {
    try {
        std::random_device rd;
        auto map = std::make_unique<Registry>(16, SeededHash{(static_cast<std::size_t>(rd()) << 32) ^ rd()});
        for (const SignalRegistration* r = SignalRegistration::head(); r != nullptr; r = r->next())
            map->emplace(std::string(r->descriptor().name), &r->descriptor());
        return RegistryState{std::move(map)};
    } catch (...) {
        return RegistryState{};
    }
}

const Registry& registry() {
    static const RegistryState state = build();  // once-only, thread-safe
    if (!state.map) throw RegistryError{};
    return *state.map;
}

}  // namespace

SignalRegistration::SignalRegistration(const SignalDescriptor& descriptor) noexcept : descriptor_(&descriptor) {
    SignalRegistration* old = g_registrations.load(std::memory_order_relaxed);
    do {
        next_ = old;
    } while (!g_registrations.compare_exchange_weak(old, this, std::memory_order_release,
                                                    std::memory_order_relaxed));
}

const SignalRegistration* SignalRegistration::head() noexcept {
    return g_registrations.load(std::memory_order_acquire);
}

void register_builtins() { (void)registry(); }

bool has_signal(std::string_view name) { return registry().contains(std::string(name)); }

const SignalDescriptor* find_signal(std::string_view name) {
    const Registry& r = registry();
    const auto it = r.find(std::string(name));
    return it == r.end() ? nullptr : it->second;
}

BarTable BarTable::from_points(std::span<const BarPoint> bars) {
    BarTable t;
    for (std::vector<double>* c : {&t.open, &t.high, &t.low, &t.close, &t.vol, &t.amount}) c->reserve(bars.size());
    for (const BarPoint& b : bars) {
        t.open.push_back(b.open);
        t.high.push_back(b.high);
        t.low.push_back(b.low);
        t.close.push_back(b.close);
        t.vol.push_back(b.vol);
        t.amount.push_back(b.amount);
    }
    if (!bars.empty()) t.freq = bars.front().freq;
    return t;
}

std::size_t signal_count() { return registry().size(); }

std::vector<std::string> list_signal_names() {
    const Registry& r = registry();
    std::vector<std::string> names;
    names.reserve(r.size());
    for (const auto& [name, fn] : r) names.push_back(name);
    return names;
}

std::vector<SignalOutput> dispatch_one(std::string_view name, const BarColumns& bars, const ParamMap& params) {
    if (const SignalDescriptor* d = find_signal(name)) return d->fn(bars, params);
    std::vector<SignalOutput> out;
    out.reserve(bars.size());
    for (std::size_t i = 0; i < bars.size(); ++i)
        out.push_back(SignalOutput::make(name, "", "未注册", "未注册", "未注册", 0));
    return out;
}

std::vector<SignalOutput> dispatch_one(std::string_view name, std::span<const BarPoint> bars,
                                       const ParamMap& params) {
    return dispatch_one(name, BarTable::from_points(bars).columns(), params);
}

std::vector<SignalOutput> dispatch_signals(std::span<const SignalConfig> configs,
                                           std::span<const BarPoint> bars) {
    const BarTable table = BarTable::from_points(bars);
    std::vector<SignalOutput> out;
    dispatch_each(configs, table.columns(), [&](const SignalConfig&, std::vector<SignalOutput>& block) {
        if (out.empty()) {
            out = std::move(block);
            out.reserve(out.size() * configs.size());
        } else {
            out.insert(out.end(), std::make_move_iterator(block.begin()), std::make_move_iterator(block.end()));
        }
    });
    return out;
}

}  // namespace zj_signals
