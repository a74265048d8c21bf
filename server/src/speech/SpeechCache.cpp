// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/SpeechCache.h"

namespace lirra::server::speech {

std::shared_ptr<const std::string> SpeechCache::find(const std::string& key) {
    const auto found = entries_.find(key);
    if (found == entries_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second.place);
    return found->second.sound;
}

void SpeechCache::put(const std::string& key, std::shared_ptr<const std::string> sound) {
    if (!sound || sound->size() > maxBytes_) return;  // it would push out everything else
    if (const auto old = entries_.find(key); old != entries_.end()) {
        bytes_ -= old->second.sound->size();
        order_.erase(old->second.place);
        entries_.erase(old);
    }
    bytes_ += sound->size();
    order_.push_front(key);
    entries_[key] = {std::move(sound), order_.begin()};
    while (entries_.size() > maxEntries_ || bytes_ > maxBytes_) {
        const auto last = entries_.find(order_.back());
        bytes_ -= last->second.sound->size();
        entries_.erase(last);
        order_.pop_back();
    }
}

}  // namespace lirra::server::speech
