// SPDX-License-Identifier: GPL-3.0-or-later
// The sounds made lately, by text and voice, the least recently used dropped first once the
// entries or their bytes pass the bounds. Not thread-safe: the speaker holds it under its lock.
#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <memory>
#include <string>

namespace lirra::server::speech {

class SpeechCache {
  public:
    SpeechCache(std::size_t maxEntries, std::size_t maxBytes)
        : maxEntries_(maxEntries), maxBytes_(maxBytes) {}

    // The sound, made the most recently used; nullptr when not held.
    std::shared_ptr<const std::string> find(const std::string& key);
    void put(const std::string& key, std::shared_ptr<const std::string> sound);
    bool holds(const std::string& key) const { return entries_.count(key) > 0; }  // no use made
    std::size_t bytes() const { return bytes_; }

  private:
    using Order = std::list<std::string>;  // most recently used first
    struct Entry {
        std::shared_ptr<const std::string> sound;
        Order::iterator place;
    };
    std::size_t maxEntries_, maxBytes_;
    std::size_t bytes_ = 0;
    Order order_;
    std::map<std::string, Entry> entries_;
};

}  // namespace lirra::server::speech
