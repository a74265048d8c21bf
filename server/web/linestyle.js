// SPDX-License-Identifier: GPL-3.0-or-later
// How the subtitle lines look: the size of each line (English and the learner's) and where the
// lines stand (at the bottom or the top), remembered with the player settings.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).linestyle = factory();
})(this, function () {
    'use strict';

    // A line's size as a factor of its usual one, and the places of the lines, as the Subtitles
    // menu offers them.
    var SIZES = { small: 0.8, normal: 1, large: 1.25, larger: 1.5, largest: 2 };
    var PLACES = { bottom: 0, top: 1 };

    // The menu's name of a choice, in the page's language.
    function choiceName(value) {
        switch (value) {
            case 'small': return L10n.text('Small');
            case 'normal': return L10n.text('Normal');
            case 'large': return L10n.text('Large');
            case 'larger': return L10n.text('Larger');
            case 'largest': return L10n.text('Largest');
            case 'top': return L10n.text('at the top');
            default: return L10n.text('at the bottom');
        }
    }
    var SETTINGS = { targetSize: 'normal', nativeSize: 'normal', linePosition: 'bottom' };

    function known(value, allowed) {
        return typeof value === 'string' && Object.prototype.hasOwnProperty.call(allowed, value);
    }

    // The three settings from what was stored (anything unknown gives the default).
    function read(stored) {
        stored = stored && typeof stored === 'object' ? stored : {};
        return {
            targetSize: known(stored.targetSize, SIZES) ? stored.targetSize : SETTINGS.targetSize,
            nativeSize: known(stored.nativeSize, SIZES) ? stored.nativeSize : SETTINGS.nativeSize,
            linePosition: known(stored.linePosition, PLACES) ? stored.linePosition : SETTINGS.linePosition
        };
    }

    // Puts the settings on the page's body: each line's scale, and the class for lines at the top.
    function apply(body, settings) {
        var s = read(settings);
        body.style.setProperty('--target-scale', String(SIZES[s.targetSize]));
        body.style.setProperty('--native-scale', String(SIZES[s.nativeSize]));
        body.classList.toggle('lines-top', s.linePosition === 'top');
    }

    // Fills the menu's choices (selects named by data-setting) and shows the settings in them; a
    // change goes to changed({setting: value}).
    function wire($, menu, settings, changed) {
        menu.find('select[data-setting]').each(function () {
            var setting = $(this).data('setting'), select = $(this);
            var choices = setting === 'linePosition' ? PLACES : SIZES;
            Object.keys(choices).forEach(function (value) {
                $('<option>').val(value).text(choiceName(value)).appendTo(select);
            });
            select.val(read(settings)[setting]);
        }).on('change', function () {
            var change = {};
            change[$(this).data('setting')] = $(this).val();
            changed(change);
            this.blur();
        });
    }

    return { read: read, apply: apply, wire: wire, SIZES: SIZES, PLACES: PLACES, SETTINGS: SETTINGS };
});
