#pragma once
// The registry of built-in signals and the dispatch built on it.
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "zj_signals/types.hpp"

namespace zj_signals {

// The registry could not be built (out of memory); every later use fails too.
struct RegistryError : std::runtime_error {
    RegistryError() : std::runtime_error("signal registry construction failed") {}
};

void register_builtins();
bool has_signal(std::string_view name);
// The registered signal's descriptor, or nothing for an unknown name.
const SignalDescriptor* find_signal(std::string_view name);
std::vector<std::string> list_signal_names();
std::size_t signal_count();

std::vector<SignalOutput> dispatch_one(std::string_view name, const BarColumns& bars, const ParamMap& params);
// Over bar records: their columns are gathered first (the records' freq is
// viewed, so they must outlive the result).
std::vector<SignalOutput> dispatch_one(std::string_view name, std::span<const BarPoint> bars,
                                       const ParamMap& params);
// All records of every configuration, in configuration order, each record's
// freq replaced by its configuration's.
std::vector<SignalOutput> dispatch_signals(std::span<const SignalConfig> configs,
                                           std::span<const BarPoint> bars);

// The same records, handed over one configuration's block at a time:
// sink(config, block) with the block's freq already replaced.
template <class Sink>
void dispatch_each(std::span<const SignalConfig> configs, const BarColumns& bars, Sink&& sink) {
    for (const SignalConfig& config : configs) {
        std::vector<SignalOutput> block = dispatch_one(config.name, bars, config.params);
        for (SignalOutput& record : block) record.freq = config.freq;
        sink(config, block);
    }
}

}  // namespace zj_signals
