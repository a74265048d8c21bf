// SPDX-License-Identifier: GPL-3.0-or-later
// Which of mpv's playlist entries is the current media, and where that media is in its life.
// mpv answers a loadfile later, on its own, and still reports media that were replaced or
// stopped meanwhile: only the latest loadfile's entry counts. Plain logic, no engine calls.
//
//   Idle ──open──▶ Opening ──(reply, START_FILE, FILE_LOADED)──▶ Loaded ──END_FILE──▶ Ended
//                     │                                                  (eof) / Failed
//                     └─ refused or unplayable ─▶ Failed             (error) / Idle (other)
//   A redirect (a playlist) goes back to Opening for the entry it inserted; stop() is Idle.
#pragma once

#include <cstdint>
#include <optional>

namespace lirra {

class MpvLoadTracker {
  public:
    enum class Phase { Idle, Opening, Loaded, Ended, Failed };
    enum class EndReason { Eof, Error, Redirect, Other };

    Phase phase() const { return phase_; }
    // Our media is open in the engine: its START_FILE came, its END_FILE not yet.
    bool fileActive() const { return fileActive_; }
    // The engine may be working on our media, so a stop has something to stop.
    bool engaged() const { return expectedEntry_ != kNoEntry || fileActive_; }

    // A new media is wanted; nothing reported of the previous one counts any more.
    void open();
    // A loadfile is about to be sent; its serial goes with it as the reply id.
    std::uint64_t loadSent();
    // The loadfile could not be sent.
    void loadRefused();
    // The reply to loadfile `serial`, with the playlist entry mpv made for it when it said.
    // True when it answers the latest loadfile (a failed one leaves the Failed phase).
    bool loadReplied(std::uint64_t serial, bool ok, std::optional<std::int64_t> entry);
    void fileStarted(std::int64_t entry);
    // True when the file is ours: it is Loaded now.
    bool fileLoaded();
    // True when the entry was ours. `inserted`: the first entry a redirect put in its place.
    bool fileEnded(std::int64_t entry, EndReason reason, std::int64_t inserted);
    // The engine cannot play (no location, no engine); entries already expected stay so.
    void fail() { phase_ = Phase::Failed; }
    // Whatever mpv still reports of the media is stale.
    void stop();

  private:
    // expectedEntry_ values that are not playlist entry ids.
    static constexpr std::int64_t kNoEntry = 0;
    static constexpr std::int64_t kAwaitingReply = -1;  // loadfile sent, its entry not known
    static constexpr std::int64_t kAnyEntry = -2;       // the next START_FILE is ours

    Phase phase_ = Phase::Idle;
    std::uint64_t loadSerial_ = 0;
    std::int64_t expectedEntry_ = kNoEntry;
    bool fileActive_ = false;
};

}  // namespace lirra
