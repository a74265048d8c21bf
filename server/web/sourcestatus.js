// SPDX-License-Identifier: GPL-3.0-or-later
// What the player page says while the service still works on the video's subtitles: reading the
// tracks inside the video, then asking the online database for the learner's languages that no
// subtitle has. The tracks answer only says that it is still working ("pending"), so which of the
// two it is comes from what it holds: the tracks from inside the video are held once they have
// been read, and the database is asked only after that, only with a key, only for what is missing.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).sourcestatus = factory();
})(this, function () {
    'use strict';


    // The text while the answer is pending (null when it is not): tracks as the service holds
    // them, online whether the database can be asked (a key, no refusal), languages the codes
    // the learner wants (English and the learner's own).
    function pendingText(pending, tracks, online, languages) {
        if (!pending) return null;
        var held = function (test) { return tracks.some(test); };
        var missing = languages.some(function (code) {
            return !held(function (t) { return t.language === code; });
        });
        var readInside = held(function (t) { return t.origin === 'container'; });
        return online && missing && readInside ? asking() : reading();
    }

    // Whether the answer of api/settings/opensubtitles lets the service ask the database.
    function canAsk(settings) {
        return !!settings && settings.configured === true && settings.status === 'ok';
    }

    function reading() { return L10n.text('Reading subtitles inside the video…'); }
    function asking() { return L10n.text('Asking the subtitle database…'); }

    return { pendingText: pendingText, canAsk: canAsk, get READING() { return reading(); }, get ASKING() { return asking(); } };
});
