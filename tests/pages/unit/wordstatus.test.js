// Word statuses on the player page: the words of a line as the service keys them, the new words
// a line has, the spans painted from the cache, the next line with one new word, what is asked
// of the service (each word once, the cache rolled back when a mark is refused) and the keys.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const ws = web('wordstatus.js');
const keys = web('keys.js');

const cacheOf = (entries) => new Map(Object.entries(entries));

test('a line counts its different new words, and nothing while a word is unknown', () => {
    const cache = cacheOf({ the: 'known', dog: 'new', ran: 'learning', "don't": 'new', away: 'new' });
    const cases = [
        ['The dog ran.', 1],
        ['The <i>dog</i>, the DOG!', 1],
        ['Don\u2019t run', null],            // "run" never asked
        ['Don\u2019t ran away', 2],
        ['The 1980, 3.5', 0],               // digits alone are not words to colour
        ['', 0],
    ];
    for (const [text, expected] of cases) assert.equal(ws.countNew(text, cache), expected, text);
    assert.deepEqual(ws.lineWords("'Hello,' she said \u2014 U.S. well\u2011known"),
                     ['hello', 'she', 'said', 'u.s', 'well-known']);
});

class FakeSpan {
    constructor(text) { this.textContent = text; this.classes = new Set(); }
    get classList() {
        const c = this.classes;
        return { add: (n) => c.add(n), remove: (n) => c.delete(n), contains: (n) => c.has(n) };
    }
}

test('spans are painted by status, and painted again when it changes', () => {
    const spans = ['Known', 'learn', 'Fresh', 'unasked'].map((t) => new FakeSpan(t));
    const cache = cacheOf({ known: 'known', learn: 'learning', fresh: 'new' });
    ws.paint(spans, cache);
    assert.deepEqual(spans.map((s) => [...s.classes]), [['ws-known'], ['ws-learning'], ['ws-new'], []]);
    cache.set('fresh', 'known');
    cache.set('learn', 'known');
    ws.paint(spans, cache);
    assert.deepEqual(spans.map((s) => [...s.classes]), [['ws-known'], ['ws-known'], ['ws-known'], []]);
});

test('the next line with exactly one new word', () => {
    const cache = cacheOf({ a: 'known', b: 'new', c: 'new', d: 'learning' });
    const texts = ['a b', 'b c', 'a d', 'c c a', 'b'];
    const cases = [[-1, 0], [0, 3], [3, 4], [4, -1]];
    for (const [from, expected] of cases) assert.equal(ws.nextSingleNew(texts, from, cache), expected, `from ${from}`);
});

test('the form a looked-up word counts as', () => {
    const cases = [
        [{ wordCount: 1, forms: ['run', 'running'] }, 'Running', 'run'],
        [{ wordCount: 2, forms: ['look up'] }, 'Look', 'look'],
        [{ wordCount: 1, forms: [] }, 'Zyx', 'zyx'],
        [null, 'Don\u2019t', "don't"],
    ];
    for (const [answer, written, expected] of cases) assert.equal(ws.formFor(written, answer), expected, written);
});

// jQuery's deferred, as far as WordStatus uses it.
function fakeAjax() {
    const calls = [];
    const ajax = (options) => {
        const handlers = { done: [], fail: [], always: [] };
        const p = {
            done(f) { handlers.done.push(f); return p; },
            fail(f) { handlers.fail.push(f); return p; },
            always(f) { handlers.always.push(f); return p; },
        };
        calls.push({ options, answer(value) { handlers.done.forEach((f) => f(value)); handlers.always.forEach((f) => f()); },
                     refuse() { handlers.fail.forEach((f) => f({ status: 400 })); handlers.always.forEach((f) => f()); } });
        return p;
    };
    return { ajax, calls };
}

test('each word is asked once, marks follow at once and go back when refused', () => {
    const { ajax, calls } = fakeAjax();
    let changes = 0;
    const statuses = new ws.WordStatus({ ajax, changed: () => { changes += 1; } });
    let done = 0;
    statuses.ensure(['Dog', 'dog', 'cat'], () => { done += 1; });
    statuses.ensure(['cat'], () => { done += 1; });   // already asked: waits for that answer
    assert.equal(calls.length, 1);
    assert.deepEqual(JSON.parse(calls[0].options.data), { words: ['dog', 'cat'] });
    calls[0].answer({ statuses: { dog: 'new', cat: 'bogus' } });
    assert.equal(done, 2);
    assert.equal(statuses.status('DOG'), 'new');
    assert.equal(statuses.status('cat'), undefined);   // not a status: asked again later

    statuses.set('Running', 'learning', 'run');
    assert.equal(calls[1].options.url, '../api/words/running');
    assert.deepEqual(JSON.parse(calls[1].options.data), { status: 'learning', form: 'run' });
    assert.equal(statuses.status('running'), 'learning');
    statuses.set('dog', 'known');
    calls[2].refuse();
    assert.equal(statuses.status('dog'), 'new');

    statuses.setLine('The dog, the Dog', 'known');
    assert.equal(calls[3].options.url, '../api/words/import?status=known');
    assert.equal(calls[3].options.data, 'the\ndog');
    assert.equal(statuses.status('the'), 'known');
    assert.equal(changes, 4);
});

test('K marks the word known, Shift+K the line, N finds the next line with one new word', () => {
    const key = (k, shiftKey = false) => keys.actionFor({ key: k, shiftKey }, false, false);
    assert.deepEqual([key('k'), key('K', true), key('n'), key('N', true)],
                     ['markWordKnown', 'markLineKnown', 'nextOneNewLine', 'nextOneNewLine']);
});
