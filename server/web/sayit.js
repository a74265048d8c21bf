// SPDX-License-Identifier: GPL-3.0-or-later
// Hear it and say it: a word or a line spoken by the service's speech engine with the video
// paused (and playing again after, if it was), and the learner's own voice recorded for a line
// through the page's microphone, played after the original. Recordings stay in the page, the
// last one per line; nothing leaves the machine.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).sayit = factory();
})(this, function () {
    'use strict';

    var MAX_CHARACTERS = 200;  // the service's limit
    var VOICES = ['en-us', 'en-gb'];
    var MAX_RECORDING_MS = 15000;

    function speechUrl(text, voice) {
        var chars = Array.from(String(text).replace(/\s+/g, ' ').trim()).slice(0, MAX_CHARACTERS).join('');
        if (!chars) return null;
        return '../api/speech?text=' + encodeURIComponent(chars) + '&voice=' + (VOICES.indexOf(voice) >= 0 ? voice : VOICES[0]);
    }

    // options: transport, playState, toast(text), audio(url) (a new Audio), voice() ('en-us' or
    // 'en-gb'), setTimeout, clearTimeout; for recording also media (navigator.mediaDevices),
    // Recorder (MediaRecorder), objectUrl(blob), practice (a practise.Practice).
    function SayIt(options) {
        this.o = options;
        this.sound = null;
        this.resume = false;      // the video played before a sound paused it
        this.microphone = null;   // the stream, asked for once
        this.recording = null;    // {recorder, key, timer}
        this.recordings = {};     // line key -> object URL of its last recording
    }

    // Stops what plays and pauses the video for a sound; the video plays again when the sound
    // ends if it played before.
    SayIt.prototype.play = function (url) {
        var self = this;
        if (this.sound) this.sound.pause();
        else this.resume = this.o.playState.isPlaying();
        if (this.o.playState.isPlaying()) this.o.transport.command('Pause');
        var sound = this.sound = this.o.audio(url);
        var done = function () {
            if (self.sound !== sound) return;
            self.sound = null;
            if (self.resume) self.o.transport.command('Play');
        };
        sound.onended = done;
        sound.onerror = function () {
            self.o.toast(L10n.text('The sound could not be played.'));
            done();
        };
        var started = sound.play();
        if (started && started.catch) started.catch(sound.onerror);
    };

    // Says the text (a word, or a line's words) in the chosen voice.
    SayIt.prototype.say = function (text) {
        var url = speechUrl(text, this.o.voice());
        if (!url) { this.o.toast(L10n.text('Nothing to say here.')); return; }
        this.play(url);
    };

    SayIt.prototype.isRecording = function () { return this.recording !== null; };

    // Starts recording the learner for the line `key`, or stops a recording under way (it stops
    // by itself after 15 s).
    SayIt.prototype.record = function (key) {
        var self = this, o = this.o;
        if (this.recording) { this.finish(); return; }
        if (!o.media || !o.Recorder) { o.toast(L10n.text('This page cannot use a microphone.')); return; }
        if (o.playState.isPlaying()) o.transport.command('Pause');
        if (!this.microphone) this.microphone = o.media.getUserMedia({ audio: true });
        this.microphone.then(function (stream) {
            if (self.recording) return;
            var chunks = [], recorder = new o.Recorder(stream);
            recorder.ondataavailable = function (e) { if (e.data && e.data.size) chunks.push(e.data); };
            recorder.onstop = function () {
                if (!chunks.length) return;
                var old = self.recordings[key];
                self.recordings[key] = o.objectUrl(new Blob(chunks, { type: chunks[0].type || 'audio/webm' }));
                if (old && o.revokeUrl) o.revokeUrl(old);
                o.toast(L10n.text('Recorded · C plays the line, then you'));
            };
            self.recording = { recorder: recorder, key: key, timer: o.setTimeout(function () { self.finish(); }, MAX_RECORDING_MS) };
            recorder.start();
            o.toast(L10n.text('Recording · say the line, V stops'));
        }, function () {
            self.microphone = null;  // asked again next time
            o.toast(L10n.text('No microphone: the page was not allowed to use one.'));
        });
    };

    SayIt.prototype.finish = function () {
        var r = this.recording;
        if (!r) return;
        this.recording = null;
        this.o.clearTimeout(r.timer);
        r.recorder.stop();
    };

    SayIt.prototype.hasRecording = function (key) {
        return Object.prototype.hasOwnProperty.call(this.recordings, key);
    };

    // The original line from its start to its end, then the learner's recording of it.
    SayIt.prototype.compare = function (key) {
        var self = this;
        if (!this.hasRecording(key)) { this.o.toast(L10n.text('Record this line first (V).')); return; }
        this.o.practice.hearOnce(function () {
            self.resume = false;
            self.play(self.recordings[key]);
        });
    };

    return { SayIt: SayIt, speechUrl: speechUrl, VOICES: VOICES, MAX_RECORDING_MS: MAX_RECORDING_MS };
});
