// A replacement for every form of operator new that fails the N-th call after it is armed.
//
// Preloaded (LD_PRELOAD) into an interpreter, it takes the place of the C++ runtime's
// allocation functions for the whole process, so every allocation the extension's C++ code
// makes, its std::string and std::vector ones inside the C++ runtime included, passes through
// here; Python's own allocator does not. A driver arms it through the C functions at the end
// of this file (by ctypes), makes one call into the extension, and learns whether the failure
// was reached and how many allocations the call made.
#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> armed{false};
std::atomic<long> calls_since_arm{0};
std::atomic<long> failing_call{-1};
std::atomic<bool> fired{false};

/// Counts one allocation while armed; true when it is the one to fail.
bool injected_failure() noexcept {
    if (!armed.load(std::memory_order_relaxed)) return false;
    const long index = calls_since_arm.fetch_add(1, std::memory_order_relaxed);
    if (index != failing_call.load(std::memory_order_relaxed)) return false;
    fired.store(true, std::memory_order_relaxed);
    return true;
}

void* try_allocate(std::size_t size) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}

void* try_allocate(std::size_t size, std::align_val_t alignment) noexcept {
    auto align = static_cast<std::size_t>(alignment);
    if (align < sizeof(void*)) align = sizeof(void*);
    void* memory = nullptr;
    if (posix_memalign(&memory, align, size == 0 ? 1 : size) != 0) return nullptr;
    return memory;
}

/// The throwing forms: the injected failure throws at once; a real shortage first gives the
/// new-handler its chances, as the standard asks.
template <class... Alignment>
void* allocate_or_throw(std::size_t size, Alignment... alignment) {
    if (injected_failure()) throw std::bad_alloc();
    for (;;) {
        if (void* memory = try_allocate(size, alignment...)) return memory;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

template <class... Alignment>
void* allocate_or_null(std::size_t size, Alignment... alignment) noexcept {
    if (injected_failure()) return nullptr;
    try {
        for (;;) {
            if (void* memory = try_allocate(size, alignment...)) return memory;
            std::new_handler handler = std::get_new_handler();
            if (handler == nullptr) return nullptr;
            handler();
        }
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

void* operator new(std::size_t size) {
    return allocate_or_throw(size);
}
void* operator new[](std::size_t size) {
    return allocate_or_throw(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocate_or_throw(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocate_or_throw(size, alignment);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate_or_null(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate_or_null(size);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate_or_null(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate_or_null(size, alignment);
}

// Memory from malloc and posix_memalign is returned with free, whatever the form.
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
    std::free(memory);
}

extern "C" {

/// Starts counting allocations from zero; the one with index `n` fails (0 is the first).
__attribute__((visibility("default"))) void fail_nth_new_arm(long n) {
    armed.store(false, std::memory_order_relaxed);
    calls_since_arm.store(0, std::memory_order_relaxed);
    failing_call.store(n, std::memory_order_relaxed);
    fired.store(false, std::memory_order_relaxed);
    armed.store(true, std::memory_order_relaxed);
}

/// Stops counting; later allocations succeed as usual.
__attribute__((visibility("default"))) void fail_nth_new_disarm() {
    armed.store(false, std::memory_order_relaxed);
}

/// Allocations since the last arm (the failed one included).
__attribute__((visibility("default"))) long fail_nth_new_calls_since_arm() {
    return calls_since_arm.load(std::memory_order_relaxed);
}

/// 1 when the failure was injected since the last arm, else 0.
__attribute__((visibility("default"))) int fail_nth_new_fired() {
    return fired.load(std::memory_order_relaxed) ? 1 : 0;
}

}  // extern "C"
