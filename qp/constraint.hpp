// Constraints of a QP and their assembly into the rows of A x + s = b.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "qp/expressions/affine_expression.hpp"
#include "qp/problem_variables.hpp"
#include "qp/util/csc_matrix.hpp"

namespace qp {

/// expression = 0.
struct Equality {
    AffineExpression expression;
};

/// lower <= expression <= upper; an absent bound restricts nothing on its side, so a Bounded
/// with neither bound yields no row.
struct Bounded {
    std::optional<double> lower;
    std::optional<double> upper;
    AffineExpression expression;
};

using Constraint = std::variant<Equality, Bounded>;

/// A, b and the cone split of the constraint rows: the first `zero_cone` rows must hold with
/// s = 0, the remaining `nonnegative_cone` rows with s >= 0.
struct ConstraintRows {
    CscMatrix a;
    std::vector<double> b;
    std::uint64_t zero_cone = 0;
    std::uint64_t nonnegative_cone = 0;
};

/// Rows in three passes: every Equality in list order; every Bounded in list order (its upper
/// row, then its lower row); then every variable bound in index order (upper, then lower).
/// A has exactly registry.size() columns. Precondition: every index is below registry.size().
ConstraintRows assemble_constraints(const ProblemVariables& registry,
                                    std::span<const Constraint> constraints);

}  // namespace qp
