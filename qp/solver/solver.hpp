// The interface every QP solver adapter implements.
#pragma once

#include <variant>
#include <vector>

#include "qp/constraint.hpp"
#include "qp/expressions/quadratic_expression.hpp"
#include "qp/problem_variables.hpp"
#include "qp/solver/solved_problem.hpp"
#include "qp/solver/solver_status.hpp"

namespace qp {

/// A solution, or the reason there is none.
using SolveResult = std::variant<SolvedProblem, SolverStatus>;

/// Minimises a quadratic objective subject to constraints and variable bounds.
class Solver {
public:
    virtual ~Solver() = default;

    /// Solves one problem, taking over its registry, objective and constraints.
    virtual SolveResult solve(ProblemVariables variables, QuadraticExpression objective,
                              std::vector<Constraint> constraints) const = 0;
};

}  // namespace qp
