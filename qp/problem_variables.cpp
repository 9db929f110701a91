// Registration of decision variables.
#include "qp/problem_variables.hpp"

namespace qp {

std::vector<Variable> ProblemVariables::add_vector(std::uint64_t count, std::optional<double> lower,
                                                   std::optional<double> upper) {
    const std::uint64_t first = variables_.size();
    variables_.insert(variables_.end(), count, VariableBounds{lower, upper});
    std::vector<Variable> added;
    added.reserve(count);
    for (std::uint64_t k = 0; k < count; ++k) added.push_back(Variable{first + k});
    return added;
}

}  // namespace qp
