// The home page's panel for the online subtitle database: what it tells the learner for each
// state the service reports, and which fields a save sends.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { describe, changes } = require('./web.js')('onlinesettings.js');

test('each state reads as one sentence; without a key nothing is sent', () => {
    const cases = [
        [null, /^Off: no key saved, so nothing is sent/],
        [{ configured: false, status: 'off' }, /^Off: no key saved/],
        [{ configured: true, status: 'ok', remaining: 17 }, /^On: .* 17 downloads left today\.$/],
        [{ configured: true, status: 'ok', remaining: null }, /^On: videos without subtitles are looked up\.$/],
        [{ configured: true, status: 'bad-key' }, /refused/],
        [{ configured: true, status: 'quota' }, /used up/],
        [{ configured: true, status: 'offline', message: 'The subtitle database could not be reached.' },
            /could not be reached; Lirra tries again later\. \(The subtitle/],
        [{ configured: true, status: 'unheard-of' }, /^Off\.$/],
    ];
    for (const [state, expected] of cases) assert.match(describe(state), expected, JSON.stringify(state));
});

test('a save sends only what was typed or changed', () => {
    const cases = [
        [{ key: 'k1', user: '', password: '', savedUser: '' }, { key: 'k1' }],
        [{ key: '', user: 'me', password: 'pw', savedUser: '' }, { user: 'me', password: 'pw' }],
        [{ key: '', user: 'me', password: '', savedUser: 'me' }, {}],
        [{ key: '', user: '', password: '', savedUser: 'me' }, { user: '' }],
    ];
    for (const [form, body] of cases) assert.deepEqual(changes(form), body);
});
