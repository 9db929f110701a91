// Temporary: per-point quantities, resampling and locating points are being written.
#include "path/path.hpp"
#include "util/panic.hpp"

namespace ordavin::path {

const std::vector<double>& Path::path_length_per_point() const {
    throw Panic("pending");
}
double Path::length() const {
    throw Panic("pending");
}
const std::vector<double>& Path::orientation() const {
    throw Panic("pending");
}
const std::vector<Point>& Path::unit_tangent_vector() const {
    throw Panic("pending");
}
const std::vector<double>& Path::curvature() const {
    throw Panic("pending");
}
Path Path::resampled_path(std::uint64_t, ResamplingType) const {
    throw Panic("pending");
}
std::optional<LocatedPoint> Path::nearest_projection(Point, double) const {
    throw Panic("pending");
}
std::optional<std::uint64_t> Path::index_from_point(Point, double) const {
    throw Panic("pending");
}
std::optional<double> Path::path_length_from_point(Point, double) const {
    throw Panic("pending");
}
std::optional<Path> Path::sub_path(std::optional<Point>, std::optional<Point>, double) const {
    throw Panic("pending");
}

}  // namespace ordavin::path
