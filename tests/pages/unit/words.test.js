// SPDX-License-Identifier: GPL-3.0-or-later
// Looking up words on the player page: the line split into words as the dictionary service
// splits it, the words drawn as spans of text, what is sent for a clicked word, the card built
// from an answer (as text only) and placed beside the word; the words' statuses. (Spans painted
// by status: the browser's player page test.)
'use strict';
const { test, assert, web, FakeNode, fakeDocument, fakeAjax, random } = require('./fakes.js');
const [words, wordcard, ws] = ['words.js', 'wordcard.js', 'wordstatus.js'].map((n) => web(n));

test('a line splits into the words the service counts, and joins back into itself', () => {
    const bracketed = (text) => words.split(text).map((p) => (p.word ? `[${p.text}]` : p.text)).join('');
    const cases = [
        ["Don't go, Tom's well-known dog!", "[Don't] [go], [Tom's] [well-known] [dog]!"],
        ['We’ll see—it’s fine… I’d go.', '[We’ll] [see]—[it’s] [fine]… [I’d] [go].'],
        ["'Hello,' she said.", "['Hello],' [she] [said]."],
        ["rock 'n' roll, goin' home", "[rock] ['n'] [roll], [goin'] [home]"],
        ['U.S. troops -- ok', '[U.S]. [troops] -- [ok]'], ['3.5 km, 1980s', '[3.5] [km], [1980s]'],
        ['cafe\u0301 naïve', '[cafe\u0301] [naïve]'], ['שלום world مرحبا', '[שלום] [world] [مرحبا]'],
        ['I ❤️ you 😀! 1️⃣ 👍🏽ok', '[I] ❤️ [you] 😀! [1]️⃣ 👍🏽[ok]'], ['...?! -- ', '...?! -- '],
    ];
    for (const [text, expected] of cases) assert.equal(bracketed(text), expected, text);
    const rng = random(11);
    const alphabet = ['a', 'Z', 'é', '3', "'", '’', '-', '.', ' ', ',', '😀', '\u0301', '\ufe0f', 'ש', '\n'];
    for (let i = 0; i < 500; ++i) {
        const text = rng.text(alphabet, 10);
        const pieces = words.split(text);
        assert.equal(pieces.map((p) => p.text).join(''), text);
        assert.ok(pieces.every((p, k) => p.text && (k === 0 || p.word !== pieces[k - 1].word)), 'words and the text between alternate: ' + text);
    }
});

test('words are drawn as spans of text; other scripts, digits and emoji stay text; the text looked up from a word', () => {
    const box = words.render(fakeDocument, new FakeNode('span'), "<i>Look</i> up, 'Tom's' dog!\nI saw 3 שלום 😀");
    assert.equal(box.markup, "<span><i><span.word>Look</span></i> <span.word>up</span>, '<span.word>Tom's</span>' <span.word>dog</span>!" +
        '<br><span.word>I</span> <span.word>saw</span> 3 שלום 😀</span>');
    const word = (t) => box.elements().find((s) => s.className === 'word' && s.textContent === t).lirraWord;
    const from = (w) => words.lookupText(w.line.text, w.line.words[w.index].start);
    // The line from the word on, line breaks as spaces; quotation marks outside the word.
    assert.deepEqual([from(word('up')), from(word("Tom's"))], ["up, 'Tom's' dog! I saw 3 שלום 😀", "Tom's' dog! I saw 3 שלום 😀"]);
    // The service's word count covers words without a span ("3", "שלום") too.
    assert.deepEqual([['saw', 3], ['saw', 1], ['Look', 2], ['Look', 0]].map(([w, n]) => words.spansFrom(word(w), n).map((s) => s.textContent)),
                     [['saw'], ['saw'], ['Look', 'up'], ['Look']]);
    // Cut at a space to the service's 200 characters.
    const long = Array.from({ length: 60 }, (_, i) => `w${i}`).join(' ');
    const sent = words.lookupText('  ' + long, 2);
    assert.ok(sent.length <= 200 && sent.length > 190 && long.startsWith(sent + ' '), sent);
    assert.deepEqual([words.lookupText('x'.repeat(300), 0).length, words.lookupText('a  \t b', 0)], [199, 'a b']);
});

