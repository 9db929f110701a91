// Sampling a spline at ascending parameters, the interval found from a hint instead of bisecting.
#include "spline/hinted_sampling.hpp"

#include <cmath>
#include <limits>

namespace ordavin::spline {

std::vector<std::uint32_t> keys_arriving_before(const Spline& spline,
                                                const util::EvenSpacing& samples,
                                                std::uint64_t count) {
    const std::vector<SplineKey>& keys = spline.keys;
    if (count < 2 || keys.empty() || std::isnan(keys.back().t)) return {};
    // The placement below needs samples that ascend and a step whose inverse is finite; the
    // last sample is the end itself and must not fall behind the one before it in rounding.
    const double start = samples(0);
    const double step = samples(1) - start;
    const double inverse_step = 1.0 / step;
    if (!(step > 0.0) || !std::isfinite(inverse_step) || !std::isfinite(samples(count - 1)) ||
        !(samples(count - 2) <= samples(count - 1)) ||
        count >= std::numeric_limits<std::uint32_t>::max() ||
        keys.size() >= std::numeric_limits<std::uint32_t>::max()) {
        return {};
    }

    // arrivals[k]: how many keys have sample k as the first sample strictly after them. Key j
    // lies before sample k exactly when that first sample is k or earlier, so the running sum
    // counts the keys before each sample.
    std::vector<std::uint32_t> arrivals(static_cast<std::size_t>(count) + 1, 0);
    const double last = static_cast<double>(count);
    for (const SplineKey& key : keys) {
        // Only a first guess, from the step; the comparisons with the samples make it exact.
        const double guess = (key.t - start) * inverse_step + 1.0;
        std::uint64_t first = 0;
        if (guess >= last) {
            first = count;
        } else if (guess >= 0.0) {
            first = static_cast<std::uint64_t>(static_cast<std::int64_t>(guess));
        }
        while (first > 0 && samples(first - 1) > key.t) --first;
        while (first < count && samples(first) <= key.t) ++first;
        ++arrivals[static_cast<std::size_t>(first)];
    }
    arrivals.pop_back();  // keys after every sample
    return arrivals;
}

}  // namespace ordavin::spline
