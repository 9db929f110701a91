// The solution of a solved QP, from which the values of its variables are read.
#pragma once

#include <span>
#include <utility>
#include <vector>

#include "qp/expressions/variable.hpp"

namespace qp {

/// The primal solution: values[k] is the value of the variable of index k.
class SolvedProblem {
public:
    explicit SolvedProblem(std::vector<double> values) noexcept : values_(std::move(values)) {}

    /// The values of the given variables, in the given order, repetitions included. Throws
    /// std::out_of_range for a variable that the solved registry does not have.
    std::vector<double> eval_vec(std::span<const Variable> variables) const;

    const std::vector<double>& values() const noexcept { return values_; }

private:
    std::vector<double> values_;
};

}  // namespace qp
