// SPDX-License-Identifier: GPL-3.0-or-later
// The player's shortcuts: which action a key press asks for. The page holds the actions by
// name, so a new shortcut is one row here and one action there.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).keys = factory();
})(this, function () {
    'use strict';

    // key -> action, or [action, action with Shift].
    var KEYS = {
        ' ': 'togglePlay', 'Spacebar': 'togglePlay',
        'ArrowLeft': ['previousLine', 'back'], 'ArrowRight': ['nextLine', 'forward'],
        'ArrowUp': 'louder', 'ArrowDown': 'quieter',
        'r': 'repeatLine', 'R': 'repeatLine',
        'p': 'toggleAutoPause', 'P': 'toggleAutoPause',
        't': 'toggleNative', 'T': 'toggleNative',
        '[': 'slower', ']': 'faster',
        'm': 'toggleMute', 'M': 'toggleMute',
        'l': 'toggleList', 'L': 'toggleList',
        '?': 'toggleHelp', 'h': 'toggleHelp', 'H': 'toggleHelp',
        'w': 'lookUpWords', 'W': 'lookUpWords',
        's': 'saveToNotebook', 'S': 'saveToNotebook',
        'k': 'markWordKnown', 'K': ['markWordKnown', 'markLineKnown'],
        'n': 'nextOneNewLine', 'N': 'nextOneNewLine',
        'f': 'toggleFullScreen', 'F': 'toggleFullScreen',
        'Escape': 'closeAll',
        // Practising a line: 1 to 9 and 0 (ten) times, a loop, a stretch, slower, heard, said.
        'o': 'loopLine', 'O': 'loopLine',
        'b': 'loopStretch', 'B': 'loopStretch',
        'z': ['slowReplay', 'slowerReplay'], 'Z': ['slowReplay', 'slowerReplay'],
        'y': 'sayLine', 'Y': 'sayLine',
        'v': 'recordLine', 'V': 'recordLine',
        'c': 'compareLine', 'C': 'compareLine',
        'g': 'peek', 'G': 'peek',  // held: the hidden line shows
        '/': 'findLine'
    };
    for (var n = 1; n <= 10; ++n) KEYS[String(n % 10)] = 'repeat' + n;

    // While a word's card is open these keys move between the words of the line and close it;
    // the others keep their meaning.
    var WORD_KEYS = {
        'ArrowLeft': ['previousWord', 'back'], 'ArrowRight': ['nextWord', 'forward'],
        'Escape': 'closeWord'
    };

    // The action of a keydown event, or null. Ctrl, Alt and Meta combinations are the
    // system's; a focused form field (inField) keeps its own keys (Space on a checkbox ticks
    // it), all but Escape. inWord: a word's card is open.
    function actionFor(e, inField, inWord) {
        if (e.ctrlKey || e.altKey || e.metaKey) return null;
        if (inField && e.key !== 'Escape') return null;
        var has = function (table) { return Object.prototype.hasOwnProperty.call(table, e.key); };
        var table = inWord && has(WORD_KEYS) ? WORD_KEYS : KEYS;
        if (!has(table)) return null;
        var entry = table[e.key];
        return typeof entry === 'string' ? entry : entry[e.shiftKey ? 1 : 0];
    }

    // Runs the action of e from actions (name -> function). Returns whether there was one.
    function handle(e, inField, actions, inWord) {
        var action = actionFor(e, inField, inWord);
        if (!action || !actions[action]) return false;
        actions[action]();
        return true;
    }

    return { actionFor: actionFor, handle: handle, KEYS: KEYS, WORD_KEYS: WORD_KEYS };
});
