// Temporary: the elastic-band smoothing is being written.
#include "path/path.hpp"
#include "util/panic.hpp"

namespace ordavin::path {

std::variant<Path, qp::SolverStatus> Path::smoothed_path(double) const {
    throw Panic("pending");
}

}  // namespace ordavin::path
