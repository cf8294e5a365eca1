#pragma once
// A broken invariant inside a computation. The Python boundary turns it (and
// any other C++ exception) into zjkit.InternalError; nothing aborts.
#include <stdexcept>
#include <string>

namespace zj_core {

struct InternalFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace zj_core
