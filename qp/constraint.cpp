// Assembly of the constraint list and the variable bounds into A, b and the two cones.
#include "qp/constraint.hpp"

#include "qp/util/csc_matrix_triplets_builder.hpp"

namespace qp {

namespace {

// Row and entry counts, so that A and b are allocated once.
struct RowCount {
    std::uint64_t rows = 0;
    std::size_t entries = 0;
};

RowCount count_rows(const ProblemVariables& registry, std::span<const Constraint> constraints) {
    RowCount count;
    for (const Constraint& constraint : constraints) {
        if (const auto* equality = std::get_if<Equality>(&constraint)) {
            count.rows += 1;
            count.entries += equality->expression.coefficients.size();
        } else {
            const auto& bounded = std::get<Bounded>(constraint);
            const std::uint64_t sides = (bounded.upper ? 1U : 0U) + (bounded.lower ? 1U : 0U);
            count.rows += sides;
            count.entries += sides * bounded.expression.coefficients.size();
        }
    }
    for (const VariableBounds& bounds : registry.variables()) {
        const std::uint64_t sides = (bounds.upper ? 1U : 0U) + (bounds.lower ? 1U : 0U);
        count.rows += sides;
        count.entries += sides;
    }
    return count;
}

}  // namespace

ConstraintRows assemble_constraints(const ProblemVariables& registry,
                                    std::span<const Constraint> constraints) {
    const RowCount count = count_rows(registry, constraints);
    CscMatrixTripletsBuilder builder(count.rows, registry.size());
    builder.reserve(count.entries);
    ConstraintRows rows;
    rows.b.reserve(count.rows);
    std::uint64_t r = 0;

    // With s = b - A x: s = 0 is expression = 0, hence b = -constant.
    for (const Constraint& constraint : constraints) {
        const auto* equality = std::get_if<Equality>(&constraint);
        if (equality == nullptr) continue;
        for (const auto& [k, w] : equality->expression.coefficients) builder.add_triplet(r, k, w);
        rows.b.push_back(-equality->expression.constant);
        ++r;
    }
    rows.zero_cone = r;

    // s >= 0 on the row e <= upper is b = upper - constant; on -e <= -lower it is
    // b = constant - lower.
    for (const Constraint& constraint : constraints) {
        const auto* bounded = std::get_if<Bounded>(&constraint);
        if (bounded == nullptr) continue;
        const AffineExpression& expression = bounded->expression;
        if (bounded->upper) {
            for (const auto& [k, w] : expression.coefficients) builder.add_triplet(r, k, w);
            rows.b.push_back(*bounded->upper - expression.constant);
            ++r;
        }
        if (bounded->lower) {
            for (const auto& [k, w] : expression.coefficients) builder.add_triplet(r, k, -w);
            rows.b.push_back(-(*bounded->lower - expression.constant));
            ++r;
        }
    }

    const std::vector<VariableBounds>& bounds = registry.variables();
    for (std::uint64_t k = 0; k < bounds.size(); ++k) {
        if (bounds[k].upper) {
            builder.add_triplet(r, k, 1.0);
            rows.b.push_back(*bounds[k].upper);
            ++r;
        }
        if (bounds[k].lower) {
            builder.add_triplet(r, k, -1.0);
            rows.b.push_back(-*bounds[k].lower);
            ++r;
        }
    }

    rows.nonnegative_cone = r - rows.zero_cone;
    rows.a = std::move(builder).build();
    return rows;
}

}  // namespace qp
