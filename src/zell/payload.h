#pragma once
// The payload of an agent event: string keys to string values, kept in the order the emitter
// gave them. Events carry a few keys each, so a flat vector beats any hashed map here.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zell {

class Payload {
 public:
  using Entry = std::pair<std::string, std::string>;
  using const_iterator = std::vector<Entry>::const_iterator;

  Payload() = default;
  // Later duplicates of a key replace the earlier value in place, as `set` does.
  Payload(std::initializer_list<Entry> entries) {
    entries_.reserve(entries.size());
    for (const Entry& e : entries) set(e.first, e.second);
  }

  // Replaces the value of an existing key where it stands, or appends a new key at the end.
  void set(std::string key, std::string value) {
    for (Entry& e : entries_) {
      if (e.first == key) {
        e.second = std::move(value);
        return;
      }
    }
    entries_.emplace_back(std::move(key), std::move(value));
  }

  // The value of `key`, or null when the key is absent.
  [[nodiscard]] const std::string* find(std::string_view key) const noexcept {
    for (const Entry& e : entries_) {
      if (e.first == key) return &e.second;
    }
    return nullptr;
  }
  [[nodiscard]] bool contains(std::string_view key) const noexcept { return find(key) != nullptr; }
  // The value of `key`, or `fallback` when the key is absent.
  [[nodiscard]] std::string get(std::string_view key, std::string_view fallback = {}) const {
    const std::string* v = find(key);
    return v ? *v : std::string(fallback);
  }

  [[nodiscard]] std::size_t size() const noexcept { return entries_.size(); }
  [[nodiscard]] bool empty() const noexcept { return entries_.empty(); }
  [[nodiscard]] const_iterator begin() const noexcept { return entries_.begin(); }
  [[nodiscard]] const_iterator end() const noexcept { return entries_.end(); }

  friend bool operator==(const Payload&, const Payload&) = default;

 private:
  std::vector<Entry> entries_;
};

}  // namespace zell
