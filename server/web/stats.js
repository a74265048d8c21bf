// SPDX-License-Identifier: GPL-3.0-or-later
// The learner's watch statistics on the home page, from the service's list of recent videos.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./timefmt.js'));
    else (root.Lirra = root.Lirra || {}).stats = factory(root.Lirra.timefmt);
})(this, function (timefmt) {
    'use strict';

    var DAY_MS = 86400000;

    // videos: [{lastSeen (ms), trackCount}]. Days in a row count back from today, or from
    // yesterday when nothing has been opened yet today (the streak is not lost before bedtime).
    function summarize(videos, now) {
        var days = {};
        var week = 0, subtitles = 0;
        var today = timefmt.startOfDay(new Date(now));
        (videos || []).forEach(function (v) {
            if (!v || !isFinite(v.lastSeen)) return;
            var day = timefmt.startOfDay(new Date(v.lastSeen));
            days[day] = true;
            if (day > today - 7 * DAY_MS) week += 1;
            subtitles += isFinite(v.trackCount) ? Math.max(0, v.trackCount) : 0;
        });
        var streak = 0;
        var day = days[today] ? today : today - DAY_MS;
        // Day lengths vary with summer time, so step by calendar days, not by 24 hours.
        while (days[day]) {
            streak += 1;
            var d = new Date(day);
            day = new Date(d.getFullYear(), d.getMonth(), d.getDate() - 1).getTime();
        }
        return { videos: (videos || []).length, thisWeek: week, streak: streak, subtitles: subtitles };
    }

    return { summarize: summarize };
});
