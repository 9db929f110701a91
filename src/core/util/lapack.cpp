// The LAPACK routines the numeric kernels call, reached through a replaceable function pointer.
#include "util/lapack.hpp"

#include <atomic>

namespace ordavin::util {

namespace {

// Atomic so that a reader never sees a torn pointer; every installer hands over the same
// routine, so the order between installation and use needs nothing stronger.
std::atomic<DgesvdFunction> installed_dgesvd{nullptr};

}  // namespace

void set_dgesvd(DgesvdFunction function) noexcept {
    installed_dgesvd.store(function, std::memory_order_release);
}

DgesvdFunction dgesvd() noexcept { return installed_dgesvd.load(std::memory_order_acquire); }

}  // namespace ordavin::util
