// Why a solve produced no solution.
#pragma once

#include <cstdint>
#include <string_view>

namespace qp {

enum class SolverStatus : std::uint8_t {
    Solved,
    Infeasible,
    Unbounded,
    OtherError,
};

/// "Solved", "Infeasible", "Unbounded" or "OtherError".
constexpr std::string_view to_string(SolverStatus status) noexcept {
    switch (status) {
        case SolverStatus::Solved:
            return "Solved";
        case SolverStatus::Infeasible:
            return "Infeasible";
        case SolverStatus::Unbounded:
            return "Unbounded";
        case SolverStatus::OtherError:
            return "OtherError";
    }
    return "OtherError";
}

}  // namespace qp
