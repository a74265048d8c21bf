// Looking up words on the player page: the line split into words as the dictionary service
// splits it, the words drawn as spans of text, what is sent for a clicked word, the card built
// from an answer (as text only) and placed beside the word, and the keys while it is open.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const words = web('words.js');
const wordcard = web('wordcard.js');
const keys = web('keys.js');
const { FakeNode, fakeDocument } = require('./fakes.js');

const bracketed = (text) => words.split(text).map((p) => (p.word ? `[${p.text}]` : p.text)).join('');

test('a line splits into the words the service counts, and joins back into itself', () => {
    const cases = [
        ["Don't go, Tom's well-known dog!", "[Don't] [go], [Tom's] [well-known] [dog]!"],
        ['We’ll see—it’s fine… I’d go.', '[We’ll] [see]—[it’s] [fine]… [I’d] [go].'],
        ["The students' books", "[The] [students'] [books]"],
        ["'Hello,' she said.", "['Hello],' [she] [said]."],
        ["rock 'n' roll, goin' home", "[rock] ['n'] [roll], [goin'] [home]"],
        ['U.S. troops -- ok', '[U.S]. [troops] -- [ok]'],
        ['well- known -well', '[well]- [known] -[well]'],
        ['3.5 km, 1980s', '[3.5] [km], [1980s]'],
        ['cafe\u0301 naïve', '[cafe\u0301] [naïve]'],
        ['שלום world مرحبا', '[שלום] [world] [مرحبا]'],
        ['I ❤️ you 😀! 1️⃣ 👍🏽ok', '[I] ❤️ [you] 😀! [1]️⃣ 👍🏽[ok]'],
        ['...?! -- ', '...?! -- '],
        ['', ''],
    ];
    for (const [text, expected] of cases) {
        assert.equal(bracketed(text), expected, text);
        assert.equal(words.split(text).map((p) => p.text).join(''), text);
    }
});

// Every element of a fake tree by tag, and its text nodes.
function walk(node, out = { tags: [], texts: [] }) {
    if (node.tag === null) out.texts.push(node.text);
    else out.tags.push(node.tag);
    node.children.forEach((c) => walk(c, out));
    return out;
}

