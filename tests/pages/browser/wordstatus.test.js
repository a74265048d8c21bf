// Word statuses on the player page in a real browser against a real lirra-server: a word looked
// up becomes learning and the line repaints at once, K marks it known, Shift+K the whole line,
// and the line list counts the new words.
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

const shots = process.env.LIRRA_SHOTS_DIR || path.join(os.tmpdir(), 'lirra-pages-screenshots');

const ENGLISH = [
    [1000, 4000, 'We went quickly, looking for the books.'],
    [5000, 8000, 'Raining again, isn’t it?'],
];

let server, browser, videoId;

before(async () => {
    assert.ok(process.env.LIRRA_SERVER, 'LIRRA_SERVER names the lirra-server executable');
    server = await h.startServer(process.env.LIRRA_SERVER, { 'Known Words.en.srt': h.srt(ENGLISH) });
    videoId = await h.openVideo(server.baseUrl, 'Known Words.mkv', 52428800, '2f2e3d4c5b6a7988');
    browser = await h.launchBrowser();
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
});

describe('word statuses', () => {
    it('a looked-up word turns learning, K makes it known, Shift+K the line; the line repaints', async () => {
        const { page, errors } = await h.openPage(browser.context, server.baseUrl + `Player/Play?videoId=${videoId}`);
        const at = (ms) => page.evaluate(h.script.timeUpdate(ms));
        const statusOf = (text) => page.$$eval('#line-target .word', (spans, t) => {
            const span = spans.find((s) => s.textContent === t);
            return span ? ['ws-new', 'ws-learning', 'ws-known'].find((c) => span.classList.contains(c)) || '' : null;
        }, text);
        await h.waitFor(async () => { await at(1500); return (await statusOf('quickly')) === 'ws-new'; }, 'the line painted');
        // Plain: new words are not coloured until the learner asks for it.
        const colour = (text) => page.$$eval('#line-target .word', (spans, t) =>
            getComputedStyle(spans.find((s) => s.textContent === t)).color, text);
        const plain = await colour('quickly');

        await page.$$eval('#line-target .word', (spans) => {
            const span = spans.find((s) => s.textContent === 'quickly');
            span.dispatchEvent(new MouseEvent('mousedown', { bubbles: true }));
            span.click();
        });
        await h.waitFor(async () => (await statusOf('quickly')) === 'ws-learning', 'learning after the look-up');
        assert.notEqual(await colour('quickly'), plain);
        await h.waitFor(async () => (await page.textContent('#word-card .word-status')).includes('Learning'), 'the card says so');
        // Over a busy picture, with new words coloured too (the home page's setting).
        await page.evaluate(() => document.body.classList.add('mark-new'));
        fs.mkdirSync(shots, { recursive: true });
        const background = path.join(shots, 'background.png');
        if (!fs.existsSync(background)) h.busyBackground(background);
        const layer = path.join(shots, 'word-status-layer.png');
        await page.screenshot({ path: layer, omitBackground: true });
        h.composite(background, layer, path.join(shots, 'player-word-status.png'));
        fs.rmSync(layer);
        await page.evaluate(() => document.body.classList.remove('mark-new'));

        await h.input.press(page, 'k');
        await h.waitFor(async () => (await statusOf('quickly')) === 'ws-known', 'known after K');
        assert.equal(await colour('quickly'), plain);
        await h.input.press(page, 'K', true);
        await h.waitFor(async () => (await statusOf('books')) === 'ws-known', 'the line known after Shift+K');

        const res = await fetch(server.baseUrl + 'api/words/statuses', {
            method: 'POST', headers: { 'Content-Type': 'application/json' },
            body: JSON.stringify({ words: ['quickly', 'books', 'raining'] }),
        });
        assert.deepEqual((await res.json()).statuses, { quickly: 'known', books: 'known', raining: 'new' });

        // The list of lines: the first line has no new word left, the second has four.
        await h.input.press(page, 'l');
        await h.waitFor(async () => (await page.$$eval('#lines li .new-count', (b) => b.map((x) => x.textContent))).join('|') === '|4', 'the counts');
        assert.deepEqual(errors, []);
        await page.close();
    });
});
