#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <utility>

namespace vanto::sandbox::detail {

/// Entries under keys, at most `most` of them and each for at most `age`: adding one past the
/// limit drops the oldest, and one past its age is gone. What the sandbox keeps per client stays
/// bounded however long it runs and however many clients come. Not thread-safe.
template <typename Key, typename Value>
class ExpiringTable {
  public:
    using Clock = std::chrono::steady_clock;

    ExpiringTable(std::size_t most, Clock::duration age) : most_(most), age_(age) {}

    /// Adds `value` under `key` unless an entry is there already (then false, and that one stays).
    bool add(Key key, Value value, Clock::time_point now) {
        dropExpired(now);
        if (entries_.contains(key)) {
            return false;
        }
        order_.emplace_back(now, key);
        entries_.emplace(std::move(key), std::move(value));
        while (entries_.size() > most_) {
            dropOldest();
        }
        return true;
    }

    /// The entry under `key`, if it is there and not past its age.
    Value* find(const Key& key, Clock::time_point now) {
        dropExpired(now);
        const auto found = entries_.find(key);
        return found == entries_.end() ? nullptr : &found->second;
    }

    std::size_t size() const { return entries_.size(); }

  private:
    void dropExpired(Clock::time_point now) {
        while (!order_.empty() && now - order_.front().first > age_) {
            dropOldest();
        }
    }
    void dropOldest() {
        entries_.erase(order_.front().second);
        order_.pop_front();
    }

    std::size_t most_;
    Clock::duration age_;
    std::map<Key, Value> entries_;
    /// Every key with the time it was added, oldest first.
    std::deque<std::pair<Clock::time_point, Key>> order_;
};

}  // namespace vanto::sandbox::detail
