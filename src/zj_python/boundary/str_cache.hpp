#pragma once
// Reuses one str object per distinct text while a result is built: signal
// labels, names and periods come from small sets, so a call of many records
// creates each text once.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "zj_python/boundary/convert.hpp"

namespace zj_python {

class StrCache {
public:
    // A new reference to a str holding `s`.
    Ref get(std::string_view s) {
        if (last_ < entries_.size() && entries_[last_].first == s) return Ref::borrow(entries_[last_].second.get());
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].first == s) {
                last_ = i;
                return Ref::borrow(entries_[i].second.get());
            }
        }
        Ref made = py_str(s);
        if (entries_.size() < kLimit) {
            entries_.emplace_back(std::string(s), Ref::borrow(made.get()));
            last_ = entries_.size() - 1;
        }
        return made;
    }

private:
    static constexpr std::size_t kLimit = 64;
    std::vector<std::pair<std::string, Ref>> entries_;
    std::size_t last_ = 0;
};

}  // namespace zj_python
