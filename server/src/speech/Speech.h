// SPDX-License-Identifier: GPL-3.0-or-later
// The word card's and the line's "say it": text spoken by libespeak-ng, in this process, as a
// WAV file, and the IPA the same engine gives a word. espeak-ng keeps one engine per process
// and is not thread-safe, so every call goes through the one Speaker, one at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "speech/SpeechCache.h"

namespace lirra::server::speech {

inline constexpr std::size_t kMaxCharacters = 200;  // a long subtitle line
inline constexpr std::size_t kCacheEntries = 256;
inline constexpr std::size_t kCacheBytes = 32 * 1024 * 1024;

enum class Voice { UnitedStates, Britain };
// "en-us" or "en-gb" as the pages write them; none for anything else.
std::optional<Voice> voiceNamed(std::string_view name);

struct Spoken {
    int status = 200;  // 400 text refused, 503 no engine
    std::string error;
    std::shared_ptr<const std::string> wav;
    bool cached = false;  // the sound was made for an earlier request
};

class Speaker {
  public:
    // The process's one engine, started on first use.
    static Speaker& shared();

    // 400 for a text that is empty (white space only), over kMaxCharacters characters or not
    // UTF-8.
    Spoken say(std::string_view text, Voice voice);
    // The text's sounds in IPA ("həlˈəʊ"); empty without an engine or for an unusable text.
    std::string ipa(std::string_view text, Voice voice);

  private:
    Speaker();
    bool select(Voice voice);  // under the lock

    std::mutex lock_;
    int sampleRate_ = 0;  // 0: the engine could not start
    std::optional<Voice> current_;
    SpeechCache cache_{kCacheEntries, kCacheBytes};
};

}  // namespace lirra::server::speech
