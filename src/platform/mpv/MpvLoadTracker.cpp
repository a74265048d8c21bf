// SPDX-License-Identifier: GPL-3.0-or-later
#include "MpvLoadTracker.h"

namespace lirra {

void MpvLoadTracker::open() {
    fileActive_ = false;
    phase_ = Phase::Opening;
}

std::uint64_t MpvLoadTracker::loadSent() {
    expectedEntry_ = kAwaitingReply;
    return ++loadSerial_;
}

void MpvLoadTracker::loadRefused() {
    expectedEntry_ = kNoEntry;
    phase_ = Phase::Failed;
}

bool MpvLoadTracker::loadReplied(std::uint64_t serial, bool ok, std::optional<std::int64_t> entry) {
    // Earlier loadfiles were replaced or stopped.
    if (serial != loadSerial_ || expectedEntry_ != kAwaitingReply) return false;
    if (!ok) {
        loadRefused();
        return true;
    }
    expectedEntry_ = entry.value_or(kAnyEntry);
    return true;
}

void MpvLoadTracker::fileStarted(std::int64_t entry) {
    if (expectedEntry_ == kAnyEntry) expectedEntry_ = entry;
    if (entry != expectedEntry_) return;
    fileActive_ = true;
    phase_ = Phase::Opening;
}

bool MpvLoadTracker::fileLoaded() {
    if (!fileActive_) return false;
    phase_ = Phase::Loaded;
    return true;
}

bool MpvLoadTracker::fileEnded(std::int64_t entry, EndReason reason, std::int64_t inserted) {
    if (entry != expectedEntry_ || !fileActive_) return false;
    fileActive_ = false;
    switch (reason) {
        case EndReason::Error:
            expectedEntry_ = kNoEntry;
            phase_ = Phase::Failed;
            break;
        case EndReason::Eof:
            expectedEntry_ = kNoEntry;
            phase_ = Phase::Ended;
            break;
        case EndReason::Redirect:
            // A playlist: the media goes on in the entries it inserted.
            expectedEntry_ = inserted > 0 ? inserted : kAnyEntry;
            phase_ = Phase::Opening;
            break;
        case EndReason::Other:
            expectedEntry_ = kNoEntry;
            phase_ = Phase::Idle;
            break;
    }
    return true;
}

void MpvLoadTracker::stop() {
    expectedEntry_ = kNoEntry;
    fileActive_ = false;
    phase_ = Phase::Idle;
}

}  // namespace lirra
