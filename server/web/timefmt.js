// SPDX-License-Identifier: GPL-3.0-or-later
// Texts of times, offsets, speeds and volumes as the player page shows them, in the page's language
// (numbers and dates through Intl).
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).timefmt = factory();
})(this, function () {
    'use strict';

    function pad2(n) { return n < 10 ? '0' + n : String(n); }

    // "m:ss" below an hour, "h:mm:ss" from there; an unknown time reads "--:--".
    function formatClock(ms) {
        if (typeof ms !== 'number' || !isFinite(ms)) return '--:--';
        var total = Math.floor(Math.max(0, ms) / 1000);
        var h = Math.floor(total / 3600);
        var m = Math.floor(total / 60) % 60;
        var s = total % 60;
        return h > 0 ? h + ':' + pad2(m) + ':' + pad2(s) : m + ':' + pad2(s);
    }

    // A timing offset in tenths of a second with its sign: "+0.3 s", "−1.2 s", "0.0 s".
    function formatOffset(ms) {
        var tenths = Math.round((Number(ms) || 0) / 100);
        var sign = tenths > 0 ? '+' : tenths < 0 ? '\u2212' : '';
        var seconds = L10n.number(Math.abs(tenths) / 10, { minimumFractionDigits: 1, maximumFractionDigits: 1 });
        return L10n.text('{seconds} s', { seconds: sign + seconds });
    }

    // A rate factor without trailing zeros: 1 -> "1×", 0.75 -> "0.75×".
    function formatSpeed(rate) {
        var r = Math.round(Number(rate) * 100) / 100;
        return L10n.number(isFinite(r) ? r : 1) + '\u00d7';
    }

    // The engine's 0..200 volume scale as the percentage of full volume a learner expects.
    function formatVolume(volume) {
        var v = Math.max(0, Math.min(200, Number(volume) || 0));
        return L10n.number(Math.round(v / 2) / 100, { style: 'percent' });
    }

    // How long ago a moment was, in the words of a list of recent things; a month back and more,
    // its date.
    function formatAgo(ms, now) {
        var diff = now - ms;
        if (!isFinite(diff)) return '';
        if (diff < 60000) return L10n.text('just now');
        var ago = new Intl.RelativeTimeFormat(L10n.lang(), { numeric: 'auto', style: 'short' });
        if (diff < 3600000) return ago.format(-Math.floor(diff / 60000), 'minute');
        var then = new Date(ms), today = new Date(now);
        var days = Math.round((startOfDay(today) - startOfDay(then)) / 86400000);
        if (days <= 0) return ago.format(-Math.floor(diff / 3600000), 'hour');
        if (days < 30) return ago.format(-days, 'day');
        return new Intl.DateTimeFormat(L10n.lang(), { dateStyle: 'medium' }).format(then);
    }

    function startOfDay(date) {
        return new Date(date.getFullYear(), date.getMonth(), date.getDate()).getTime();
    }

    return { formatAgo: formatAgo, startOfDay: startOfDay, formatClock: formatClock, formatOffset: formatOffset, formatSpeed: formatSpeed,
             formatVolume: formatVolume };
});
