// Stopping a long computation when its caller asks.
#include "util/interruption.hpp"

#include <atomic>

namespace ordavin::util {

namespace {

// Atomic only so that installing it is well defined next to a computation on another thread;
// it is installed once, when the module starts.
std::atomic<InterruptionCheck> installed_check{nullptr};

}  // namespace

void set_interruption_check(InterruptionCheck check) noexcept {
    installed_check.store(check, std::memory_order_relaxed);
}

void throw_if_interrupted() {
    const InterruptionCheck check = installed_check.load(std::memory_order_relaxed);
    if (check != nullptr && check()) throw Interrupted();
}

}  // namespace ordavin::util
