// SPDX-License-Identifier: GPL-3.0-or-later
// The names screen readers give the pages' controls, and the tips they show, in one place (to be
// translated here). A control whose text says what it does needs no entry.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).labels = factory();
})(this, function () {
    'use strict';

    // selector -> [name, its key or null, named as the language's keyboards label it]; selectors are
    // "#id", ".class" or "[data-close=id]".
    // Made when asked for, in the page's language of the moment.
    function player() {
        return {
        '#home-button': [L10n.text('Back to the home screen'), null],
        '#fullscreen-state': [L10n.text('Full screen on or off'), 'F'],
        '#seek': [L10n.text('Position in the video'), null],
        '#prev-line': [L10n.text('Previous line'), '←'],
        '#play-pause': [L10n.text('Play or pause'), L10n.text('Space')],
        '#next-line': [L10n.text('Next line'), '→'],
        '#repeat-line': [L10n.text('Repeat the line'), 'R'],
        '#auto-pause': [L10n.text('Pause at the end of every line'), 'P'],
        '#mute': [L10n.text('Mute'), 'M'],
        '#volume': [L10n.text('Volume'), '↑ ↓'],
        '#speed-button': [L10n.text('Speed'), '[ ]'],
        '#audio-button': [L10n.text('Audio track'), null],
        '#subtitle-button': [L10n.text('Subtitle lines, timing and files'), null],
        '#save-line': [L10n.text('Save the line to your notebook'), 'S'],
        '#list-button': [L10n.text('All lines'), 'L'],
        '#help-button': [L10n.text('Keyboard shortcuts'), '?'],
        '[data-close=line-list]': [L10n.text('Close the list of lines'), 'L'],
        '[data-close=help]': [L10n.text('Close the shortcuts'), '?'],
        '#word-close': [L10n.text('Close the dictionary'), L10n.text('Esc')],
        '#save-word': [L10n.text('Save the word to your notebook'), 'S'],
        '.offset-minus': [L10n.text('Show the line 0.1 s earlier'), null],
        '.offset-plus': [L10n.text('Show the line 0.1 s later'), null],
        '.offset-reset': [L10n.text('Back to the file\'s timing'), null],
        '#practice-button': [L10n.text('Practise the line'), null],
        '#repeat-times': [L10n.text('Play the line this many times'), '1…9, 0'],
        '#loop-line': [L10n.text('Loop the line until stopped'), 'O'],
        '#ab-loop': [L10n.text('Loop from one line to another'), 'B'],
        '#slow-line': [L10n.text('Hear the line at 0.75×'), 'Z'],
        '#slower-line': [L10n.text('Hear the line at 0.5×'), L10n.text('Shift') + '+Z'],
        '#say-line': [L10n.text('Hear the line spoken'), 'Y'],
        '#say-word': [L10n.text('Hear the word spoken'), 'Y'],
        '#record-line': [L10n.text('Record yourself saying the line'), 'V'],
        '#compare-line': [L10n.text('The line, then your recording'), 'C'],
        '#voice': [L10n.text('Voice that says it'), null],
        '#line-search': [L10n.text('Find a line by its words'), '/']
        };
    }
    function home() {
        return { '#languageSelect': [L10n.text('Your language'), null] };
    }

    function tip(entry) { return entry[1] ? L10n.text('{name} ({key})', { name: entry[0], key: entry[1] }) : entry[0]; }

    // Names every control of table that $ finds on the page.
    function apply($, table) {
        Object.keys(table).forEach(function (selector) {
            $(selector).attr('aria-label', table[selector][0]).attr('title', tip(table[selector]));
        });
    }

    return { get PLAYER() { return player(); }, get HOME() { return home(); }, apply: apply, tip: tip };
});
