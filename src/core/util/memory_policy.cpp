// How much more memory the process may use, and the one check every large request goes through.
#include "util/memory_policy.hpp"

#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>

namespace ordavin::util {

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

std::uint64_t page_size() noexcept {
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::uint64_t>(size) : 4096;
}

/// The room left under a limit: nothing when the limit is exhausted.
std::uint64_t room(std::uint64_t limit, std::uint64_t used) noexcept {
    return limit > used ? limit - used : 0;
}

std::uint64_t physical_and_swap() noexcept {
    struct sysinfo info{};
    if (sysinfo(&info) != 0) return kUnlimited;
    const std::uint64_t unit = info.mem_unit == 0 ? 1 : info.mem_unit;
    return (static_cast<std::uint64_t>(info.totalram) + info.totalswap) * unit;
}

/// Fields 1 (total program size) and 6 (data + stack) of /proc/self/statm, in bytes.
struct ProcessSize {
    std::uint64_t address_space = 0;
    std::uint64_t data = 0;
};

std::optional<ProcessSize> process_size() noexcept {
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) return std::nullopt;
    unsigned long long size = 0, resident = 0, shared = 0, text = 0, library = 0, data = 0;
    const int read = std::fscanf(file, "%llu %llu %llu %llu %llu %llu", &size, &resident, &shared,
                                 &text, &library, &data);
    std::fclose(file);
    if (read != 6) return std::nullopt;
    return ProcessSize{size * page_size(), data * page_size()};
}

std::uint64_t resource_room(int resource, std::uint64_t used) noexcept {
    struct rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
    return room(static_cast<std::uint64_t>(limit.rlim_cur), used);
}

/// A number from a cgroup file; nothing for "max", a missing file or garbage.
std::optional<std::uint64_t> read_cgroup_number(const std::string& path) noexcept {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return std::nullopt;
    char text[64] = {};
    const bool got = std::fgets(text, sizeof text, file) != nullptr;
    std::fclose(file);
    if (!got || std::strncmp(text, "max", 3) == 0) return std::nullopt;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text) return std::nullopt;
    return static_cast<std::uint64_t>(value);
}

/// The folder of this process's cgroup (v2: the "0::" line of /proc/self/cgroup).
std::optional<std::string> cgroup_v2_folder() {
    std::FILE* file = std::fopen("/proc/self/cgroup", "r");
    if (file == nullptr) return std::nullopt;
    char line[4096];
    std::optional<std::string> folder;
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, "0::", 3) != 0) continue;
        std::string relative(line + 3);
        while (!relative.empty() && (relative.back() == '\n' || relative.back() == '\r')) {
            relative.pop_back();
        }
        folder = "/sys/fs/cgroup" + (relative == "/" ? std::string() : relative);
        break;
    }
    std::fclose(file);
    return folder;
}

std::uint64_t cgroup_room() noexcept {
    try {
        if (const std::optional<std::string> folder = cgroup_v2_folder()) {
            const std::optional<std::uint64_t> limit = read_cgroup_number(*folder + "/memory.max");
            if (limit) {
                const std::uint64_t used =
                    read_cgroup_number(*folder + "/memory.current").value_or(0);
                std::uint64_t left = room(*limit, used);
                const std::optional<std::uint64_t> swap_limit =
                    read_cgroup_number(*folder + "/memory.swap.max");
                if (swap_limit) {
                    left += room(*swap_limit,
                                 read_cgroup_number(*folder + "/memory.swap.current").value_or(0));
                }
                return left;
            }
        }
        const std::optional<std::uint64_t> limit =
            read_cgroup_number("/sys/fs/cgroup/memory/memory.limit_in_bytes");
        // cgroup v1 reports "no limit" as a huge page-rounded number rather than "max".
        if (limit && *limit < (kUnlimited >> 2)) {
            return room(*limit,
                        read_cgroup_number("/sys/fs/cgroup/memory/memory.usage_in_bytes").value_or(0));
        }
    } catch (...) {
        // A path string that could not be built: no cgroup limit known.
    }
    return kUnlimited;
}

}  // namespace

std::uint64_t allocatable_bytes() noexcept {
    std::uint64_t bytes = physical_and_swap();
    if (const std::optional<ProcessSize> size = process_size()) {
        bytes = std::min(bytes, resource_room(RLIMIT_AS, size->address_space));
        bytes = std::min(bytes, resource_room(RLIMIT_DATA, size->data));
    }
    return std::min(bytes, cgroup_room());
}

void check_fits_in_memory(std::uint64_t count, std::size_t bytes_each) {
    if (bytes_each == 0 || count == 0) return;
    // Reading the limits costs tens of microseconds (a few files under /proc and /sys), more
    // than a small request itself; below this size an allocation that cannot be served fails
    // in the allocator, as an ordinary std::bad_alloc, long before overcommit matters.
    constexpr std::uint64_t kAlwaysChecked = std::uint64_t{16} << 20;
    if (count <= kAlwaysChecked / bytes_each) return;
    if (count > allocatable_bytes() / bytes_each) throw std::bad_alloc();
}

void return_free_memory_to_system() noexcept {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace ordavin::util
