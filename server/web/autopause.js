// SPDX-License-Identifier: GPL-3.0-or-later
// Auto-pause: stop the video when the line being heard ends, so the learner can read both
// lines before going on. Fed with every clock reading; tells the page when to pause.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).autopause = factory();
})(this, function () {
    'use strict';

    // Readings further apart than this are a seek, not playback crossing a line's end.
    var MAX_STEP_MS = 1500;

    function AutoPause(onPause) {
        this.onPause = onPause;
        this.enabled = false;
        this.previous = null;  // last clock reading
        this.armed = -1;       // the line whose end pauses
        this.armedEnd = 0;
        this.skipBefore = null; // after a jump: lines starting before the target don't arm
    }

    AutoPause.prototype.setEnabled = function (on) {
        this.enabled = !!on;
        this.armed = -1;
    };

    // A jump to a line that starts at target: the seek lands on the whole second before it,
    // where the end of the line before must not pause.
    AutoPause.prototype.jumped = function (target) {
        this.armed = -1;
        this.skipBefore = target;
    };

    // Any other seek (seek bar, keys): no line is skipped.
    AutoPause.prototype.seeked = function () {
        this.armed = -1;
        this.skipBefore = null;
    };

    AutoPause.prototype.update = function (t, track) {
        if (typeof t !== 'number' || !isFinite(t)) return;
        var prev = this.previous;
        this.previous = t;
        if (!this.enabled || !track) return;
        var playedOn = prev !== null && t >= prev && t - prev <= MAX_STEP_MS;
        if (this.armed >= 0 && playedOn && prev < this.armedEnd && t >= this.armedEnd) {
            var line = this.armed;
            this.armed = -1;
            this.onPause(line);
            return;
        }
        if (!playedOn) this.armed = -1;
        // The clock has reached the line jumped to (a stale reading far past it does not count).
        if (this.skipBefore !== null && t >= this.skipBefore && t - this.skipBefore <= MAX_STEP_MS)
            this.skipBefore = null;
        var index = track.lineAt(t);
        if (index < 0 || index === this.armed) return;
        if (this.skipBefore !== null && track.videoStart(index) < this.skipBefore) return;
        this.armed = index;
        this.armedEnd = track.videoEnd(index);
    };

    return { AutoPause: AutoPause, MAX_STEP_MS: MAX_STEP_MS };
});
