// SPDX-License-Identifier: GPL-3.0-or-later
// Line-by-line navigation. Seeks land on whole seconds (on the line's start once the app says
// it knows "SeekToMs") and the clock the page gets lags the seek, so after a jump the line
// jumped to stays the reference until the clock has reached it; pressing "previous" twice in a
// row therefore goes back two lines, not one.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).linenav = factory();
})(this, function () {
    'use strict';

    var SETTLE_MS = 3000;  // a jump the clock never confirms is forgotten after this

    function LineNavigator(now) {
        this.now = now || function () { return Date.now(); };
        this.time = null;
        this.pending = null;
        this.exact = false;  // the app seeks to the line's start itself (transport.js)
    }

    // Each clock reading from the player. Readings from before the seek took effect (far
    // from the target) do not end the jump; one at or past the target line does.
    LineNavigator.prototype.position = function (t) {
        this.time = typeof t === 'number' && isFinite(t) ? t : null;
        var p = this.pending;
        if (!p) return;
        var landed = this.time !== null && this.time >= p.seekMs - 250 && this.time <= p.target + SETTLE_MS;
        if ((landed && this.time >= p.target) || this.now() - p.at > SETTLE_MS) this.pending = null;
    };

    // The time the next jump is measured from.
    LineNavigator.prototype.reference = function () {
        return this.pending ? this.pending.target : this.time;
    };

    // kind: 'previous', 'next' or 'repeat'. Returns {index, target, seconds} or null when
    // there is no such line; seconds is what to seek to (the engine seeks in whole seconds).
    LineNavigator.prototype.jump = function (track, kind) {
        if (!track || !track.size()) return null;
        var ref = this.reference();
        if (ref === null) ref = 0;
        var index = kind === 'next' ? track.nextLine(ref)
            : kind === 'previous' ? track.previousLine(ref)
            : track.currentLine(ref);
        if (kind === 'repeat' && index < 0) index = track.nextLine(ref);
        return this.jumpTo(track, index);
    };

    // A jump to line index (the line list's click), or null when there is no such line.
    LineNavigator.prototype.jumpTo = function (track, index) {
        if (!track || index < 0 || index >= track.size()) return null;
        var target = Math.max(0, track.videoStart(index));
        var seconds = Math.floor(target / 1000);
        this.pending = { target: target, seekMs: seconds * 1000, at: this.now() };
        return { index: index, target: target, seconds: seconds };
    };

    // A seek that was not a line jump (seek bar, line list) ends any pending jump.
    LineNavigator.prototype.forget = function () { this.pending = null; };

    return { LineNavigator: LineNavigator };
});
