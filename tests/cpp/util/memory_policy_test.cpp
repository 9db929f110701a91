// The memory budget follows the process's own limits, not only the machine's memory.
#include "util/memory_policy.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <new>

namespace {

using ordavin::util::allocatable_bytes;
using ordavin::util::check_fits_in_memory;

// The limit is set in a child process, so that the rest of the suite keeps its address space.
int child_under_address_space_limit() {
    constexpr std::uint64_t kHeadroom = std::uint64_t{512} << 20;
    const std::uint64_t before = allocatable_bytes();
    if (before < 2 * kHeadroom) return 2;  // the machine is smaller than the test assumes
    std::uint64_t in_use = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long long pages = 0;
        if (std::fscanf(statm, "%llu", &pages) == 1) {
            in_use = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
        }
        std::fclose(statm);
    }
    if (in_use == 0) return 3;
    struct rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = in_use + kHeadroom;
    if (setrlimit(RLIMIT_AS, &limit) != 0) return 4;
    const std::uint64_t under_limit = allocatable_bytes();
    if (under_limit > kHeadroom) return 5;
    try {
        check_fits_in_memory(kHeadroom + 1, 1);
        return 6;  // a request beyond the limit was let through
    } catch (const std::bad_alloc&) {
    }
    check_fits_in_memory(1, 1);
    return 0;
}

TEST(MemoryPolicy, AddressSpaceLimitBoundsTheBudget) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves far more address space than any limit";
#endif
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(child_under_address_space_limit());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(MemoryPolicy, NothingAndZeroSizedRequestsAlwaysFit) {
    EXPECT_GT(allocatable_bytes(), 0u);
    EXPECT_NO_THROW(check_fits_in_memory(0, 1u << 30));
    EXPECT_NO_THROW(check_fits_in_memory(UINT64_MAX, 0));
    EXPECT_THROW(check_fits_in_memory(UINT64_MAX, 16), std::bad_alloc);
}

}  // namespace
