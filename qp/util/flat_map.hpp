// A map that keeps its entries in insertion order, the first few inside the map itself, indexed
// by an open-addressing hash table only once it grows past a few entries.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace qp {

/// Insertion-ordered map with average constant-time lookup and insertion.
///
/// The expressions of a QP mostly hold one to three entries, for which a linear scan over a
/// contiguous array beats any hash table. Up to `InlineCapacity` entries live inside the map,
/// so a small expression (a constraint row, a term of the objective) costs no allocation at
/// all. Past `kLinearLimit` entries a hash index (linear probing over positions, no
/// allocation per entry) is built, so large expressions such as a summed objective stay
/// linear overall. Entries are never removed, so positions stay valid. Keys and values must
/// be trivially copyable: entries are moved with memcpy.
template <class Key, class Value, class Hash = std::hash<Key>, std::size_t InlineCapacity = 3>
class FlatMap {
    static_assert(std::is_trivially_copyable_v<Key> && std::is_trivially_copyable_v<Value>);
    static_assert(InlineCapacity >= 1);

public:
    struct Entry {
        Key key;
        Value value;
    };

    /// Size up to which lookups scan the entries instead of using the hash index.
    static constexpr std::size_t kLinearLimit = 16;

    // User-provided so that the inline array is left uninitialised: only entries below
    // size_ are ever read.
    FlatMap() noexcept {}
    ~FlatMap() = default;

