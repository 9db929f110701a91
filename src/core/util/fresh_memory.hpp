// Reserving large vectors whose memory is about to be written for the first time.
#pragma once

#include <cstddef>
#include <vector>

namespace ordavin::util {

/// Buffers from this size on are backed by huge pages where the kernel offers them.
inline constexpr std::size_t kHugePageThreshold = std::size_t{4} << 20;

/// Asks the kernel to back the untouched memory [data, data + bytes) with huge pages, so that
/// its first touch costs one page fault per 2 MiB instead of one per 4 KiB. A hint only: does
/// nothing for small ranges or where the kernel declines.
void advise_huge_pages(void* data, std::size_t bytes) noexcept;

/// Reserves room for `count` elements in an empty vector; a large reservation gets huge pages.
/// Fresh memory of a few megabytes otherwise costs more in page faults than filling it does.
template <class T>
void reserve_fresh(std::vector<T>& values, std::size_t count) {
    values.reserve(count);
    if (count * sizeof(T) >= kHugePageThreshold) {
        advise_huge_pages(values.data(), values.capacity() * sizeof(T));
    }
}

}  // namespace ordavin::util
