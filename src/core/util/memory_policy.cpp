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
#include <iterator>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>

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

/// The room a cgroup folder's own limit leaves, v2 files first, then v1's; nothing when the
/// folder sets no limit of its own.
std::optional<std::uint64_t> folder_room(const std::string& folder) {
    if (const std::optional<std::uint64_t> limit = read_cgroup_number(folder + "/memory.max")) {
        std::uint64_t left =
            room(*limit, read_cgroup_number(folder + "/memory.current").value_or(0));
        if (const std::optional<std::uint64_t> swap_limit =
                read_cgroup_number(folder + "/memory.swap.max")) {
            left +=
                room(*swap_limit, read_cgroup_number(folder + "/memory.swap.current").value_or(0));
        }
        return left;
    }
    const std::optional<std::uint64_t> limit =
        read_cgroup_number(folder + "/memory.limit_in_bytes");
    // cgroup v1 reports "no limit" as a huge page-rounded number rather than "max".
    if (limit && *limit < (kUnlimited >> 2)) {
        return room(*limit, read_cgroup_number(folder + "/memory.usage_in_bytes").value_or(0));
    }
    return std::nullopt;
}

/// The least room over `relative`'s folder below `mount` and every folder above it up to the
/// mount: a parent's limit binds its children too.
std::uint64_t hierarchy_room(const std::string& mount, std::string relative) {
    std::uint64_t left = kUnlimited;
    for (;;) {
        while (!relative.empty() && relative.back() == '/') relative.pop_back();
        if (const std::optional<std::uint64_t> here = folder_room(mount + relative)) {
            left = std::min(left, *here);
        }
        if (relative.empty()) return left;
        const std::size_t slash = relative.rfind('/');
        relative.erase(slash == std::string::npos ? 0 : slash);
    }
}

/// Whether the comma-separated `controllers` of a /proc/self/cgroup line name `wanted`.
bool names_controller(const std::string& controllers, const std::string& wanted) {
    std::size_t start = 0;
    while (start <= controllers.size()) {
        const std::size_t comma = std::min(controllers.find(',', start), controllers.size());
        if (controllers.compare(start, comma - start, wanted) == 0) return true;
        start = comma + 1;
    }
    return false;
}

}  // namespace

namespace detail {

std::uint64_t cgroup_room(const std::string& proc_self_cgroup, const std::string& cgroup_root) {
    std::FILE* file = std::fopen(proc_self_cgroup.c_str(), "r");
    if (file == nullptr) return kUnlimited;
    std::uint64_t left = kUnlimited;
    char line[4096];
    // Lines are "id:controllers:path": "0::path" for the unified (v2) hierarchy, mounted at
    // the root or, beside v1 controllers, at unified/; and "n:...,memory,...:path" for v1's
    // memory controller, mounted at memory/.
    while (std::fgets(line, sizeof line, file) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        const std::size_t first = text.find(':');
        if (first == std::string::npos) continue;
        const std::size_t second = text.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string controllers = text.substr(first + 1, second - first - 1);
        const std::string relative = text.substr(second + 1);
        if (text.compare(0, first, "0") == 0 && controllers.empty()) {
            left = std::min(left, hierarchy_room(cgroup_root, relative));
            left = std::min(left, hierarchy_room(cgroup_root + "/unified", relative));
        } else if (names_controller(controllers, "memory")) {
            left = std::min(left, hierarchy_room(cgroup_root + "/memory", relative));
        }
    }
    std::fclose(file);
    return left;
}

}  // namespace detail

namespace {

std::uint64_t cgroup_room() noexcept {
    try {
        return detail::cgroup_room("/proc/self/cgroup", "/sys/fs/cgroup");
    } catch (...) {
        // A path string that could not be built: no cgroup limit known.
        return kUnlimited;
    }
}

/// "16.0 TB": a byte count in decimal units, one decimal; counts past 2^64 bytes too.
std::string readable_bytes(long double bytes) {
    constexpr const char* units[] = {"bytes", "kB", "MB", "GB", "TB", "PB", "EB", "ZB", "YB"};
    std::size_t unit = 0;
    while (bytes >= 1000.0L && unit + 1 < std::size(units)) {
        bytes /= 1000.0L;
        ++unit;
    }
    char text[64];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0Lf %s" : "%.1Lf %s", bytes, units[unit]);
    return text;
}

}  // namespace

MemoryRequestTooLarge::MemoryRequestTooLarge(const std::string& message) {
    std::snprintf(message_, sizeof message_, "%s", message.c_str());
}

std::uint64_t allocatable_bytes() noexcept {
    std::uint64_t bytes = physical_and_swap();
    if (const std::optional<ProcessSize> size = process_size()) {
        bytes = std::min(bytes, resource_room(RLIMIT_AS, size->address_space));
        bytes = std::min(bytes, resource_room(RLIMIT_DATA, size->data));
    }
    return std::min(bytes, cgroup_room());
}

void check_fits_in_memory(std::uint64_t count, std::size_t bytes_each, std::string_view items,
                          std::string_view operation) {
    if (bytes_each == 0 || count == 0) return;
    // Reading the limits costs tens of microseconds (a few files under /proc and /sys), more
    // than a small request itself; below this size an allocation that cannot be served fails
    // in the allocator, as an ordinary std::bad_alloc, long before overcommit matters.
    constexpr std::uint64_t kAlwaysChecked = std::uint64_t{16} << 20;
    if (count <= kAlwaysChecked / bytes_each) return;
    if (count <= allocatable_bytes() / bytes_each) return;
    std::string message;
    if (!operation.empty()) message.append(operation).append(": ");
    message.append(std::to_string(count)).append(" ").append(items).append(" need ");
    message.append(readable_bytes(static_cast<long double>(count) * bytes_each));
    throw MemoryRequestTooLarge(message);
}

void return_free_memory_to_system() noexcept {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

}  // namespace ordavin::util
