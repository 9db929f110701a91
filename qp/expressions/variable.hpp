// A scalar decision variable of a QP.
#pragma once

#include <cstdint>

namespace qp {

/// One decision variable: its position in the ProblemVariables registry that created it.
/// Two variables are the same variable when their indices are equal.
struct Variable {
    std::uint64_t index = 0;

    friend bool operator==(const Variable&, const Variable&) = default;
};

}  // namespace qp
