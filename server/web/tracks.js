// SPDX-License-Identifier: GPL-3.0-or-later
// The video's subtitle tracks and the two lines drawn from them: the English line ("target")
// and the line in the learner's language ("native"), each with its track and timing offset.
// Until the learner chooses, the English line takes an English file (else one of unknown
// language) and the other line a file in the learner's language. Unless the learner turned it
// off for the video, each line shows its track fitted to the video's reference track (the
// service's "alignment"); the learner's offset adds on top.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) {
        module.exports = factory(require('./cues.js'), require('./alignment.js'));
    } else {
        var L = root.Lirra = root.Lirra || {};
        L.tracks = factory(L.cues, L.alignment);
    }
})(this, function (cues, alignment) {
    'use strict';

    var LINES = ['target', 'native'];
    var NONE = -1;

    function LineTracks(nativeCode) {
        this.nativeCode = nativeCode;
        this.list = [];   // the service's tracks: {subtitleId, language, fileName, cues, alignment}
        this.aligned = true;  // the service's timing fits are applied
        this.lines = {
            target: { trackId: null, track: null, offset: 0 },
            native: { trackId: null, track: null, offset: 0 }
        };
    }

    function findIn(list, id) {
        for (var i = 0; i < list.length; ++i) if (list[i].subtitleId === id) return list[i];
        return null;
    }

    LineTracks.prototype.byId = function (id) { return findIn(this.list, id); };

    LineTracks.prototype.first = function (test) {
        for (var i = 0; i < this.list.length; ++i) if (test(this.list[i])) return this.list[i].subtitleId;
        return null;
    };

    // The track a line shows given the stored choice: null chooses, -1 is "none", and a stored
    // track the video no longer has is chosen anew. The English line is chosen first.
    LineTracks.prototype.choose = function (line, saved) {
        if (saved === NONE) return NONE;
        if (saved !== null && this.byId(saved)) return saved;
        if (line === 'target') {
            var english = this.first(function (t) { return t.language === 'eng'; });
            if (english !== null) return english;
            var unknown = this.first(function (t) { return t.language === ''; });
            return unknown !== null ? unknown : NONE;
        }
        var code = this.nativeCode, taken = this.lines.target.trackId;
        var own = this.first(function (t) { return t.language === code && t.subtitleId !== taken; });
        return own !== null ? own : NONE;
    };

    LineTracks.prototype.setTrack = function (line, id) {
        var l = this.lines[line];
        var data = id === NONE ? null : this.byId(id);
        l.trackId = data ? id : NONE;
        l.track = data ? new cues.CueTrack(this.aligned ? alignment.apply(data.cues, data.alignment)
            : data.cues, l.offset) : null;
    };

    // Turns the timing fits on or off for both lines. Returns whether that changed anything.
    LineTracks.prototype.setAligned = function (on) {
        if (this.aligned === on) return false;
        this.aligned = on;
        var self = this;
        LINES.forEach(function (line) {
            var id = self.lines[line].trackId;
            if (id !== null) self.setTrack(line, id);
        });
        return true;
    };

    // What the fits do to these lines as they show now, in the learner's words (null: nothing).
    // lineName(line) and label(languageCode) give the names the page shows.
    LineTracks.prototype.notice = function (lines, lineName, label) {
        if (!this.aligned) return null;
        var self = this, said = [];
        lines.forEach(function (line) {
            var id = self.lines[line].trackId;
            var data = id !== null && id !== NONE ? self.byId(id) : null;
            var a = data && alignment.usable(data.alignment);
            if (!a || !data.cues.length) return;
            var text = alignment.describe(lineName(line), a, data.cues[0].start,
                                          alignment.referenceName(self.byId(a.to), label));
            if (text) said.push(text + '.');
        });
        return said.length ? said.join(' ') : null;
    };

    // Takes the service's answer; an empty one keeps the tracks already held (a file the
    // learner added meanwhile). Returns whether the tracks changed.
    LineTracks.prototype.replace = function (list) {
        if (!list.length && this.list.length) return false;
        this.list = list;
        return true;
    };

    function sameFit(a, b) {
        return JSON.stringify(a.alignment || null) === JSON.stringify(b.alignment || null);
    }

    function sameTracks(a, b) {
        if (a.length !== b.length) return false;
        for (var i = 0; i < a.length; ++i) {
            if (a[i].subtitleId !== b[i].subtitleId || !sameFit(a[i], b[i])) return false;
        }
        return true;
    }

    // Takes the service's answer, asked again while it is still working on the video. The first
    // tracks are chosen as stored (restore). Tracks that come later leave every line as it is,
    // so the line on screen does not change under the learner, except a line that has no track
    // yet, or whose stored choice has only now come, or whose track was fitted anew (a track
    // from inside the video became the reference). Returns the lines whose track or timing
    // changed, or null when the answer changed nothing.
    LineTracks.prototype.update = function (list, saved) {
        if (sameTracks(list, this.list)) return null;
        var first = !this.list.length;
        var before = this.list;
        if (!this.replace(list)) return null;
        if (first) {
            this.restore(saved);
            return LINES.slice();
        }
        var self = this, changed = [];
        LINES.forEach(function (line) {
            var l = self.lines[line], stored = saved[line].track;
            var showing = l.trackId !== null && l.trackId !== NONE && self.byId(l.trackId);
            var id = stored !== null && stored !== NONE && self.byId(stored) ? stored
                : showing || stored === NONE ? l.trackId : self.choose(line, stored);
            if (id === l.trackId && !refitted(before, self.list, id)) return;
            self.setTrack(line, id);
            changed.push(line);
        });
        return changed;
    };

    function refitted(before, after, id) {
        var a = findIn(before, id), b = findIn(after, id);
        return !!(a && b && !sameFit(a, b));
    }

    // Stored choices and offsets (the shape of Prefs.video) applied to the tracks held.
    LineTracks.prototype.restore = function (saved) {
        var self = this;
        LINES.forEach(function (line) { self.lines[line].offset = saved[line].offset; });
        LINES.forEach(function (line) { self.setTrack(line, self.choose(line, saved[line].track)); });
    };

    // A file the learner added: its first track goes to the English line if it is English,
    // else to the other. Returns the line.
    LineTracks.prototype.add = function (added) {
        this.list = this.list.concat(added);
        var line = added[0].language === 'eng' ? 'target' : 'native';
        this.setTrack(line, added[0].subtitleId);
        return line;
    };

    // Moves a line by delta ms (null: back to the file's timing). Returns the new offset.
    LineTracks.prototype.shift = function (line, delta) {
        var l = this.lines[line];
        l.offset = cues.clampOffset(delta === null ? 0 : l.offset + delta);
        if (l.track) l.track.setOffset(l.offset);
        return l.offset;
    };

    // What to store for the video (Prefs.setVideo).
    LineTracks.prototype.saved = function () {
        var l = this.lines;
        return {
            target: { track: l.target.trackId, offset: l.target.offset },
            native: { track: l.native.trackId, offset: l.native.offset }
        };
    };

    LineTracks.prototype.track = function (line) { return this.lines[line].track; };

    // The track that line jumps, auto-pause and the line list follow: the English line while it
    // shows, else the other line, else an English line that is hidden.
    LineTracks.prototype.followed = function (shown) {
        var t = this.lines.target.track;
        if (t && t.size() && shown.showTarget) return t;
        var n = this.lines.native.track;
        if (n && n.size()) return n;
        return t && t.size() ? t : null;
    };

    // The track whose cues stand beside the followed one's in the line list, if it shows.
    LineTracks.prototype.companion = function (followed, shown) {
        var native = this.lines.native.track;
        var other = native !== followed ? native : this.lines.target.track;
        if (!other || !(other === native ? shown.showNative : shown.showTarget)) return null;
        return other;
    };

    return { LineTracks: LineTracks, LINES: LINES, NONE: NONE };
});
