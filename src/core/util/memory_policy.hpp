// How much more memory the process may use, and the one check every large request goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <span>
#include <string>
#include <string_view>

namespace ordavin::util {

/// The bytes this process may still allocate: the least of
/// - the machine's physical memory plus swap (a hard ceiling, whatever else runs),
/// - the address-space limit (RLIMIT_AS) minus the address space in use,
/// - the data-segment limit (RLIMIT_DATA) minus the data in use,
/// - the memory limit of the process's cgroup (v2 memory.max, or v1 limit_in_bytes) minus its
///   current usage, plus the swap the cgroup may still use.
/// A limit that is absent or cannot be read does not count; with none readable the result is
/// the largest value.
std::uint64_t allocatable_bytes() noexcept;

/// A request that cannot fit, with a message that says what was asked for and how much memory
/// it needs ("resampled_path: 1000000000000 points need 16.0 TB"). A std::bad_alloc, so it is
/// MemoryError at the Python boundary, and copied without allocating, as exceptions must be.
class MemoryRequestTooLarge : public std::bad_alloc {
public:
    explicit MemoryRequestTooLarge(const std::string& message);
    const char* what() const noexcept override { return message_; }

private:
    char message_[160] = {};
};

/// Throws MemoryRequestTooLarge when `count` items of `bytes_each` bytes cannot fit in
/// allocatable_bytes(); its message names the `items` ("points") and, when given, the
/// `operation` that asked for them. A caller-chosen size, such as a number
/// of points, is checked here before anything is allocated: handed to the allocator, an
/// impossible size may succeed on paper under memory overcommit and end the process on first
/// touch, and a sanitized build aborts on it. Requests of up to 16 MiB are let through
/// unread: the allocator itself refuses those.
void check_fits_in_memory(std::uint64_t count, std::size_t bytes_each,
                          std::string_view items = "items", std::string_view operation = {});

/// The number of elements an array of the given `extents` holds, once check_fits_in_memory has
/// let that many `bytes_each`-byte `items` through. Throws std::bad_alloc when the product
/// passes 2^64. A zero extent gives 0 whatever the others are.
template <class Extent>
std::size_t checked_count(std::span<const Extent> extents, std::size_t bytes_each,
                          std::string_view items) {
    std::uint64_t count = 1;
    for (const Extent extent : extents) {
        if (extent == 0) return 0;
        const auto size = static_cast<std::uint64_t>(extent);
        if (count > std::numeric_limits<std::uint64_t>::max() / size) throw std::bad_alloc();
        count *= size;
    }
    check_fits_in_memory(count, bytes_each, items);
    return static_cast<std::size_t>(count);
}

/// Hands the free memory at the top and in the middle of the heap back to the system, where
/// the C library can (glibc's malloc_trim). Worth a few milliseconds before a large
/// allocation that the freed blocks, scattered between live ones, could not serve.
void return_free_memory_to_system() noexcept;

namespace detail {

/// The least room the memory limits of the process's cgroups leave (the largest value when
/// none is set), read from `proc_self_cgroup` (/proc/self/cgroup) and the hierarchies mounted
/// under `cgroup_root` (/sys/fs/cgroup): the v2 hierarchy at the root or at unified/, v1's
/// memory controller at memory/. Each folder from the process's own up to the root counts.
std::uint64_t cgroup_room(const std::string& proc_self_cgroup, const std::string& cgroup_root);

}  // namespace detail

}  // namespace ordavin::util
