// SPDX-License-Identifier: GPL-3.0-or-later
// What the pages remember in localStorage: the learner's language, the player settings, the
// lines' sizes and place, and per video the chosen tracks, timing offsets and whether the
// service's timing fits apply. Bad or missing stored data gives defaults; a storage that refuses
// writes (private mode, quota) is ignored.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./cues.js'), require('./linestyle.js'));
    else (root.Lirra = root.Lirra || {}).prefs = factory(root.Lirra.cues, root.Lirra.linestyle);
})(this, function (cues, linestyle) {
    'use strict';

    var LANGUAGE_KEY = 'lirra.nativeLanguage';
    var PLAYER_KEY = 'lirra.player';
    var LINES_KEY = 'lirra.lines';
    var VIDEO_PREFIX = 'lirra.video.';
    var MAX_VIDEOS = 200;

    function Prefs(storage, now) {
        this.storage = storage || null;
        this.now = now || function () { return Date.now(); };
    }

    Prefs.prototype.read = function (key) {
        try {
            var text = this.storage && this.storage.getItem(key);
            return text ? JSON.parse(text) : null;
        } catch (e) {
            return null;
        }
    };

    Prefs.prototype.write = function (key, value) {
        try {
            if (this.storage) this.storage.setItem(key, JSON.stringify(value));
        } catch (e) { /* full or refused: the setting lasts for this page only */ }
    };

    Prefs.prototype.language = function () {
        try {
            var code = this.storage && this.storage.getItem(LANGUAGE_KEY);
            return typeof code === 'string' && /^[a-z]{3}$/.test(code) ? code : null;
        } catch (e) {
            return null;
        }
    };

    Prefs.prototype.setLanguage = function (code) {
        try {
            if (this.storage) this.storage.setItem(LANGUAGE_KEY, code);
        } catch (e) { /* as in write */ }
    };

    Prefs.prototype.player = function () {
        var stored = this.read(PLAYER_KEY) || {};
        return {
            showTarget: stored.showTarget !== false,
            showNative: stored.showNative !== false,
            autoPause: stored.autoPause === true,
            markNew: stored.markNew === true,   // colour new words too, not only learning ones
            tutorialSeen: stored.tutorialSeen === true,
            voice: stored.voice === 'en-gb' ? 'en-gb' : 'en-us'  // "say it"
        };
    };

    Prefs.prototype.setPlayer = function (changes) {
        var current = this.player();
        Object.keys(changes).forEach(function (k) { current[k] = changes[k]; });
        this.write(PLAYER_KEY, current);
    };

    // The lines' sizes and place (linestyle.js), kept beside the player settings.
    Prefs.prototype.lineStyle = function () { return linestyle.read(this.read(LINES_KEY)); };

    Prefs.prototype.setLineStyle = function (changes) {
        var current = this.lineStyle();
        Object.keys(changes).forEach(function (k) { current[k] = changes[k]; });
        this.write(LINES_KEY, linestyle.read(current));
    };

    function trackId(value) {
        return typeof value === 'number' && isFinite(value) ? value : null;
    }

    // {target: {track, offset}, native: {track, offset}}; track null means "choose for me",
    // track -1 means "none".
    Prefs.prototype.video = function (videoId) {
        var stored = this.read(VIDEO_PREFIX + videoId) || {};
        var line = function (s) {
            s = s && typeof s === 'object' ? s : {};
            return { track: trackId(s.track), offset: cues.clampOffset(s.offset) };
        };
        return { target: line(stored.target), native: line(stored.native) };
    };

    Prefs.prototype.setVideo = function (videoId, state) {
        var record = { target: state.target, native: state.native, saved: this.now() };
        if (!this.aligned(videoId)) record.aligned = false;
        this.write(VIDEO_PREFIX + videoId, record);
        this.prune();
    };

    // Whether the lines of the video take the service's timing fits: yes unless turned off.
    Prefs.prototype.aligned = function (videoId) {
        var stored = this.read(VIDEO_PREFIX + videoId);
        return !(stored && typeof stored === 'object' && stored.aligned === false);
    };

    Prefs.prototype.setAligned = function (videoId, on) {
        var stored = this.read(VIDEO_PREFIX + videoId);
        var record = stored && typeof stored === 'object' ? stored : {};
        if (on) delete record.aligned; else record.aligned = false;
        record.saved = this.now();
        this.write(VIDEO_PREFIX + videoId, record);
        this.prune();
    };

    // Keep the most recently changed videos only.
    Prefs.prototype.prune = function () {
        if (!this.storage || typeof this.storage.length !== 'number') return;
        var entries = [];
        for (var i = 0; i < this.storage.length; ++i) {
            var key = this.storage.key(i);
            if (key && key.indexOf(VIDEO_PREFIX) === 0) {
                var value = this.read(key);
                entries.push({ key: key, saved: value && value.saved || 0 });
            }
        }
        if (entries.length <= MAX_VIDEOS) return;
        entries.sort(function (a, b) { return b.saved - a.saved; });
        var self = this;
        entries.slice(MAX_VIDEOS).forEach(function (e) {
            try { self.storage.removeItem(e.key); } catch (err) { /* ignored */ }
        });
    };

    return { Prefs: Prefs, LANGUAGE_KEY: LANGUAGE_KEY, LINES_KEY: LINES_KEY, MAX_VIDEOS: MAX_VIDEOS };
});
