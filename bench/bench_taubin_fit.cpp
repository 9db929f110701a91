// Micro-benchmark of one Taubin fit through scipy's dgesvd, the one the module uses.
//
// Build and run from the repository root, after building build/dev:
//   g++ -O2 -std=c++20 -Isrc -I. $(python3-config --includes) bench/bench_taubin_fit.cpp \
//       build/dev/libordavin_core.a $(python3-config --ldflags --embed) -o build/dev/bench_fit
//   PYTHONPATH=$(.venv/bin/python -c 'import site; print(site.getsitepackages()[0])') \
//       build/dev/bench_fit
#include <Python.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>
#include <vector>

#include "binding/lapack_resolver.hpp"
#include "util/taubin_circle_fit.hpp"

int main() {
    Py_InitializeEx(0);
    try {
        ordavin::binding::ensure_lapack();
    } catch (const std::exception&) {
        PyErr_Print();
        return 1;
    }
    for (const int count : {3, 10, 30, 100, 1000, 10000}) {
        std::vector<double> x;
        std::vector<double> y;
        for (int i = 0; i < count; ++i) {
            const double angle = 2.0 * i / count;
            x.push_back(3.0 * std::cos(angle) + 0.01 * std::sin(17.0 * i));
            y.push_back(3.0 * std::sin(angle));
        }
        const int repeats = std::max(20, 2000000 / (count + 50));
        std::vector<double> per_fit;
        double checksum = 0.0;
        for (int run = 0; run < 7; ++run) {
            const auto begin = std::chrono::steady_clock::now();
            for (int i = 0; i < repeats; ++i) {
                checksum += ordavin::util::taubin_circle_fit(x, y)->radius;
            }
            const std::chrono::duration<double, std::micro> elapsed =
                std::chrono::steady_clock::now() - begin;
            per_fit.push_back(elapsed.count() / repeats);
        }
        std::sort(per_fit.begin(), per_fit.end());
        std::printf("%6d points: %8.3f us per fit (median of 7; checksum %g)\n", count,
                    per_fit[3], checksum);
    }
    Py_FinalizeEx();
    return 0;
}
