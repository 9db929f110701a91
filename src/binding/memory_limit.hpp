// Refusing result sizes that cannot fit in the machine's memory before allocating them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ordavin::binding {

/// Throws std::bad_alloc (MemoryError at the boundary) when `count` items of `bytes_each`
/// bytes exceed the machine's physical memory plus swap. A caller-chosen size such as a number
/// of points is checked here first: handed to the allocator, an impossible size may succeed on
/// paper under memory overcommit and end the process later, and a sanitized build aborts on it.
void check_fits_in_memory(std::uint64_t count, std::size_t bytes_each);

}  // namespace ordavin::binding
