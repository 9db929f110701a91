// The registry that hands out the decision variables of a QP and records their bounds.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "qp/expressions/variable.hpp"

namespace qp {

/// Bounds of one variable; an absent bound leaves that side unbounded.
struct VariableBounds {
    std::optional<double> lower;
    std::optional<double> upper;
};

/// Variables are only ever appended: the k-th registered variable has index k.
class ProblemVariables {
public:
    /// Registers `count` variables with the given bounds (not compared with each other) and
    /// returns them in index order, continuing after the ones registered before.
    std::vector<Variable> add_vector(std::uint64_t count, std::optional<double> lower,
                                     std::optional<double> upper);

    /// One record per variable, in index order.
    const std::vector<VariableBounds>& variables() const noexcept { return variables_; }
    std::uint64_t size() const noexcept { return variables_.size(); }

private:
    std::vector<VariableBounds> variables_;
};

}  // namespace qp
