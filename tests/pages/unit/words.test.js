// Looking up words on the player page: the line split into words as the dictionary service
// splits it, the words drawn as spans of text, what is sent for a clicked word, the card built
// from an answer (as text only) and placed beside the word; the words' statuses.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const words = web('words.js');
const wordcard = web('wordcard.js');
const ws = web('wordstatus.js');
const { FakeNode, fakeDocument, fakeAjax } = require('./fakes.js');

const bracketed = (text) => words.split(text).map((p) => (p.word ? `[${p.text}]` : p.text)).join('');

test('a line splits into the words the service counts, and joins back into itself', () => {
    const cases = [
        ["Don't go, Tom's well-known dog!", "[Don't] [go], [Tom's] [well-known] [dog]!"],
        ['We’ll see—it’s fine… I’d go.', '[We’ll] [see]—[it’s] [fine]… [I’d] [go].'],
        ["'Hello,' she said.", "['Hello],' [she] [said]."],
        ["rock 'n' roll, goin' home", "[rock] ['n'] [roll], [goin'] [home]"],
        ['U.S. troops -- ok', '[U.S]. [troops] -- [ok]'],
        ['3.5 km, 1980s', '[3.5] [km], [1980s]'],
        ['cafe\u0301 naïve', '[cafe\u0301] [naïve]'],
        ['שלום world مرحبا', '[שלום] [world] [مرحبا]'],
        ['I ❤️ you 😀! 1️⃣ 👍🏽ok', '[I] ❤️ [you] 😀! [1]️⃣ 👍🏽[ok]'],
        ['...?! -- ', '...?! -- '],
    ];
    for (const [text, expected] of cases) {
        assert.equal(bracketed(text), expected, text);
        assert.equal(words.split(text).map((p) => p.text).join(''), text);
    }
});

test('words are drawn as spans of text; other scripts, digits, emoji and markup stay text', () => {
    const box = new FakeNode('span');
    words.render(fakeDocument, box, "<i>Look</i> up, 'Tom's' dog!\nI saw 3 שלום 😀 &lt;img src=x onerror=alert(1)&gt;");
    assert.equal(box.markup, "<span><i><span.word>Look</span></i> <span.word>up</span>, '" +
        "<span.word>Tom's</span>' <span.word>dog</span>!<br><span.word>I</span> <span.word>saw</span> 3 שלום 😀 " +
        '<<span.word>img</span> <span.word>src</span>=<span.word>x</span> <span.word>onerror</span>=' +
        '<span.word>alert</span>(1)></span>');
    const spans = [];
    (function find(n) { if (n.className === 'word') spans.push(n); n.children.forEach(find); })(box);
    const byText = (t) => spans.find((s) => s.children[0].text === t).lirraWord;
    // The line from the word on, line breaks as spaces; quotation marks outside the word.
    assert.equal(words.lookupText(byText('up').line.text, byText('up').line.words[byText('up').index].start),
                 "up, 'Tom's' dog! I saw 3 שלום 😀 <img src=x onerror=alert(1)>");
    const toms = byText("Tom's");
    assert.equal(words.lookupText(toms.line.text, toms.line.words[toms.index].start).slice(0, 11), "Tom's' dog!");
    // The service's word count covers words without a span ("3", "שלום") too.
    const from = [['saw', 3], ['saw', 4], ['Look', 2], ['Look', 0]].map(([w, n]) => words.spansFrom(byText(w), n).map((s) => s.children[0].text));
    assert.deepEqual(from, [['saw'], ['saw', 'img'], ['Look', 'up'], ['Look']]);
});

test('the text sent for a word is cut at a space to the service\'s 200 characters', () => {
    const long = Array.from({ length: 60 }, (_, i) => `w${i}`).join(' ');
    const sent = words.lookupText('  ' + long, 2);
    assert.ok(sent.length <= words.MAX_LOOKUP && sent.length > 190, String(sent.length));
    assert.ok(long.startsWith(sent + ' '));
    assert.equal(words.lookupText('x'.repeat(300), 0).length, words.MAX_LOOKUP - 1);
    assert.equal(words.lookupText('a  \t b', 0), 'a b');
});

const answer = {
    query: 'gave up on it', matched: 'gave up on', wordCount: 3,
    entries: [{ headword: 'give up on', partOfSpeech: 'verb', pronunciation: '/ɡɪv ʌp ɒn/',
                definitions: ['stop trying; "she gave up on him"; "don\'t"', '<img src=x onerror="window.hacked=1">'],
                source: 'WordNet' },
              { headword: 'give', partOfSpeech: 'noun', pronunciation: '', definitions: [], source: '' }],
    translations: [{ headword: 'give up', partOfSpeech: 'v', text: 'rendirse <b>', source: 'FreeDict' }],
    translationStatus: 'ok', package: '',
};

