// SPDX-License-Identifier: GPL-3.0-or-later
// The pages for the keyboard and screen readers: every shortcut (F among them) is listed in the
// help overlay and the manual page, every control is reached with Tab and has a name.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { test, assert, web } = require('./fakes.js');
const keys = web('keys.js');
const labels = web('labels.js');

const root = path.resolve(__dirname, '..', '..', '..');
const read = (file) => fs.readFileSync(path.join(root, file), 'utf8');
const key = (k, more = {}) => ({ key: k, ctrlKey: false, altKey: false, metaKey: false, shiftKey: false, ...more });

test('F switches full screen, as a shortcut and not while typing or with Ctrl', () => {
    const cases = [
        [key('f'), false, 'toggleFullScreen'],
        [key('F', { shiftKey: true }), false, 'toggleFullScreen'],
        [key('f'), true, null],
        [key('f', { ctrlKey: true }), false, null],
    ];
    for (const [e, inField, action] of cases) assert.equal(keys.actionFor(e, inField, false), action, JSON.stringify(e));
    assert.equal(keys.actionFor(key('f'), false, true), 'toggleFullScreen', 'a word card keeps F');
});

// How the help overlay and the manual page write each key of the table.
const SHOWN = { ' ': ['Space', 'Space'], ArrowLeft: ['←', 'Left'], ArrowRight: ['→', 'Right'], ArrowUp: ['↑', 'Up'],
                ArrowDown: ['↓', 'Down'], Escape: ['Esc', 'Esc'], '[': ['[', '['], ']': [']', ']'], '?': ['?', '?'] };

test('every shortcut is listed in the help overlay and in the manual page', () => {
    const help = read('server/web/play.html').split('id="help"')[1].split('</dl>')[0];
    const manual = read('data/lirra.1').split('.SH KEYS')[1].split('.SH ')[0];
    const names = Object.keys(keys.KEYS).filter((k) => k !== 'Spacebar');
    assert.ok(names.includes('f') && names.includes('F'));
    for (const k of names) {
        const [inHelp, inManual] = SHOWN[k] || [k.toUpperCase(), k.toUpperCase()];
        assert.ok(help.includes(`>${inHelp}</kbd>`), `help overlay: ${k}`);
        const word = inManual.replace(/[[\]?]/g, '\\$&');
        assert.match(manual, new RegExp(`^\\.BR? (.*[ "])?${word}([ ",]|$)`, 'm'), `manual page: ${k}`);
    }
});

// The controls of a page as written in its HTML: tag, attributes and text without markup.
function controls(html) {
    const found = [];
    const pattern = /<(button|select|input)\b([^>]*)>([\s\S]*?)(?:<\/\1>|(?=<)|$)/g;
    for (let m; (m = pattern.exec(html));) {
        const attrs = {};
        for (const a of m[2].matchAll(/([\w-]+)(?:="([^"]*)")?/g)) attrs[a[1]] = a[2] ?? '';
        found.push({ tag: m[1], attrs, text: m[1] === 'input' ? '' : m[3].replace(/<[^>]*>/g, '').trim() });
    }
    return found;
}

// Whether a labels selector ("#id", ".class" or "[data-close=id]") picks the control.
function picks(selector, attrs) {
    if (selector[0] === '#') return attrs.id === selector.slice(1);
    if (selector[0] === '.') return (attrs.class || '').split(' ').includes(selector.slice(1));
    const m = /^\[([\w-]+)=(.*)\]$/.exec(selector);
    return !!m && attrs[m[1]] === m[2];
}

test('every control of the two pages is reached with Tab and has a name', () => {
    for (const [file, table] of [['server/web/play.html', labels.PLAYER], ['server/web/home.html', labels.HOME]]) {
        const found = controls(read(file));
        assert.ok(found.length > 5, file);
        for (const c of found) {
            const what = `${file}: ${c.tag} ${JSON.stringify(c.attrs)}`;
            assert.notEqual(c.attrs.tabindex, '-1', what);
            if (c.attrs.type === 'checkbox' || c.attrs.type === 'file' || c.attrs.type === 'password' ||
                c.attrs.name || c.attrs.hidden !== undefined) continue;  // named by their <label>
            const named = Object.keys(table).some((s) => picks(s, c.attrs));
            const text = c.tag === 'button' && /[A-Za-z]{2}/.test(c.text);
            assert.ok(named || text || c.attrs['data-setting'], `${what}: no name`);
        }
        // Each name and its tip: the key in brackets when it has one.
        for (const entry of Object.values(table)) {
            assert.equal(labels.tip(entry), entry[1] ? `${entry[0]} (${entry[1]})` : entry[0]);
        }
    }
    assert.equal(labels.PLAYER['#fullscreen-state'][1], 'F');
});
