// SPDX-License-Identifier: GPL-3.0-or-later
// Practising one line until it is heard: repeat it N times then play on, loop it until stopped,
// loop a stretch from one line to another (A–B), or replay it slower with the speed put back
// afterwards. Fed with every clock reading; at the end of the stretch's last line it jumps back
// to the start of its first.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).practise = factory();
})(this, function () {
    'use strict';

    var MAX_REPEATS = 10;
    var SLOW_RATES = [0.75, 0.5];
    // A whole-second seek lands up to a second before the line; readings further off than this
    // from the stretch once it has been reached mean the learner went elsewhere.
    var LANDING_MS = 1000;
    var AWAY_MS = 1500;

    // options: transport (a transport.Transport), followed() (the track lines come from, or
    // null), toast(text), shown(plan or null) to draw the controls' state.
    function Practice(options) {
        this.transport = options.transport;
        this.followed = options.followed;
        this.toast = options.toast;
        this.shown = options.shown || function () {};
        // {kind: 'repeat'|'loop'|'ab'|'slow'|'hear', from, to, left (Infinity: until stopped),
        // played, rate and restore (slow: the speed to go back to), then (hear), landed}
        this.plan = null;
        this.mark = -1;  // the first line of an A–B loop waiting for its last
    }

    Practice.prototype.active = function () { return this.plan !== null; };

    // The line the learner is on (a jump that has not landed yet counts), or -1.
    Practice.prototype.line = function (track) {
        var ref = this.transport.lineNav.reference();
        if (ref === null) ref = 0;
        var i = track.currentLine(ref);
        return i >= 0 ? i : track.nextLine(ref);
    };

    // The line to practise, or -1 after telling why there is none.
    Practice.prototype.target = function () {
        var track = this.followed();
        var i = track && track.size() ? this.line(track) : -1;
        if (i < 0) this.toast(L10n.text('No line to practise here.'));
        return i;
    };

    Practice.prototype.begin = function (plan) {
        var track = this.followed();
        var jump = this.transport.lineNav.jumpTo(track, plan.from);
        if (!jump) return;
        plan.landed = false;
        this.plan = plan;
        this.transport.goToJump(jump);
        this.shown(plan);
    };

    // Hear the line `times` times (1 to 10) from its start, then play on.
    Practice.prototype.repeat = function (times) {
        var n = Math.max(1, Math.min(MAX_REPEATS, Math.floor(Number(times)) || 1));
        var i = this.target();
        if (i < 0) return;
        this.stop(true);
        this.begin({ kind: 'repeat', from: i, to: i, left: n, played: 0 });
        this.toast(L10n.plural(n, 'Playing this line {n} time', 'Playing this line {n} times'));
    };

    // Loop the line until stopped; again stops.
    Practice.prototype.loop = function () {
        if (this.plan && this.plan.kind === 'loop') { this.stop(); return; }
        var i = this.target();
        if (i < 0) return;
        this.stop(true);
        this.begin({ kind: 'loop', from: i, to: i, left: Infinity, played: 0 });
        this.toast(L10n.text('Looping this line · O or Esc stops'));
    };

    // First press: this line starts the stretch; second: this line ends it, and the loop
    // begins (either order); a press during the loop stops it.
    Practice.prototype.markAB = function () {
        if (this.plan && this.plan.kind === 'ab') { this.stop(); return; }
        var i = this.target();
        if (i < 0) return;
        if (this.mark < 0) {
            this.stop(true);
            this.mark = i;
            this.shown(null);
            this.toast(L10n.text('Loop from this line: press B again at its last line'));
            return;
        }
        var from = Math.min(this.mark, i), to = Math.max(this.mark, i);
        this.mark = -1;
        this.begin({ kind: 'ab', from: from, to: to, left: Infinity, played: 0 });
        this.toast(L10n.plural(to - from + 1, 'Looping {n} line · B or Esc stops', 'Looping {n} lines · B or Esc stops'));
    };

    // Hear the line once at rate (0.75 or 0.5), then go on at the speed it had.
    Practice.prototype.slow = function (rate) {
        if (SLOW_RATES.indexOf(rate) < 0) return;
        var i = this.target();
        if (i < 0) return;
        this.stop(true);
        var restore = this.transport.player.speed;
        this.transport.command('SetPlaybackSpeed', { speed: rate });
        this.begin({ kind: 'slow', from: i, to: i, left: 1, played: 0, rate: rate, restore: restore });
        this.toast(L10n.text('This line at {rate}×', { rate: L10n.number(rate) }));
    };

    // Hear the line once from its start; at its end the video pauses and then() runs.
    Practice.prototype.hearOnce = function (then) {
        var i = this.target();
        if (i < 0) return;
        this.stop(true);
        this.begin({ kind: 'hear', from: i, to: i, left: 1, played: 0, then: then });
    };

    // Ends any practice (a slow replay gives the speed back); quiet: no word of it.
    Practice.prototype.stop = function (quiet) {
        var plan = this.plan;
        this.plan = null;
        this.mark = -1;
        if (!plan) return;
        if (plan.rate) this.transport.command('SetPlaybackSpeed', { speed: plan.restore });
        this.shown(null);
        if (!quiet && plan.left === Infinity) this.toast(L10n.text('Loop stopped'));
    };

    // Each clock reading.
    Practice.prototype.clock = function (t) {
        var plan = this.plan;
        if (!plan || typeof t !== 'number' || !isFinite(t)) return;
        var track = this.followed();
        if (!track || plan.to >= track.size()) { this.stop(true); return; }
        var start = Math.max(0, track.videoStart(plan.from)), end = track.videoEnd(plan.to);
        if (!plan.landed) {
            // Readings from before the seek took effect are not the stretch.
            if (t >= start - LANDING_MS && t < end) plan.landed = true;
            return;
        }
        if (t < start - AWAY_MS || t > end + AWAY_MS) { this.stop(true); return; }
        if (t < end) return;
        plan.played += 1;
        if (plan.played < plan.left) { this.begin(plan); return; }
        this.stop(true);
        if (plan.then) {
            this.transport.command('Pause');
            plan.then();
        }
    };

    return { Practice: Practice, MAX_REPEATS: MAX_REPEATS, SLOW_RATES: SLOW_RATES };
});
