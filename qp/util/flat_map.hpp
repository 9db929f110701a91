// A map that keeps its entries in insertion order in one vector, indexed by an open-addressing
// hash table only once it grows past a few entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace qp {

/// Insertion-ordered map with average constant-time lookup and insertion.
///
/// The expressions of a QP mostly hold one to three entries, for which a linear scan over a
/// contiguous vector beats any hash table and costs one allocation. Past `kLinearLimit`
/// entries a hash index (linear probing over positions, no allocation per entry) is built, so
/// large expressions such as a summed objective stay linear overall. Entries are never
/// removed, so positions stay valid.
template <class Key, class Value, class Hash = std::hash<Key>>
class FlatMap {
public:
    struct Entry {
        Key key;
        Value value;
    };

    /// Size up to which lookups scan the entries instead of using the hash index.
    static constexpr std::size_t kLinearLimit = 16;

    std::size_t size() const noexcept { return entries_.size(); }
    bool empty() const noexcept { return entries_.empty(); }
    void reserve(std::size_t count) { entries_.reserve(count); }

    auto begin() const noexcept { return entries_.cbegin(); }
    auto end() const noexcept { return entries_.cend(); }

    /// The value stored for `key`, or nullptr.
    const Value* find(const Key& key) const noexcept {
        const std::size_t position = position_of(key);
        return position == npos ? nullptr : &entries_[position].value;
    }
    Value* find(const Key& key) noexcept {
        const std::size_t position = position_of(key);
        return position == npos ? nullptr : &entries_[position].value;
    }

    /// Adds `value` to the entry of `key` (as value + existing), inserting it when absent.
    void add(const Key& key, Value value) {
        if (Value* existing = find(key)) {
            *existing = value + *existing;
        } else {
            insert_new(key, std::move(value));
        }
    }

    /// Inserts an entry for a key known to be absent.
    void insert_new(const Key& key, Value value) {
        // Most expressions end with two or three entries: one allocation instead of three.
        if (entries_.capacity() == 0) entries_.reserve(4);
        entries_.push_back(Entry{key, std::move(value)});
        if (entries_.size() <= kLinearLimit) return;
        if (2 * entries_.size() > slots_.size()) {
            rebuild_index();
        } else {
            place(entries_.size() - 1);
        }
    }

    /// Applies `transform` to every value in place; keys stay as they are.
    template <class Transform>
    void transform_values(Transform&& transform) {
        for (Entry& entry : entries_) entry.value = transform(entry.value);
    }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    // A slot holds position + 1 of an entry; 0 marks an empty slot.
    using Slot = std::uint64_t;

    std::size_t home(const Key& key) const noexcept { return Hash{}(key) & (slots_.size() - 1); }

    std::size_t position_of(const Key& key) const noexcept {
        if (slots_.empty()) {
            for (std::size_t p = 0; p < entries_.size(); ++p) {
                if (entries_[p].key == key) return p;
            }
            return npos;
        }
        for (std::size_t s = home(key);; s = (s + 1) & (slots_.size() - 1)) {
            if (slots_[s] == 0) return npos;
            const std::size_t p = static_cast<std::size_t>(slots_[s] - 1);
            if (entries_[p].key == key) return p;
        }
    }

    void place(std::size_t position) {
        std::size_t s = home(entries_[position].key);
        while (slots_[s] != 0) s = (s + 1) & (slots_.size() - 1);
        slots_[s] = position + 1;
    }

    // Keeps the load at most one half, so probes stay short.
    void rebuild_index() {
        std::size_t capacity = 64;
        while (capacity < 4 * entries_.size()) capacity *= 2;
        slots_.assign(capacity, 0);
        for (std::size_t p = 0; p < entries_.size(); ++p) place(p);
    }

    std::vector<Entry> entries_;
    std::vector<Slot> slots_;  // empty while the map is small
};

}  // namespace qp
