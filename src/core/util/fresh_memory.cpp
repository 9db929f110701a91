// Huge-page hints for large, freshly allocated buffers.
#include "util/fresh_memory.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace ordavin::util {

void advise_huge_pages(void* data, std::size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
    // madvise wants page-aligned ranges; only whole pages inside the buffer are named, so the
    // advice never reaches memory the buffer does not own.
    static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t last = (begin + bytes) & ~(page - 1);
    if (bytes < kHugePageThreshold || last <= first) return;
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace ordavin::util
