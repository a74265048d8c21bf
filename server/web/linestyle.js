// How the subtitle lines look: the size of each line (English and the learner's) and where the
// lines stand (at the bottom or the top), remembered with the player settings.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).linestyle = factory();
})(this, function () {
    'use strict';

    // A line's size as a factor of its usual one; the Subtitles menu offers these values.
    var SIZES = { small: 0.8, normal: 1, large: 1.25, larger: 1.5, largest: 2 };
    var POSITIONS = ['bottom', 'top'];
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
            linePosition: POSITIONS.indexOf(stored.linePosition) >= 0 ? stored.linePosition : SETTINGS.linePosition
        };
    }

    // Puts the settings on the page's body: each line's scale, and the class for lines at the top.
    function apply(body, settings) {
        var s = read(settings);
        body.style.setProperty('--target-scale', String(SIZES[s.targetSize]));
        body.style.setProperty('--native-scale', String(SIZES[s.nativeSize]));
        body.classList.toggle('lines-top', s.linePosition === 'top');
    }

    // The menu's choices (selects named by data-setting) show the settings; a change goes to
    // changed({setting: value}).
    function wire($, menu, settings, changed) {
        menu.find('select[data-setting]').each(function () {
            $(this).val(read(settings)[$(this).data('setting')]);
        }).on('change', function () {
            var change = {};
            change[$(this).data('setting')] = $(this).val();
            changed(change);
            this.blur();
        });
    }

    return { read: read, apply: apply, wire: wire, SIZES: SIZES, POSITIONS: POSITIONS, SETTINGS: SETTINGS };
});
