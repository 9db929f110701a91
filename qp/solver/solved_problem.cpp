// Reading variable values out of a solution.
#include "qp/solver/solved_problem.hpp"

namespace qp {

std::vector<double> SolvedProblem::eval_vec(std::span<const Variable> variables) const {
    std::vector<double> result;
    result.reserve(variables.size());
    for (const Variable& variable : variables) result.push_back(values_.at(variable.index));
    return result;
}

}  // namespace qp
