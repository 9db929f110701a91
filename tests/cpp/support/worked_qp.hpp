// The small QP both the assembly and the solver tests work through by hand.
#pragma once

#include <optional>
#include <vector>

#include "qp/constraint.hpp"
#include "qp/expressions/add.hpp"
#include "qp/expressions/mul.hpp"
#include "qp/expressions/sub.hpp"
#include "qp/problem_variables.hpp"

namespace qp::testing {

/// min (v0 - 1)^2 + v1^2 subject to v0 + v1 <= 4, v0 = v2, 1 <= 2 v1 + 1 <= 3, where v0 and v1
/// are free and 0 <= v2 <= 5. Its optimum is (1, 0, 1).
struct WorkedQp {
    ProblemVariables registry;
    QuadraticExpression objective;
    std::vector<Constraint> constraints;
};

inline WorkedQp worked_qp() {
    WorkedQp problem;
    const auto v = problem.registry.add_vector(2, std::nullopt, std::nullopt);
    const auto bounded = problem.registry.add_vector(1, 0.0, 5.0);
    problem.objective = (AffineExpression(v[0]) - 1.0).square();
    problem.objective += AffineExpression(v[1]).square();
    AffineExpression sum = AffineExpression(v[0]);
    sum += AffineExpression(v[1]);
    problem.constraints.push_back(Bounded{std::nullopt, 4.0, sum});
    problem.constraints.push_back(Equality{AffineExpression(v[0]) - bounded[0]});
    problem.constraints.push_back(Bounded{1.0, 3.0, 1.0 + 2.0 * v[1]});
    return problem;
}

}  // namespace qp::testing
