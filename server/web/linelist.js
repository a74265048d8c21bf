// SPDX-License-Identifier: GPL-3.0-or-later
// The panel of all lines: every line of the followed track with its start time and, beside it,
// the other line's cue showing at its middle; the line being heard is marked and kept in view.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./cuetext.js'), require('./timefmt.js'));
    else (root.Lirra = root.Lirra || {}).linelist = factory(root.Lirra.cuetext, root.Lirra.timefmt);
})(this, function (cuetext, timefmt) {
    'use strict';

    // For each line of track, the cue of other showing at the line's middle (both with their
    // offsets), or -1; all -1 without other.
    function translations(track, other) {
        var out = [];
        for (var i = 0; i < track.size(); ++i) {
            out.push(other ? other.lineAt((track.videoStart(i) + track.videoEnd(i)) / 2) : -1);
        }
        return out;
    }

    function span(document, className) {
        var el = document.createElement('span');
        el.className = className;
        return el;
    }

    // panel, list: jQuery objects of the panel and its <ol>.
    function LineList(document, panel, list) {
        this.document = document;
        this.panel = panel;
        this.list = list;
        this.track = null;     // the track listed: what a click on a line jumps in
        this.current = -1;
        // countNew(text): how many new words a line has, null while unknown (no count shown).
        this.countNew = null;
    }

    LineList.prototype.isOpen = function () { return !this.panel.prop('hidden'); };

    // Lists track (null: none) with translations from other (null: none), then marks the line
    // at time. A closed list is filled when it opens.
    LineList.prototype.refresh = function (track, other, time) {
        if (!this.isOpen()) return;
        var doc = this.document;
        var list = this.list.empty();
        this.track = track;
        this.current = -1;
        if (!track) {
            var empty = doc.createElement('li');
            empty.className = 'empty';
            empty.textContent = L10n.text('No subtitles for this video yet.');
            list.append(empty);
            return;
        }
        var matches = translations(track, other);
        var items = [];
        for (var i = 0; i < track.size(); ++i) {
            var li = doc.createElement('li');
            li.setAttribute('data-index', i);
            var at = li.appendChild(span(doc, 'at'));
            at.textContent = timefmt.formatClock(Math.max(0, track.videoStart(i)));
            var text = li.appendChild(span(doc, 'text'));
            cuetext.render(doc, text, track.cues[i].text);
            if (matches[i] >= 0) cuetext.render(doc, text.appendChild(span(doc, 'translation')), other.cues[matches[i]].text);
            li.appendChild(span(doc, 'new-count'));
            items.push(li);
        }
        list.append(items);
        this.paintCounts();
        this.mark(time, true);
    };

    // Writes each line's count of new words (a line with exactly one is marked: the best to
    // learn from); lines not counted yet stay blank.
    LineList.prototype.paintCounts = function () {
        if (!this.isOpen() || !this.track || !this.countNew) return;
        var track = this.track, countNew = this.countNew;
        this.list.find('li[data-index]').each(function () {
            var count = countNew(track.cues[Number(this.getAttribute('data-index'))].text);
            var badge = this.querySelector('.new-count');
            var text = count === null || count === 0 ? '' : L10n.number(count);
            if (badge.textContent !== text) badge.textContent = text;
            badge.title = text ? L10n.plural(count, '{n} new word', '{n} new words') : '';
            this.classList.toggle('one-new', count === 1);
        });
    };

    // Marks the line heard at time; scroll brings it into view even when it has not changed.
    LineList.prototype.mark = function (time, scroll) {
        if (!this.isOpen() || !this.track || time === null) return;
        var index = this.track.currentLine(time);
        if (index === this.current && !scroll) return;
        this.current = index;
        var items = this.list.find('li');
        items.removeClass('current');
        if (index < 0) return;
        var item = items.eq(index).addClass('current');
        if (item.length && item[0].scrollIntoView) item[0].scrollIntoView({ block: 'center' });
    };

    return { LineList: LineList, translations: translations };
});
