#pragma once
// Reuses one str object per distinct text while a result is built: signal
// labels, names and periods come from small sets, so a call of many records
// creates each text once.
#include <string>
#include <string_view>
#include <vector>

#include "zj_python/boundary/convert.hpp"

namespace zj_python {

class StrCache {
public:
    // A new reference to a str holding `s`. Texts seen at the same address
    // before (literals, views into the call's inputs) are found without
    // comparing their bytes.
    Ref get(std::string_view s) {
        if (last_ < entries_.size() && hit(entries_[last_], s)) return Ref::borrow(entries_[last_].object.get());
        // Addresses first: labels of equal length would otherwise be compared
        // byte by byte against every entry before the right one.
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].origin == s.data() && entries_[i].text.size() == s.size()) {
                last_ = i;
                return Ref::borrow(entries_[i].object.get());
            }
        }
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i].text == s) {
                last_ = i;
                return Ref::borrow(entries_[i].object.get());
            }
        }
        Ref made = py_str(s);
        if (entries_.size() < kLimit) {
            entries_.push_back(Entry{std::string(s), s.data(), Ref::borrow(made.get())});
            last_ = entries_.size() - 1;
        }
        return made;
    }

private:
    struct Entry {
        std::string text;
        const char* origin;
        Ref object;
    };
    static bool hit(const Entry& e, std::string_view s) {
        return e.text.size() == s.size() && (e.origin == s.data() || e.text == s);
    }
    static constexpr std::size_t kLimit = 64;
    std::vector<Entry> entries_;
    std::size_t last_ = 0;
};

}  // namespace zj_python
