// A hash that scatters blocks of nearby keys at random but keeps each block together.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qp {

/// The home slot bits of a key made of a block number and an offset below 2^offset_bits.
///
/// The keys of a QP arrive in runs over neighbouring variables (the terms of one row, the
/// squares of consecutive second differences), and each merge looks up keys that sit close
/// together. A fully mixing hash sends each of them to a different cache line of a large
/// index; this one mixes the block number (the splitmix64 finaliser, so every bit of the block
/// reaches the low bits a table keeps) and only flips the low offset_bits bits of it by the
/// offset: the keys of one block land in one aligned run of 2^offset_bits slots, while keys
/// alone in their block spread as with a fully mixing hash.
constexpr std::size_t block_hash(std::uint64_t block, std::uint64_t offset,
                                 unsigned offset_bits) noexcept {
    std::uint64_t h = block + 0x9E3779B97F4A7C15ULL;
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ULL;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBULL;
    h ^= h >> 31;
    return static_cast<std::size_t>(h ^ (offset & ((std::uint64_t{1} << offset_bits) - 1)));
}

}  // namespace qp
