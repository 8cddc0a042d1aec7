// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A JSON object: members keyed by string, kept in one flat vector in
// ascending byte order of their keys (the order in which the writer writes
// them). Lookups are binary searches. The interface is the part of a
// std::map that callers use: a later insertion of a present key (emplace,
// try_emplace) keeps the earlier value, operator[] and insert_or_assign
// replace it. Iteration is read-only, so the keys stay sorted.

#include "TXJsonAllocator.h"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tx {

class JsonValue;
class TXJsonParser;

class JsonObject {
public:
    using key_type = std::string;
    using mapped_type = JsonValue;
    using value_type = std::pair<std::string, JsonValue>;
    using Storage = std::vector<value_type, TreeAllocator<value_type>>;
    using const_iterator = Storage::const_iterator;
    using iterator = const_iterator;
    using size_type = std::size_t;

    JsonObject() = default;
    JsonObject(std::initializer_list<value_type> members);

    // (Defined in TXJsonValue.h, where the member type is complete.)
    const_iterator begin() const noexcept;
    const_iterator end() const noexcept;
    const_iterator cbegin() const noexcept { return begin(); }
    const_iterator cend() const noexcept { return end(); }
    std::size_t size() const noexcept;
    bool empty() const noexcept;
    void clear() noexcept;

    const_iterator find(std::string_view key) const;
    bool contains(std::string_view key) const;
    std::size_t count(std::string_view key) const { return contains(key) ? 1 : 0; }

    // The value under key; std::out_of_range when absent.
    const JsonValue& at(std::string_view key) const;
    JsonValue& at(std::string_view key);
    // The value under key, made null when absent.
    JsonValue& operator[](std::string_view key);

    // Inserts when key is absent; the bool tells whether it was.
    std::pair<const_iterator, bool> emplace(std::string key, JsonValue value);
    std::pair<const_iterator, bool> try_emplace(std::string key, JsonValue value);
    std::pair<const_iterator, bool> insert(value_type member);
    std::pair<const_iterator, bool> insert_or_assign(std::string key, JsonValue value);
    // The number of members removed (0 or 1).
    std::size_t erase(std::string_view key);

    friend bool operator==(const JsonObject& a, const JsonObject& b);

private:
    friend class JsonValue;
    friend class TXJsonParser;

    // First member whose key is not less than key.
    std::size_t lowerBound(std::string_view key) const;
    // Moves arena storage to the heap before the object is changed.
    void detach();

    Storage members_;
};

}  // namespace tx
