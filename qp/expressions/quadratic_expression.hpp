// A quadratic expression: a quadratic form over pairs of variables plus an affine part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "qp/expressions/affine_expression.hpp"
#include "qp/util/csc_matrix.hpp"
#include "qp/util/flat_map.hpp"

namespace qp {

/// An ordered pair of variable indices; every key the layer creates has first <= second.
struct VariablePair {
    std::uint64_t first = 0;
    std::uint64_t second = 0;

    friend bool operator==(const VariablePair&, const VariablePair&) = default;
};

/// Spreads blocks of pairs over the index of a large coefficient map: a block holds the pairs
/// of 8 consecutive first indices whose distances (second - first) agree but for their low 2
/// bits, laid out side by side in 32 neighbouring slots.
struct VariablePairHash {
    std::size_t operator()(const VariablePair& pair) const noexcept {
        const std::uint64_t distance = pair.second - pair.first;
        const std::uint64_t block = (pair.first >> 3) * 0x9E3779B97F4A7C15ULL ^ (distance >> 2);
        return block_hash(block, (pair.first & 7U) << 2 | (distance & 3U), 5);
    }
};

/// sum of quadratic_coefficients[(i, j)] * v_i * v_j + linear. The entry (1, 2) -> 3.0 stands
/// for 3 v_1 v_2 and (1, 1) -> 3.0 for 3 v_1^2.
struct QuadraticExpression {
    // Room for the square of a three-term expression without an allocation.
    using QuadraticCoefficients = FlatMap<VariablePair, double, VariablePairHash, 6>;

    QuadraticCoefficients quadratic_coefficients;
    AffineExpression linear;

    /// P of 1/2 x'Px for n variables, both triangles: 2w on the diagonal for w v_i^2, w at
    /// (i, j) and (j, i) for w v_i v_j. Precondition: every index is below n.
    CscMatrix quadratic_as_csc(std::uint64_t n) const;
    /// The upper triangle of quadratic_as_csc(n), for solvers that read only that.
    CscMatrix quadratic_as_upper_csc(std::uint64_t n) const;
    /// q of q'x for n variables; the constant is dropped. Throws std::out_of_range for an
    /// index of n or more.
    std::vector<double> linear_as_vector(std::uint64_t n) const;
};

}  // namespace qp
