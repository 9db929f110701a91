// A map that keeps its entries in insertion order in one vector, indexed by a hash table only
// once it grows past a few entries.
#pragma once

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qp {

/// Insertion-ordered map with average constant-time lookup and insertion.
///
/// The expressions of a QP mostly hold one to three entries, for which a linear scan over a
/// contiguous vector beats any hash table and allocates once. Past `kLinearLimit` entries a
/// hash index from key to position is built, so that large expressions stay linear overall.
/// Entries are never removed, so positions stay valid.
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
        entries_.push_back(Entry{key, std::move(value)});
        if (entries_.size() > kLinearLimit) {
            if (index_.empty()) {
                index_.reserve(entries_.size() * 2);
                for (std::size_t p = 0; p < entries_.size(); ++p) index_.emplace(entries_[p].key, p);
            } else {
                index_.emplace(key, entries_.size() - 1);
            }
        }
    }

    /// Applies `transform` to every value in place; keys stay as they are.
    template <class Transform>
    void transform_values(Transform&& transform) {
        for (Entry& entry : entries_) entry.value = transform(entry.value);
    }

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    std::size_t position_of(const Key& key) const noexcept {
        if (entries_.size() <= kLinearLimit) {
            for (std::size_t p = 0; p < entries_.size(); ++p) {
                if (entries_[p].key == key) return p;
            }
            return npos;
        }
        const auto found = index_.find(key);
        return found == index_.end() ? npos : found->second;
    }

    std::vector<Entry> entries_;
    // Empty (and so without allocation) while the map is small.
    std::unordered_map<Key, std::size_t, Hash> index_;
};

}  // namespace qp