test('the card shows the answer as text (forms, parts of speech, definitions, translations, notes), above the word or below it', () => {
    const answer = {
        query: 'gave up on it', matched: 'gave up on', wordCount: 3, translationStatus: 'ok', package: '',
        entries: [{ headword: 'give up on', partOfSpeech: 'verb', pronunciation: '/ɡɪv ʌp ɒn/', source: 'WordNet',
                    definitions: ['stop trying; "she gave up on him"; "don\'t"', '<img src=x onerror="window.hacked=1">'] },
                  { headword: 'give', partOfSpeech: 'noun', pronunciation: '', definitions: [], source: '' }],
        translations: [{ headword: 'give up', partOfSpeech: 'v', text: 'rendirse <b>', source: 'FreeDict' }],
    };
    const title = new FakeNode('h2'), body = new FakeNode('div');
    wordcard.fill(fakeDocument, title, body, answer, 'Spanish');
    assert.equal(title.markup, '<h2>gave up on</h2>');
    assert.equal(body.markup,
        '<div><section.translations><h3>In Spanish</h3><ul><li><span.from>give up</span><span.pos>v</span><span.to>rendirse <b></span></li></ul>' +
        '</section><section.entry><p.entry-head><span.headword>give up on</span><span.pos>verb</span><span.pron>/ɡɪv ʌp ɒn/</span></p>' +
        '<ol.definitions><li>stop trying<span.examples>"she gave up on him"; "don\'t"</span></li><li><img src=x onerror="window.hacked=1"></li></ol>' +
        '<p.source>WordNet</p></section><section.entry><p.entry-head><span.headword>give</span><span.pos>noun</span></p></section></div>');
    const notes = [
        [{ translationStatus: 'not-installed', package: 'x-eng-spa' }, 'No English–Spanish dictionary is installed: the Debian package x-eng-spa adds it.'],
        [{ translationStatus: 'none-in-debian' }, 'Debian has no English–Spanish dictionary yet.'],
        [{ translationStatus: 'ok', translations: [] }, 'Not in the English–Spanish dictionary.'],
    ];
    for (const [a, note] of notes) assert.equal(wordcard.translationNote(a, 'Spanish'), note);
    // Nothing known, and answers of the wrong shape, still make a card.
    for (const odd of [null, { matched: 7, entries: 'x', translations: [null, { text: 3 }] }, { query: 'z', entries: [null, { definitions: 'x' }] }]) {
        wordcard.fill(fakeDocument, title, body, odd, 'Spanish');
        assert.ok(body.children.length >= 1, JSON.stringify(odd));
    }
    wordcard.fill(fakeDocument, title, body, { query: 'xq', entries: [], translations: [] }, 'Spanish');
    assert.deepEqual([body.children.length, body.children[0].markup], [2, '<p.empty>No dictionary here knows “xq”.</p>'], 'and the translations\' note');
    // The card goes above the word, inside the view, else below it.
    const box = (left, right, top) => ({ left, right, top, bottom: top + 40 });
    const cases = [
        // word rectangle, card size, expected {left, top, maxHeight, above}; the top bar is 66 px
        [box(600, 680, 500), [430, 300], { left: 425, top: 188, maxHeight: 422, above: true }],
        [box(1250, 1275, 500), [430, 900], { left: 840, top: 66, maxHeight: 422, above: true }],
        [box(600, 680, 60), [430, 300], { left: 425, top: 112, maxHeight: 598, above: false }],
    ];
    for (const [word, [width, height], expected] of cases) assert.deepEqual(wordcard.place(word, { width, height }, { width: 1280, height: 720 }), expected);
});

