// How resampled_path interpolates between the points of a path.
#pragma once

#include <cstdint>

namespace ordavin::path {

/// The values are part of the Python surface: int(ResamplingType.Cubic) is 0.
enum class ResamplingType : std::uint8_t {
    Cubic = 0,
    Linear = 1,
};

}  // namespace ordavin::path
