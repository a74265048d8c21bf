// SPDX-License-Identifier: GPL-3.0-or-later
// The notebook on the pages: what the player page saves for a line and for a word, the bridge
// arguments of "Watch this moment", and sending many items to Anki in batches that stop at the
// first batch that says why. (S and its note: the browser's notebook journey.)
'use strict';
const { test, assert, web, clockedBridge } = require('./fakes.js');
const [save, list] = [web('notebooksave.js'), web('notebooklist.js')];
const { CueTrack } = web('cues.js');

test('the line saved is the English cue on the video clock with the learner\'s lines shown during it; a word, with what its card showed', () => {
    const target = new CueTrack([{ start: 1000, end: 2500, text: '<i>Hello</i> &amp; welcome,\nfriend' }, { start: 4000, end: 5000, text: 'Second' }], 300);
    const native = new CueTrack([
        { start: 900, end: 1600, text: 'Hola' }, { start: 1600, end: 2700, text: 'y bienvenido' },
        { start: 2750, end: 2900, text: 'ruido' },    // overlaps the English line's last 50 ms only
        { start: 4300, end: 4350, text: 'instante' }, // an instant at the next line's start
    ]);
    const first = { startMs: 1300, endMs: 2800, text: 'Hello & welcome, friend', translation: 'Hola\ny bienvenido' };
    const cases = [[2000, first], [3500, first], [4500, { startMs: 4300, endMs: 5300, text: 'Second', translation: '' }], [100, null], [null, null]];
    for (const [time, expected] of cases) assert.deepEqual(save.lineItem(target, native, time), expected, String(time));
    assert.deepEqual([save.lineItem(null, native, 2000), save.lineItem(target, null, 2000).translation], [null, '']);
    // A word keeps its headword and what its card showed, bounded.
    const entry = (partOfSpeech, definitions) => ({ headword: 'run', partOfSpeech, definitions });
    const answer = { matched: 'Running', forms: ['run', 'running'], translations: [{ text: 'correr\nhuir' }, { text: 'carrera' }, null],
                     entries: [entry('verb', ['move fast; "don\'t run"', 'flee', 'compete', 'operate']), entry('noun', ['a score']), entry('noun', ['not shown'])] };
    assert.deepEqual([answer, { matched: 'xyzzy', entries: [], translations: [] }, null].map((a) => save.wordFields(a, 'Spanish')), [
        { word: 'run', definition: 'verb: move fast; flee; compete\nnoun: a score\nSpanish: correr, huir, carrera' },
        { word: 'xyzzy', definition: '' }, { word: '', definition: '' }]);
    assert.equal(save.wordFields({ matched: 'a'.repeat(500), entries: [{ headword: 1 }] }).word.length, 100);
});

test('"Watch this moment" sends the path so the bridge needs no escaping, and only for a known file', () => {
    const path = '/home/learner/Vidéos/Film & co/ep 1 (2024).mkv';
    const args = list.momentArguments({ videoFile: path, startMs: 61234.7 });
    for (const sample of [path, '/a', '/ab', '/abc', '/😀']) assert.equal(Buffer.from(list.base64Url(sample), 'base64url').toString('utf8'), sample);
    const { bridge, sentNow } = clockedBridge();
    bridge.command('WatchMoment', args);
    assert.deepEqual(sentNow(), ['app:///Execute/WatchMoment?file=' + list.base64Url(path) + '&ms=61234']);
    for (const item of [{ videoFile: null, startMs: 0 }, { videoFile: 'relative.mkv', startMs: 0 }, { videoFile: '/x.mkv', startMs: -1 },
                        { videoFile: '/' + 'a'.repeat(5000), startMs: 0 }, null]) {
        assert.equal(list.momentArguments(item), null, JSON.stringify(item));
    }
});

test('many items go to Anki a few at a time, with progress, and stop at a batch that says why', () => {
    // A jQuery-like promise settled at once.
    const settled = (answer, failed) => ({ done(fn) { if (!failed) fn(answer); return this; }, fail(fn) { if (failed) fn(answer); return this; } });
    const cases = [
        ['all well', () => settled({ added: 3, duplicates: 1, failed: [], withoutMedia: [] }), [4, 8, 10], '9 cards added to Anki, 3 already in Anki.'],
        ['Anki goes away in the second batch', (batch) => settled(batch[0] === 5
            ? { added: 0, duplicates: 0, failed: batch.map((id) => ({ id, error: 'Anki is not running' })), withoutMedia: [], error: 'Anki is not running' }
            : { added: 4, duplicates: 0, failed: [], withoutMedia: [{ id: 1, reason: 'no picture or sound: not found' }] }),
            [4, 8], '4 cards added to Anki. 1 without picture or sound: no picture or sound: not found. Stopped: Anki is not running. Nothing is lost; send again later.'],
        ['the service fails', () => settled({ responseJSON: { error: 'the store failed' } }, true), [], 'Stopped: the store failed. Nothing is lost; send again later.'],
        ['one note refused', () => settled({ added: 3, duplicates: 0, failed: [{ id: 2, error: 'AnkiConnect refused addNote: no' }], withoutMedia: [] }),
            [4, 8, 10], '9 cards added to Anki. 3 not sent: AnkiConnect refused addNote: no.'],
    ];
    for (const [what, answer, expectedProgress, expectedSummary] of cases) {
        const batches = [], progress = [];
        let summary = null;
        list.sendAll([1, 2, 3, 4, 5, 6, 7, 8, 9, 10], (batch) => { batches.push(batch); return answer(batch); },
                     (done) => progress.push(done), (totals) => { summary = list.summary(totals); });
        assert.deepEqual([batches.flat(), progress, summary], [[1, 2, 3, 4, 5, 6, 7, 8, 9, 10].slice(0, batches.length * 4), expectedProgress, expectedSummary], what);
    }
    assert.equal(list.summary({ added: 1, duplicates: 0, failed: [], withoutMedia: [], error: '' }), '1 card added to Anki.');
});