test('words are drawn as spans of text; other scripts, digits, emoji and markup stay text', () => {
    const box = new FakeNode('span');
    words.render(fakeDocument, box, "<i>Look</i> up, 'Tom's' dog!\nI saw 3 שלום 😀 &lt;img src=x onerror=alert(1)&gt;");
    assert.equal(box.markup, "<span><i><span.word>Look</span></i> <span.word>up</span>, '" +
        "<span.word>Tom's</span>' <span.word>dog</span>!<br><span.word>I</span> <span.word>saw</span> 3 שלום 😀 " +
        '<<span.word>img</span> <span.word>src</span>=<span.word>x</span> <span.word>onerror</span>=' +
        '<span.word>alert</span>(1)></span>');
    const { tags } = walk(box);
    assert.deepEqual([...new Set(tags)].sort(), ['br', 'i', 'span']);

    const spans = [];
    (function find(n) { if (n.className === 'word') spans.push(n); n.children.forEach(find); })(box);
    const byText = (t) => spans.find((s) => s.children[0].text === t).lirraWord;
    // The line from the word on, line breaks as spaces; quotation marks outside the word.
    assert.equal(words.lookupText(byText('up').line.text, byText('up').line.words[byText('up').index].start),
                 "up, 'Tom's' dog! I saw 3 שלום 😀 <img src=x onerror=alert(1)>");
    const toms = byText("Tom's");
    assert.equal(words.lookupText(toms.line.text, toms.line.words[toms.index].start).slice(0, 11), "Tom's' dog!");
    // The service's word count covers words without a span ("3", "שלום") too.
    const saw = byText('saw');
    assert.deepEqual(words.spansFrom(saw, 3).map((s) => s.children[0].text), ['saw']);
    assert.deepEqual(words.spansFrom(saw, 4).map((s) => s.children[0].text), ['saw', 'img']);
    assert.deepEqual(words.spansFrom(byText('Look'), 2).map((s) => s.children[0].text), ['Look', 'up']);
    assert.deepEqual(words.spansFrom(byText('Look'), 0).map((s) => s.children[0].text), ['Look']);
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
    const { tags, texts } = walk(body);
    assert.ok(!tags.includes('img') && !tags.includes('b'));
    assert.ok(texts.includes('<img src=x onerror="window.hacked=1">'));

    const notes = [
        [{ translationStatus: 'not-installed', package: 'dict-freedict-eng-spa' },
         'No English–Spanish dictionary is installed: the Debian package dict-freedict-eng-spa adds it.'],
        [{ translationStatus: 'not-installed' }, 'No English–Spanish dictionary is installed.'],
        [{ translationStatus: 'none-in-debian' }, 'Debian has no English–Spanish dictionary yet.'],
        [{ translationStatus: 'ok', translations: [] }, 'Not in the English–Spanish dictionary.'],
        [{ translationStatus: 'ok', translations: [{ text: 'x' }] }, ''],
    ];
    for (const [a, note] of notes) assert.equal(wordcard.translationNote(a, 'Spanish'), note);

    // Nothing known, and answers of the wrong shape, still make a card.
    for (const odd of [{ query: 'xq', entries: [], translations: [], translationStatus: 'ok' }, null,
                       { matched: 7, entries: 'x', translations: [null, { text: 3 }] },
                       { query: 'z', entries: [null, { definitions: 'x' }] }]) {
        wordcard.fill(fakeDocument, title, body, odd, 'Spanish');
        assert.ok(body.children.length >= 1);
    }
    wordcard.fill(fakeDocument, title, body, { query: 'xq', entries: [], translations: [] }, 'Spanish');
    assert.equal(body.children[0].markup, '<p.empty>No dictionary here knows “xq”.</p>');
    assert.equal(body.children.length, 2, 'and the translations\' note');
});

test('the card goes above the word, inside the view, else below it', () => {
    const view = { width: 1280, height: 720 };
    const cases = [
        // word rectangle, card size, expected {left, top, maxHeight, above}; the top bar is 66 px
        [{ left: 600, right: 680, top: 500, bottom: 540 }, { width: 430, height: 300 },
         { left: 425, top: 188, maxHeight: 422, above: true }],
        [{ left: 2, right: 40, top: 500, bottom: 540 }, { width: 430, height: 300 },
         { left: 10, top: 188, maxHeight: 422, above: true }],
        [{ left: 1250, right: 1275, top: 500, bottom: 540 }, { width: 430, height: 900 },
         { left: 840, top: 66, maxHeight: 422, above: true }],
        [{ left: 600, right: 680, top: 60, bottom: 100 }, { width: 430, height: 300 },
         { left: 425, top: 112, maxHeight: 598, above: false }],
    ];
    for (const [word, card, expected] of cases) assert.deepEqual(wordcard.place(word, card, view), expected);
});

test('while a card is open the arrows go from word to word and Escape closes it', () => {
    const cases = [
        // key, shift, card open, action
        ['w', false, false, 'lookUpWords'],
        ['W', true, true, 'lookUpWords'],
        ['ArrowLeft', false, true, 'previousWord'],
        ['ArrowRight', false, true, 'nextWord'],
        ['ArrowRight', true, true, 'forward'],
        ['ArrowRight', false, false, 'nextLine'],
        ['Escape', false, true, 'closeWord'],
        ['Escape', false, false, 'closeAll'],
        [' ', false, true, 'togglePlay'],
    ];
    for (const [key, shiftKey, open, action] of cases) {
        assert.equal(keys.actionFor({ key, shiftKey }, false, open), action, JSON.stringify([key, shiftKey, open]));
    }
});
