// Looking up a word on the player page in a real browser against a real lirra-server with the
// Debian dictionaries: a click on a word pauses the video through the bridge and opens the
// card with the service's answer, Escape closes it and plays on; the keyboard reaches the words.
'use strict';
const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

const ENGLISH = [
    [1000, 4000, 'We <i>went</i> quickly, looking up the children’s books.'],
    [5000, 8000, 'Raining again, isn’t it?'],
];
const SPANISH = [
    [1000, 4000, 'Fuimos a buscar los libros de los niños.'],
    [5000, 8000, 'Llueve otra vez, ¿verdad?'],
];
const shots = process.env.LIRRA_SHOTS_DIR || path.join(os.tmpdir(), 'lirra-pages-screenshots');

let server, browser, videoId;

before(async () => {
    assert.ok(process.env.LIRRA_SERVER, 'LIRRA_SERVER names the lirra-server executable');
    server = await h.startServer(process.env.LIRRA_SERVER, {
        'Rainy Day.en.srt': h.srt(ENGLISH),
        'Rainy Day.es.srt': h.srt(SPANISH),
    });
    videoId = await h.openVideo(server.baseUrl, 'Rainy Day.mkv', 52428800, '1f2e3d4c5b6a7988');
    browser = await h.launchBrowser();
    fs.mkdirSync(shots, { recursive: true });
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
});

// What the service answers for text, asked directly.
async function lookup(text) {
    const res = await fetch(server.baseUrl + 'api/dictionary/lookup?text=' + encodeURIComponent(text) + '&native=spa');
    assert.equal(res.status, 200, 'the service answers look-ups');
    return res.json();
}

