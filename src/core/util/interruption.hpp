// Stopping a long computation when its caller asks: a check the caller installs, asked every
// few milliseconds of work.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>

namespace ordavin::util {

/// Thrown out of a computation when the installed check asks it to stop. The check has
/// already recorded why (the Python binding: the KeyboardInterrupt of a pending Ctrl-C), and
/// the boundary reports that. Whatever the computation was filling is dropped with it: caches
/// are only ever filled with a finished value.
class Interrupted : public std::exception {
public:
    const char* what() const noexcept override { return "interrupted"; }
};

/// True when the running computation should stop. Called with whatever lock its caller holds
/// (the Python binding: the interpreter lock), so it may do what that caller may do.
using InterruptionCheck = bool (*)() noexcept;

/// Installs the process's check, replacing any earlier one; null means "never stop". Install
/// it once, before any computation runs.
void set_interruption_check(InterruptionCheck check) noexcept;

/// Asks the installed check now, and throws Interrupted when it says stop.
void throw_if_interrupted();

/// Work between two checks, in units of about a nanosecond of computation: a few milliseconds,
/// so a stop comes quickly and the check costs nothing measurable.
inline constexpr std::uint64_t kWorkBetweenChecks = std::uint64_t{1} << 21;

/// Counts the work of a loop whose steps differ in cost (a search that visits many nodes or
/// few) and asks the check each time about kWorkBetweenChecks units have been done.
class InterruptionPoll {
public:
    /// Adds `units` of work done; asks the check when enough has gathered.
    void add(std::uint64_t units) {
        if (units < remaining_) {
            remaining_ -= units;
            return;
        }
        remaining_ = kWorkBetweenChecks;
        throw_if_interrupted();
    }

private:
    std::uint64_t remaining_ = kWorkBetweenChecks;
};

/// Runs `body(begin, end)` over [0, count) in consecutive blocks of about kWorkBetweenChecks
/// units, each item costing about `units_per_item`, and asks the check between blocks. The
/// body sees the items in order, so a loop split this way gives the bits it gave whole.
template <class Body>
void for_each_block(std::size_t count, std::uint64_t units_per_item, Body&& body) {
    const std::size_t block = static_cast<std::size_t>(std::max<std::uint64_t>(
        1, kWorkBetweenChecks / std::max<std::uint64_t>(1, units_per_item)));
    for (std::size_t begin = 0; begin < count;) {
        const std::size_t end = count - begin > block ? begin + block : count;
        body(begin, end);
        begin = end;
        if (begin < count) throw_if_interrupted();
    }
}

}  // namespace ordavin::util
