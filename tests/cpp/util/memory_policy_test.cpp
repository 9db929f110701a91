// The memory budget follows the process's own limits, not only the machine's memory.
#include "util/memory_policy.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <new>
#include <string>
#include <utility>

namespace {

using ordavin::util::allocatable_bytes;
using ordavin::util::check_fits_in_memory;
using ordavin::util::detail::cgroup_room;

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

/// A made-up /proc/self/cgroup and cgroup tree in a fresh folder, removed with the object.
class FakeCgroups {
public:
    FakeCgroups()
        : root_(std::filesystem::temp_directory_path() / ("cgroups-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    ~FakeCgroups() { std::filesystem::remove_all(root_); }

    void write(const std::string& relative, const std::string& text) const {
        const std::filesystem::path file = root_ / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    std::uint64_t room(const std::string& proc_self_cgroup) const {
        write("proc", proc_self_cgroup);
        return cgroup_room((root_ / "proc").string(), (root_ / "sys").string());
    }

private:
    std::filesystem::path root_;
};

constexpr std::uint64_t kNoLimit = UINT64_MAX;

TEST(MemoryPolicy, CgroupV1LimitIsReadFromTheProcesssOwnGroupAndItsParents) {
    FakeCgroups cgroups;
    // v1 says "no limit" with a huge number, at the root and in the process's own group.
    cgroups.write("sys/memory/memory.limit_in_bytes", "9223372036854771712\n");
    cgroups.write("sys/memory/jobs/memory.limit_in_bytes", "1000000\n");
    cgroups.write("sys/memory/jobs/memory.usage_in_bytes", "250000\n");
    cgroups.write("sys/memory/jobs/task7/memory.limit_in_bytes", "9223372036854771712\n");
    EXPECT_EQ(cgroups.room("5:cpu:/\n4:memory:/jobs/task7\n0::/\n"), 750000u);
    cgroups.write("sys/memory/jobs/task7/memory.limit_in_bytes", "400000\n");
    cgroups.write("sys/memory/jobs/task7/memory.usage_in_bytes", "100000\n");
    EXPECT_EQ(cgroups.room("4:blkio,memory:/jobs/task7\n"), 300000u);
    EXPECT_EQ(cgroups.room("4:memory:/\n"), kNoLimit);
    EXPECT_EQ(cgroups.room("4:cpu:/jobs/task7\n"), kNoLimit);  // not the memory controller
}

TEST(MemoryPolicy, CgroupV2LimitCountsSwapAndEveryAncestor) {
    FakeCgroups cgroups;
    cgroups.write("sys/app/memory.max", "max\n");
    cgroups.write("sys/app/worker/memory.max", "5000\n");
    cgroups.write("sys/app/worker/memory.current", "1000\n");
    cgroups.write("sys/app/worker/memory.swap.max", "300\n");
    cgroups.write("sys/app/worker/memory.swap.current", "100\n");
    EXPECT_EQ(cgroups.room("0::/app/worker\n"), 4200u);
    cgroups.write("sys/app/memory.max", "2000\n");
    cgroups.write("sys/app/memory.current", "1500\n");
    EXPECT_EQ(cgroups.room("0::/app/worker\n"), 500u);
    // Beside v1 controllers, the unified hierarchy is mounted at unified/.
    cgroups.write("sys/unified/svc/memory.max", "800\n");
    EXPECT_EQ(cgroups.room("4:memory:/\n0::/svc\n"), 800u);
}

TEST(MemoryPolicy, TooLargeRequestsSayWhatTheyAskedFor) {
    try {
        check_fits_in_memory(UINT64_MAX / 8, 4, "points", "resampled_path");
        FAIL() << "an impossible request was let through";
    } catch (const std::bad_alloc& error) {
        EXPECT_STREQ(error.what(), "resampled_path: 2305843009213693951 points need 9.2 EB");
    }
}

}  // namespace