describe('looking up a word', () => {
    let page, bridge, errors;
    const commands = () => bridge.filter((u) => u.startsWith('app:///Execute/'));
    const at = (ms) => page.evaluate(h.script.timeUpdate(ms));
    const press = (key) => h.input.press(page, key);
    const cardShown = () => page.isVisible('#word-card');
    const marked = (cls) => page.$$eval(`#line-target .word.${cls}`, (s) => s.map((x) => x.textContent));
    // A word of the English line by its text, clicked the way a click reaches the page.
    const clickWord = (text) => page.$$eval('#line-target .word', (spans, t) => {
        const span = spans.find((s) => s.textContent === t);
        span.dispatchEvent(new MouseEvent('mousedown', { bubbles: true }));
        span.click();
    }, text);
    // The clock moves as it does while the video plays.
    const playing = async (from) => {
        for (let t = from; t <= from + 400; t += 100) await at(t);
    };
    const newCommands = async (action, count) => {
        const before = commands().length;
        await action();
        await h.waitFor(() => commands().length >= before + count, `${count} command(s)`);
        await page.waitForTimeout(100);
        return commands().slice(before);
    };

    before(async () => {
        ({ page, bridge, errors } = await h.openPage(browser.context, server.baseUrl + `Player/Play?videoId=${videoId}`));
    });
    beforeEach(async () => {
        bridge.length = 0;
        await page.reload();
        await h.waitFor(async () => { await at(1500); return (await page.textContent('#line-target')).includes('went'); }, 'the line');
    });
    after(async () => { await page.close(); });

    it('a click pauses the video and shows the card; Escape closes it and plays on', async () => {
        const expected = await lookup('looking up the children’s books.');
        assert.equal(expected.matched, 'looking up');
        await playing(1500);
        assert.deepEqual(await newCommands(() => clickWord('looking'), 1), ['app:///Execute/Pause']);
        await h.waitFor(async () => (await cardShown()) && (await page.textContent('#word-card h2')) === 'looking up', 'the card');
        assert.deepEqual(await marked('matched'), ['looking', 'up']);
        const headwords = await page.$$eval('#word-card .headword', (s) => s.map((x) => x.textContent));
        assert.deepEqual(headwords, expected.entries.map((e) => e.headword));
        assert.equal(await page.$$eval('#word-card .definitions li', (l) => l.length),
                     expected.entries.reduce((n, e) => n + e.definitions.length, 0));
        assert.match(await page.textContent('#word-card .translations'), /In Spanish/);
        // Double clicks in the card stay with the page: the subtitle block reaches over it.
        assert.equal(Number(await page.evaluate(h.NEXT_SUB_QUERY)), 1);
        const box = await page.$eval('#word-card', (c) => c.getBoundingClientRect().toJSON());
        const line = await page.$eval('#line-target', (w) => w.getBoundingClientRect().toJSON());
        assert.ok(box.bottom <= line.top && box.left >= 0 && box.right <= 1280, JSON.stringify([box, line]));
        await page.waitForTimeout(300);
        await shotOverPicture(page, 'player-word-card.png');

        assert.deepEqual(await newCommands(() => press('Escape'), 1), ['app:///Execute/Play']);
        assert.equal(await cardShown(), false);
        assert.deepEqual(await marked('matched'), []);
        assert.ok(Number(await page.evaluate(h.NEXT_SUB_QUERY)) > 360, 'the subtitle block is low again');
        assert.deepEqual(errors, []);
    });

    it('an irregular form shows its dictionary form; a click elsewhere closes a paused video\'s card', async () => {
        await page.waitForTimeout(1300);   // the clock stood still: paused
        await clickWord('went');
        await h.waitFor(async () => (await page.textContent('#word-card h2')) === 'went', 'the card');
        const forms = await page.$$eval('#word-card .headword', (s) => s.map((x) => x.textContent));
        assert.ok(forms.includes('go'), forms.join());
        // Another word while the card is open: looked up in its place, no second pause.
        await clickWord('children’s');
        await h.waitFor(async () => (await page.textContent('#word-card h2')) === 'children’s', 'the second card');
        assert.ok((await page.$$eval('#word-card .headword', (s) => s.map((x) => x.textContent))).includes('child'));
        // A word on the line's second row: the card stays clear of the first.
        await clickWord('books');
        await h.waitFor(async () => (await page.textContent('#word-card h2')) === 'books', 'the third card');
        const [card, line, books] = await page.evaluate(() => ['#word-card', '#line-target', '#line-target .word.current']
            .map((q) => document.querySelector(q).getBoundingClientRect().toJSON()));
        assert.ok(books.top > line.top + 10, 'the line wraps before "books"');
        assert.ok(card.bottom <= line.top, JSON.stringify([card, line]));
        const before = commands().length;
        await page.evaluate(() => document.body.dispatchEvent(new MouseEvent('mousedown', { bubbles: true })));
        assert.equal(await cardShown(), false);
        await page.waitForTimeout(200);
        assert.deepEqual(commands().slice(before), [], 'it was paused: nothing to play on');
        assert.deepEqual(errors, []);
    });

    it('W reaches the words of the line, the arrows go from word to word, W closes', async () => {
        await playing(1500);
        assert.deepEqual(await newCommands(() => press('w'), 1), ['app:///Execute/Pause']);
        await h.waitFor(async () => (await page.textContent('#word-card h2')) === 'We', 'the first word');
        await press('ArrowRight');
        await h.waitFor(async () => (await page.textContent('#word-card h2')) === 'went', 'the next word');
        assert.deepEqual(await marked('current'), ['went']);
        await press('ArrowLeft');
        await h.waitFor(async () => (await page.textContent('#word-card h2')) === 'We', 'back');
        assert.equal(commands().filter((u) => u.includes('SeekTo')).length, 0, 'the arrows did not jump lines');
        assert.deepEqual(await newCommands(() => press('w'), 1), ['app:///Execute/Play']);
        assert.equal(await cardShown(), false);
        // The clock running on for a moment after the pause leaves the line and its card; Space
        // closes the card and plays, and the line follows the clock again.
        await press('w');
        await h.waitFor(() => cardShown(), 'the card');
        await at(5500);
        assert.match(await page.textContent('#line-target'), /went/);
        assert.equal(await cardShown(), true);
        assert.deepEqual(await newCommands(() => press(' '), 1), ['app:///Execute/Play']);
        assert.equal(await cardShown(), false);
        assert.match(await page.textContent('#line-target'), /Raining/);
        assert.match(await page.textContent('#help'), /Look up the words/);
        assert.deepEqual(errors, []);
    });
});

async function shotOverPicture(page, name) {
    const background = path.join(shots, 'background.png');
    if (!fs.existsSync(background)) h.busyBackground(background);
    const layer = path.join(shots, 'word-card-layer.png');
    await page.screenshot({ path: layer, omitBackground: true });
    h.composite(background, layer, path.join(shots, name));
    fs.rmSync(layer);
}
