// SPDX-License-Identifier: GPL-3.0-or-later
// The names screen readers give the pages' controls, and the tips they show, in one place (to be
// translated here). A control whose text says what it does needs no entry.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).labels = factory();
})(this, function () {
    'use strict';

    // selector -> [name, its key or null]; selectors are "#id", ".class" or "[data-close=id]".
    var PLAYER = {
        '#home-button': ['Back to the home screen', null],
        '#fullscreen-state': ['Full screen on or off', 'F'],
        '#seek': ['Position in the video', null],
        '#prev-line': ['Previous line', '←'],
        '#play-pause': ['Play or pause', 'Space'],
        '#next-line': ['Next line', '→'],
        '#repeat-line': ['Repeat the line', 'R'],
        '#auto-pause': ['Pause at the end of every line', 'P'],
        '#mute': ['Mute', 'M'],
        '#volume': ['Volume', '↑ ↓'],
        '#speed-button': ['Speed', '[ ]'],
        '#audio-button': ['Audio track', null],
        '#subtitle-button': ['Subtitle lines, timing and files', null],
        '#save-line': ['Save the line to your notebook', 'S'],
        '#list-button': ['All lines', 'L'],
        '#help-button': ['Keyboard shortcuts', '?'],
        '[data-close=line-list]': ['Close the list of lines', 'L'],
        '[data-close=help]': ['Close the shortcuts', '?'],
        '#word-close': ['Close the dictionary', 'Esc'],
        '#save-word': ['Save the word to your notebook', 'S'],
        '.offset-minus': ['Show the line 0.1 s earlier', null],
        '.offset-plus': ['Show the line 0.1 s later', null],
        '.offset-reset': ['Back to the file\'s timing', null],
        '#repeat-times': ['Play the line this many times', '1…9, 0'],
        '#loop-line': ['Loop the line until stopped', 'O'],
        '#ab-loop': ['Loop from one line to another', 'B'],
        '#slow-line': ['Hear the line at 0.75×', 'Z'],
        '#slower-line': ['Hear the line at 0.5×', 'Shift+Z'],
        '#say-line': ['Hear the line spoken', 'Y'],
        '#say-word': ['Hear the word spoken', 'Y'],
        '#record-line': ['Record yourself saying the line', 'V'],
        '#compare-line': ['The line, then your recording', 'C'],
        '#voice': ['Voice that says it', null],
        '#line-search': ['Find a line by its words', '/']
    };
    var HOME = {
        '#languageSelect': ['Your language', null]
    };

    function tip(entry) { return entry[1] ? entry[0] + ' (' + entry[1] + ')' : entry[0]; }

    // Names every control of table that $ finds on the page.
    function apply($, table) {
        Object.keys(table).forEach(function (selector) {
            $(selector).attr('aria-label', table[selector][0]).attr('title', tip(table[selector]));
        });
    }

    return { PLAYER: PLAYER, HOME: HOME, apply: apply, tip: tip };
});
