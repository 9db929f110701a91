// The LAPACK routine the circle fit calls, found on the first fit through a replaceable resolver.
#include "util/lapack.hpp"

#include <atomic>

#include "util/panic.hpp"

namespace ordavin::util {

namespace {

// Atomic so that a reader never sees a torn pointer; every installer hands over the same
// routine, so the order between installation and use needs nothing stronger.
std::atomic<DgesvdFunction> installed_dgesvd{nullptr};
std::atomic<DgesvdResolver> installed_resolver{nullptr};

}  // namespace

void set_dgesvd(DgesvdFunction function) noexcept {
    installed_dgesvd.store(function, std::memory_order_release);
}

void set_dgesvd_resolver(DgesvdResolver resolver) noexcept {
    installed_resolver.store(resolver, std::memory_order_release);
}

DgesvdFunction resolved_dgesvd() {
    if (const DgesvdFunction function = installed_dgesvd.load(std::memory_order_acquire)) {
        return function;
    }
    const DgesvdResolver resolver = installed_resolver.load(std::memory_order_acquire);
    if (resolver == nullptr) throw Panic("taubin_circle_fit: no LAPACK dgesvd is installed");
    const DgesvdFunction function = resolver();
    if (function == nullptr) throw Panic("taubin_circle_fit: the LAPACK resolver found no dgesvd");
    set_dgesvd(function);
    return function;
}

}  // namespace ordavin::util
