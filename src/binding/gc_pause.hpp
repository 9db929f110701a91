// Holding the cyclic garbage collector off while a result of many containers is built.
#pragma once

#include <Python.h>

namespace ordavin::binding {

/// Keeps the collector from running for the life of the guard, then restores its state.
///
/// Building a list of a million [x, y] lists allocates a million tracked containers; every
/// 700 allocations the collector runs, and the older generations it then walks hold the
/// whole heap, so a full result took ten times as long as its allocations. Under the guard
/// the new lists are examined once, by the first collection after the call. No Python code
/// runs while the guard is held (only lists and floats are made, and without collections no
/// finalizer can run), so nothing can observe the paused state.
class GcPause {
public:
    GcPause() noexcept : was_enabled_(PyGC_Disable() != 0) {}
    ~GcPause() {
        if (was_enabled_) PyGC_Enable();
    }
    GcPause(const GcPause&) = delete;
    GcPause& operator=(const GcPause&) = delete;

private:
    bool was_enabled_;
};

}  // namespace ordavin::binding