    FlatMap(const FlatMap& other) { copy_from(other); }
    FlatMap& operator=(const FlatMap& other) {
        if (this != &other) {
            FlatMap copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    FlatMap(FlatMap&& other) noexcept { take(other); }
    FlatMap& operator=(FlatMap&& other) noexcept {
        if (this != &other) take(other);
        return *this;
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    /// Makes room for `count` entries in all, index included, so that growing to that size
    /// neither moves the entries nor rebuilds the index.
    void reserve(std::size_t count) {
        if (count > capacity_) grow_storage(count);
        if (count > kLinearLimit && 2 * count > slot_count()) rebuild_index(2 * count);
    }

    const Entry* begin() const noexcept { return data(); }
    const Entry* end() const noexcept { return data() + size_; }

    /// The value stored for `key`, or nullptr.
    const Value* find(const Key& key) const noexcept {
        const std::size_t position = position_of(key);
        return position == npos ? nullptr : &data()[position].value;
    }
    Value* find(const Key& key) noexcept {
        const std::size_t position = position_of(key);
        return position == npos ? nullptr : &data()[position].value;
    }

    /// Adds `value` to the entry of `key` (as value + existing), inserting it when absent.
    void add(const Key& key, Value value) {
        if (slots_ == nullptr) {
            if (Value* existing = find(key)) {
                *existing = value + *existing;
            } else {
                insert_new(key, std::move(value));
            }
            return;
        }
        // One probe serves both: it ends at the key's entry or at the empty slot it belongs in.
        std::size_t s = home(key);
        Entry* const entries = data();
        for (; slots_[s] != 0; s = (s + 1) & slot_mask_) {
            Entry& entry = entries[slots_[s] - 1U];
            if (entry.key == key) {
                entry.value = value + entry.value;
                return;
            }
        }
        append(key, std::move(value));
        if (2 * std::size_t{size_} > slot_count()) {
            rebuild_index(std::size_t{4} * size_);
        } else {
            slots_[s] = static_cast<Slot>(size_);
        }
    }

    /// `add` of every entry of `other`, in its order.
    void add_all(const FlatMap& other) {
        const Entry* const first = other.begin();
        const Entry* const last = other.end();
        for (const Entry* batch = first; batch != last;) {
            const Entry* const batch_end = batch + std::min<std::ptrdiff_t>(kBatch, last - batch);
            // In a large index nearly every probe misses the cache: ask for the slots of a
            // whole batch first, so that the misses overlap instead of queueing.
            if (slots_ != nullptr) {
                for (const Entry* entry = batch; entry != batch_end; ++entry) {
                    prefetch(&slots_[home(entry->key)]);
                }
            }
            for (; batch != batch_end; ++batch) add(batch->key, batch->value);
        }
    }

    /// Inserts an entry for a key known to be absent.
    void insert_new(const Key& key, Value value) {
        append(key, std::move(value));
        // A reserved map may have its index before it has many entries.
        if (slots_ == nullptr && size_ <= kLinearLimit) return;
        if (2 * std::size_t{size_} > slot_count()) {
            rebuild_index(std::size_t{4} * size_);
        } else {
            place(size_ - 1);
        }
    }

    /// Applies `transform` to every value in place; keys stay as they are.
    template <class Transform>
    void transform_values(Transform&& transform) {
        Entry* const entries = data();
        for (std::size_t p = 0; p < size_; ++p) entries[p].value = transform(entries[p].value);
    }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    static constexpr std::ptrdiff_t kBatch = 8;
    // A slot holds position + 1 of an entry; 0 marks an empty slot. Four bytes keep the index
    // of a large map small; positions are bounded accordingly.
    using Slot = std::uint32_t;
    static constexpr std::size_t kMaxSize = std::numeric_limits<Slot>::max() - 1;

    static void prefetch([[maybe_unused]] const void* address) noexcept {
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(address);
#endif
    }

    Entry* data() noexcept { return heap_ != nullptr ? heap_.get() : inline_; }
    const Entry* data() const noexcept { return heap_ != nullptr ? heap_.get() : inline_; }
    std::size_t slot_count() const noexcept { return slots_ != nullptr ? slot_mask_ + 1U : 0U; }

    std::size_t home(const Key& key) const noexcept { return Hash{}(key)&slot_mask_; }

    std::size_t position_of(const Key& key) const noexcept {
        const Entry* const entries = data();
        if (slots_ == nullptr) {
            for (std::size_t p = 0; p < size_; ++p) {
                if (entries[p].key == key) return p;
            }
            return npos;
        }
        for (std::size_t s = home(key);; s = (s + 1) & slot_mask_) {
            if (slots_[s] == 0) return npos;
            const std::size_t p = slots_[s] - 1U;
            if (entries[p].key == key) return p;
        }
    }

    void append(const Key& key, Value value) {
        if (size_ == capacity_) grow_storage(std::size_t{2} * capacity_);
        std::construct_at(data() + size_, Entry{key, std::move(value)});
        ++size_;
    }

    void place(std::size_t position) {
        std::size_t s = home(data()[position].key);
        while (slots_[s] != 0) s = (s + 1) & slot_mask_;
        slots_[s] = static_cast<Slot>(position + 1);
    }

    // Room for at least `count` entries, moved out of the inline array or the old heap array.
    void grow_storage(std::size_t count) {
        if (count > kMaxSize) throw std::length_error("qp::FlatMap: too many entries");
        const std::size_t capacity = std::max(count, std::size_t{InlineCapacity} + 1);
        std::unique_ptr<Entry, RawDelete> grown(
            static_cast<Entry*>(::operator new(capacity * sizeof(Entry))));
        if (size_ > 0) std::memcpy(grown.get(), data(), size_ * sizeof(Entry));
        heap_ = std::move(grown);
        capacity_ = static_cast<std::uint32_t>(capacity);
    }

    // An index of at least `minimum_slots` slots (a power of two, at least 64), so the load
    // stays at most one half and probes stay short.
    void rebuild_index(std::size_t minimum_slots) {
        std::size_t count = 64;
        while (count < minimum_slots) count *= 2;
        if (count - 1 > std::numeric_limits<std::uint32_t>::max()) {
            throw std::length_error("qp::FlatMap: too many entries");
        }
        slots_.reset(new Slot[count]());
        slot_mask_ = static_cast<std::uint32_t>(count - 1);
        for (std::size_t p = 0; p < size_; ++p) place(p);
    }

    void copy_from(const FlatMap& other) {
        if (other.size_ > InlineCapacity) grow_storage(other.size_);
        if (other.size_ > 0) std::memcpy(data(), other.data(), other.size_ * sizeof(Entry));
        size_ = other.size_;
        if (other.slots_ != nullptr) {
            slots_.reset(new Slot[other.slot_count()]);
            std::memcpy(slots_.get(), other.slots_.get(), other.slot_count() * sizeof(Slot));
            slot_mask_ = other.slot_mask_;
        }
    }

    // Takes other's entries and index and leaves it empty.
    void take(FlatMap& other) noexcept {
        heap_ = std::move(other.heap_);
        slots_ = std::move(other.slots_);
        if (heap_ == nullptr && other.size_ > 0) {
            std::memcpy(inline_, other.inline_, other.size_ * sizeof(Entry));
        }
        size_ = std::exchange(other.size_, 0U);
        capacity_ = std::exchange(other.capacity_, static_cast<std::uint32_t>(InlineCapacity));
        slot_mask_ = std::exchange(other.slot_mask_, 0U);
    }

    // Entries beyond the inline array live in raw storage: a fresh array is written before it
    // is read, so constructing its elements first would only touch every page twice.
    struct RawDelete {
        void operator()(Entry* entries) const noexcept { ::operator delete(entries); }
    };

    std::unique_ptr<Entry, RawDelete> heap_;  // null while the entries fit inline
    std::unique_ptr<Slot[]> slots_;           // null while the map is small
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = InlineCapacity;
    std::uint32_t slot_mask_ = 0;  // slot count - 1 while there is an index
    Entry inline_[InlineCapacity];
};

}  // namespace qp
