// Refusing result sizes that cannot fit in the machine's memory before allocating them.
#include "binding/memory_limit.hpp"

#include <sys/sysinfo.h>

#include <limits>
#include <new>

namespace ordavin::binding {

namespace {

/// Physical memory plus swap in bytes; the largest value when it cannot be read.
std::uint64_t available_bytes() noexcept {
    struct sysinfo info{};
    if (sysinfo(&info) != 0) return std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t unit = info.mem_unit == 0 ? 1 : info.mem_unit;
    return (static_cast<std::uint64_t>(info.totalram) + info.totalswap) * unit;
}

}  // namespace

void check_fits_in_memory(std::uint64_t count, std::size_t bytes_each) {
    if (bytes_each == 0 || count == 0) return;
    if (count > available_bytes() / bytes_each) throw std::bad_alloc();
}

}  // namespace ordavin::binding