test('the card shows the answer as text: forms, parts of speech, definitions, translations, notes', () => {
    const title = new FakeNode('h2'), body = new FakeNode('div');
    wordcard.fill(fakeDocument, title, body, answer, 'Spanish');
    assert.equal(title.markup, '<h2>gave up on</h2>');
    assert.equal(body.markup,
        '<div><section.translations><h3>In Spanish</h3><ul><li><span.from>give up</span><span.pos>v</span>' +
        '<span.to>rendirse <b></span></li></ul></section>' +
        '<section.entry><p.entry-head><span.headword>give up on</span><span.pos>verb</span>' +
        '<span.pron>/ɡɪv ʌp ɒn/</span></p><ol.definitions>' +
        '<li>stop trying<span.examples>"she gave up on him"; "don\'t"</span></li>' +
        '<li><img src=x onerror="window.hacked=1"></li></ol><p.source>WordNet</p></section>' +
        '<section.entry><p.entry-head><span.headword>give</span><span.pos>noun</span></p></section></div>');
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
    assert.equal(body.children[0].markup, '<p.empty>No dictionary here knows “xq”.</p>');
    assert.equal(body.children.length, 2, 'and the translations\' note');
});

test('the card goes above the word, inside the view, else below it', () => {
    const view = { width: 1280, height: 720 };
    const box = (left, right, top) => ({ left, right, top, bottom: top + 40 });
    const cases = [
        // word rectangle, card size, expected {left, top, maxHeight, above}; the top bar is 66 px
        [box(600, 680, 500), { width: 430, height: 300 }, { left: 425, top: 188, maxHeight: 422, above: true }],
        [box(2, 40, 500), { width: 430, height: 300 }, { left: 10, top: 188, maxHeight: 422, above: true }],
        [box(1250, 1275, 500), { width: 430, height: 900 }, { left: 840, top: 66, maxHeight: 422, above: true }],
        [box(600, 680, 60), { width: 430, height: 300 }, { left: 425, top: 112, maxHeight: 598, above: false }],
    ];
    for (const [word, card, expected] of cases) assert.deepEqual(wordcard.place(word, card, view), expected);
});

// Word statuses: the words of a line as the service keys them, the new words a line has, the
// spans painted from the cache, what is asked of the service.
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
    get classList() { return { add: (n) => this.classes.add(n), remove: (n) => this.classes.delete(n), contains: (n) => this.classes.has(n) }; }
}

test('spans are painted by status, and painted again when it changes', () => {
    const spans = ['Known', 'learn', 'Fresh', 'unasked'].map((t) => new FakeSpan(t));
    const cache = cacheOf({ known: 'known', learn: 'learning', fresh: 'new' });
    const painted = () => { ws.paint(spans, cache); return spans.map((s) => [...s.classes]); };
    assert.deepEqual(painted(), [['ws-known'], ['ws-learning'], ['ws-new'], []]);
    cache.set('fresh', 'known');
    cache.set('learn', 'known');
    assert.deepEqual(painted(), [['ws-known'], ['ws-known'], ['ws-known'], []]);
});

test('the next line with exactly one new word, and the form a looked-up word counts as', () => {
    const cache = cacheOf({ a: 'known', b: 'new', c: 'new', d: 'learning' });
    const texts = ['a b', 'b c', 'a d', 'c c a', 'b'];
    assert.deepEqual([-1, 0, 3, 4].map((from) => ws.nextSingleNew(texts, from, cache)), [0, 3, 4, -1]);
    const cases = [
        [{ wordCount: 1, forms: ['run', 'running'] }, 'Running', 'run'],
        [{ wordCount: 2, forms: ['look up'] }, 'Look', 'look'],
        [{ wordCount: 1, forms: [] }, 'Zyx', 'zyx'],
        [null, 'Don\u2019t', "don't"],
    ];
    for (const [answer, written, expected] of cases) assert.equal(ws.formFor(written, answer), expected, written);
});

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
    calls[2].refuse({ status: 400 });
    assert.equal(statuses.status('dog'), 'new');

    statuses.setLine('The dog, the Dog', 'known');
    assert.equal(calls[3].options.url, '../api/words/import?status=known');
    assert.equal(calls[3].options.data, 'the\ndog');
    assert.equal(statuses.status('the'), 'known');
    assert.equal(changes, 4);
});
