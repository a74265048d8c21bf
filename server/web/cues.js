// SPDX-License-Identifier: GPL-3.0-or-later
// Cue lookup for one subtitle line: which cue shows at a time, with the line's timing offset,
// and where the previous, next and current lines start. Cues come ordered by start.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).cues = factory();
})(this, function () {
    'use strict';

    var MAX_OFFSET_MS = 60000;
    var OFFSET_STEP_MS = 100;

    // Offsets move in steps of 100 ms and stay within a minute either way.
    function clampOffset(ms) {
        var steps = Math.round((Number(ms) || 0) / OFFSET_STEP_MS);
        return Math.max(-MAX_OFFSET_MS, Math.min(MAX_OFFSET_MS, steps * OFFSET_STEP_MS));
    }

    // A positive offset shows the line later than its file says.
    function CueTrack(cues, offsetMs) {
        this.cues = (cues || []).filter(function (c) {
            return c && isFinite(c.start) && isFinite(c.end) && c.end >= c.start;
        });
        // Running maximum of the ends, so that a long cue that started early is still found.
        this.maxEnd = [];
        var max = -Infinity;
        for (var i = 0; i < this.cues.length; ++i) {
            max = Math.max(max, this.cues[i].end);
            this.maxEnd.push(max);
        }
        this.offset = clampOffset(offsetMs);
    }

    CueTrack.prototype.setOffset = function (ms) { this.offset = clampOffset(ms); };
    CueTrack.prototype.size = function () { return this.cues.length; };

    // Where cue i starts and ends on the video's clock.
    CueTrack.prototype.videoStart = function (i) { return this.cues[i].start + this.offset; };
    CueTrack.prototype.videoEnd = function (i) { return this.cues[i].end + this.offset; };

    // The last cue that starts at or before the video time t, or -1.
    CueTrack.prototype.lastStarted = function (t) {
        var local = t - this.offset;
        var lo = 0, hi = this.cues.length - 1, found = -1;
        while (lo <= hi) {
            var mid = (lo + hi) >> 1;
            if (this.cues[mid].start <= local) { found = mid; lo = mid + 1; } else { hi = mid - 1; }
        }
        return found;
    };

    // Every cue showing at video time t, oldest first (overlapping cues show together).
    CueTrack.prototype.activeAt = function (t) {
        if (typeof t !== 'number' || !isFinite(t)) return [];
        var local = t - this.offset;
        var out = [];
        for (var i = this.lastStarted(t); i >= 0 && this.maxEnd[i] > local; --i) {
            if (this.cues[i].end > local) out.push(i);
        }
        return out.reverse();
    };

    // The line being spoken at t: the newest showing cue, or -1.
    CueTrack.prototype.lineAt = function (t) {
        var active = this.activeAt(t);
        return active.length ? active[active.length - 1] : -1;
    };

    // The first cue that starts after t, or -1.
    CueTrack.prototype.nextLine = function (t) {
        var i = this.lastStarted(t) + 1;
        return i < this.cues.length ? i : -1;
    };

    // The line to hear again: the one showing, else the one that ended last (-1 before any).
    CueTrack.prototype.currentLine = function (t) {
        var line = this.lineAt(t);
        return line >= 0 ? line : this.lastStarted(t);
    };

    // The line before the one showing; in a pause between lines, the line just heard.
    CueTrack.prototype.previousLine = function (t) {
        var line = this.lineAt(t);
        if (line < 0) return this.lastStarted(t);
        return Math.max(0, line - 1);
    };

    return { CueTrack: CueTrack, clampOffset: clampOffset, OFFSET_STEP_MS: OFFSET_STEP_MS,
             MAX_OFFSET_MS: MAX_OFFSET_MS };
});
