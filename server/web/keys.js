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
        'Escape': 'closeAll'
    };

    // The action of a keydown event, or null. Ctrl, Alt and Meta combinations are the
    // system's; a focused form field (inField) keeps its own keys (Space on a checkbox ticks
    // it), all but Escape.
    function actionFor(e, inField) {
        if (e.ctrlKey || e.altKey || e.metaKey) return null;
        if (inField && e.key !== 'Escape') return null;
        if (!Object.prototype.hasOwnProperty.call(KEYS, e.key)) return null;
        var entry = KEYS[e.key];
        return typeof entry === 'string' ? entry : entry[e.shiftKey ? 1 : 0];
    }

    // Runs the action of e from actions (name -> function). Returns whether there was one.
    function handle(e, inField, actions) {
        var action = actionFor(e, inField);
        if (!action || !actions[action]) return false;
        actions[action]();
        return true;
    }

    return { actionFor: actionFor, handle: handle, KEYS: KEYS };
});
