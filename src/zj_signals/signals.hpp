#pragma once
// The registry of built-in signals and the dispatch built on it.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zj_signals/types.hpp"

namespace zj_signals {

// The registry could not be built (out of memory); every later use fails too.
struct RegistryError {
    const char* what() const noexcept { return "signal registry construction failed"; }
};

void register_builtins();
bool has_signal(std::string_view name);
std::vector<std::string> list_signal_names();
std::size_t signal_count();

std::vector<SignalOutput> dispatch_one(std::string_view name, std::span<const BarPoint> bars,
                                       const ParamMap& params);
std::vector<SignalOutput> dispatch_signals(std::span<const SignalConfig> configs,
                                           std::span<const BarPoint> bars);

}  // namespace zj_signals
