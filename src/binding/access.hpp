// The access counter each object of the module carries over its record.
#pragma once

#include <Python.h>

#include <optional>
#include <utility>

namespace ordavin::binding {

/// Counts the calls currently reading an object's record. No operation of the module changes
/// a record in place, so exclusive access (the marker value) is never taken; the counter keeps
/// that promise checkable.
struct AccessCounter {
    static constexpr Py_ssize_t kExclusive = -1;
    Py_ssize_t readers = 0;
};

/// Shared access for the duration of one call: raised on entry, lowered on exit.
class SharedAccess {
public:
    /// Fails with RuntimeError "Already mutably borrowed" when exclusive access is held.
    static std::optional<SharedAccess> take(AccessCounter& counter) noexcept {
        if (counter.readers == AccessCounter::kExclusive) {
            PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
            return std::nullopt;
        }
        ++counter.readers;
        return SharedAccess(counter);
    }
    SharedAccess(const SharedAccess&) = delete;
    SharedAccess& operator=(const SharedAccess&) = delete;
    SharedAccess(SharedAccess&& other) noexcept
        : counter_(std::exchange(other.counter_, nullptr)) {}
    SharedAccess& operator=(SharedAccess&&) = delete;
    ~SharedAccess() {
        if (counter_ != nullptr) --counter_->readers;
    }

private:
    explicit SharedAccess(AccessCounter& counter) noexcept : counter_(&counter) {}
    AccessCounter* counter_;
};

}  // namespace ordavin::binding