// Word statuses: the words of a line as the service keys them, the new words a line has, what is
// asked of the service.
test('a line counts its different new words, and nothing while a word is unknown; the next line with one', () => {
    const cache = new Map(Object.entries({ the: 'known', dog: 'new', ran: 'learning', "don't": 'new', away: 'new', a: 'known', b: 'new', c: 'new' }));
    const cases = [['The dog ran.', 1], ['The <i>dog</i>, the DOG!', 1], ['Don\u2019t run', null], ['Don\u2019t ran away', 2],
                   ['The 1980, 3.5', 0, 'digits alone are not words to colour'], ['', 0]];
    for (const [text, expected, why] of cases) assert.equal(ws.countNew(text, cache), expected, why || text);
    assert.deepEqual(ws.lineWords("'Hello,' she said \u2014 U.S. well\u2011known"), ['hello', 'she', 'said', 'u.s', 'well-known']);
    const texts = ['a b', 'b c', 'a ran', 'c c a', 'b'];
    assert.deepEqual([-1, 0, 3, 4].map((from) => ws.nextSingleNew(texts, from, cache)), [0, 3, 4, -1]);
    const forms = [[{ wordCount: 1, forms: ['run', 'running'] }, 'Running', 'run'], [{ wordCount: 2, forms: ['look up'] }, 'Look', 'look'],
                   [{ wordCount: 1, forms: ['two words', 'Ran'] }, 'ran', 'ran'], [null, 'Don\u2019t', "don't"]];
    for (const [answer, written, expected] of forms) assert.equal(ws.formFor(written, answer), expected, written);
});

test('each word is asked once, at most 2000 in a request; marks follow at once and go back when refused', () => {
    const rng = random(5);
    for (const count of [0, 1, 1999, 2000, 2001, 4000, 4001 + rng.int(3000)]) {
        const { ajax, calls } = fakeAjax(() => ({ statuses: {} }));
        const list = Array.from({ length: count }, (_, i) => `W${i % Math.max(1, count - 7)}`);
        let done = 0;
        new ws.WordStatus({ ajax }).ensure(list, () => { done += 1; });
        const asked = calls.map((c) => JSON.parse(c.options.data).words);
        assert.ok(asked.every((batch) => batch.length <= 2000 && batch.length > 0), `${count}: ${asked.map((b) => b.length)}`);
        assert.deepEqual(asked.flat(), [...new Set(list.map((w) => w.toLowerCase()))], String(count));
        assert.equal(done, 1);
    }
    const { ajax, calls } = fakeAjax();
    let changes = 0, done = 0;
    const statuses = new ws.WordStatus({ ajax, changed: () => { changes += 1; } });
    statuses.ensure(['Dog', 'dog', 'cat'], () => { done += 1; });
    statuses.ensure(['cat'], () => { done += 1; });   // already asked: waits for that answer
    assert.deepEqual(calls.map((c) => [c.options.url, c.options.method, JSON.parse(c.options.data)]), [['../api/words/statuses', 'POST', { words: ['dog', 'cat'] }]]);
    calls[0].answer({ statuses: { dog: 'new', cat: 'bogus' } });
    assert.deepEqual([done, statuses.status('DOG'), statuses.status('cat')], [2, 'new', undefined], 'not a status: asked again later');
    statuses.set('Running', 'learning', 'run');
    statuses.set('dog', 'known');
    assert.deepEqual(calls.slice(1).map((c) => [c.options.url, c.options.method, JSON.parse(c.options.data)]),
                     [['../api/words/running', 'PUT', { status: 'learning', form: 'run' }], ['../api/words/dog', 'PUT', { status: 'known' }]]);
    assert.deepEqual([statuses.status('running'), statuses.status('run'), statuses.status('dog')], ['learning', 'learning', 'known']);
    calls[2].refuse({ status: 400 });
    assert.equal(statuses.status('dog'), 'new');
    statuses.setLine('The dog, the Dog', 'known');
    assert.deepEqual([calls[3].options.url, calls[3].options.data, statuses.status('the')], ['../api/words/import?status=known', 'the\ndog', 'known']);
    calls[3].refuse();
    assert.deepEqual([statuses.status('the'), statuses.status('dog'), changes], [undefined, 'new', 5]);
    statuses.set('the', 'known');
    statuses.learnWords(['Dog', 'the', 'UP', 'dog']);   // a phrase looked up: its words not known yet
    assert.deepEqual([calls[5].options.url, calls[5].options.data, statuses.status('up'), statuses.status('the')], ['../api/words/import?status=learning', 'dog\nup', 'learning', 'known']);
});
