// Temporary: the circle decomposition is being written.
#include "path/path.hpp"
#include "util/panic.hpp"

namespace ordavin::path {

std::vector<CircleSegment> Path::find_circle_segments(std::uint64_t, std::uint64_t, double) const {
    throw Panic("pending");
}
std::vector<double> Path::compute_circle_fit_curvature(double) const {
    throw Panic("pending");
}

}  // namespace ordavin::path
