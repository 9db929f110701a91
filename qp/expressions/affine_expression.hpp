// An affine expression: a linear combination of variables plus a constant.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qp/expressions/variable.hpp"
#include "qp/util/block_hash.hpp"
#include "qp/util/flat_map.hpp"

namespace qp {

struct QuadraticExpression;

/// Spreads blocks of 16 consecutive variable indices over the index of a large coefficient
/// map and keeps each block in 16 neighbouring slots.
struct VariableIndexHash {
    std::size_t operator()(std::uint64_t index) const noexcept {
        return block_hash(index >> 4, index & 15U, 4);
    }
};

/// constant + sum of coefficients[i] * v_i. A zero coefficient is an entry like any other: no
/// operation removes entries, and some (the product, v - e) create zero-valued ones.
struct AffineExpression {
    using Coefficients = FlatMap<std::uint64_t, double, VariableIndexHash>;

    Coefficients coefficients;
    double constant = 0.0;

    /// The empty expression: no coefficients, constant 0.0.
    AffineExpression() = default;
    /// The expression 1.0 * variable.
    explicit AffineExpression(Variable variable) { coefficients.insert_new(variable.index, 1.0); }

    /// This expression times itself: squares c_i^2, mixed terms 2 c_i c_j, linear 2 u c_i for
    /// every variable (also when the constant u is 0.0), constant u^2.
    QuadraticExpression square() const;
};

}  // namespace qp
