// The notebook in a real browser against a real lirra-server: S on the player page saves the
// line and a note in the corner says so (a second S says it is there already), a word's card
// saves the word, and the notebook page lists them newest first, finds them, deletes one.
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

const ENGLISH = [
    [1000, 4000, 'We <i>went</i> home & slept.'],
    [5000, 8000, 'The children were tired.'],
];
const SPANISH = [
    [1000, 4000, 'Fuimos a casa y dormimos.'],
    [5000, 8000, 'Los niños estaban cansados.'],
];
const shots = process.env.LIRRA_SHOTS_DIR || path.join(os.tmpdir(), 'lirra-pages-screenshots');

let server, browser, videoId;

before(async () => {
    assert.ok(process.env.LIRRA_SERVER, 'LIRRA_SERVER names the lirra-server executable');
    server = await h.startServer(process.env.LIRRA_SERVER, {
        'Long Night.en.srt': h.srt(ENGLISH),
        'Long Night.es.srt': h.srt(SPANISH),
    });
    videoId = await h.openVideo(server.baseUrl, 'Long Night.mkv', 52428800, '2f2e3d4c5b6a7988');
    browser = await h.launchBrowser();
    fs.mkdirSync(shots, { recursive: true });
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
});

describe('the notebook', () => {
    let player, playerErrors;
    const note = () => player.evaluate(() => {
        const el = document.getElementById('saved-note');
        return el && el.classList.contains('visible') ? el.textContent : '';
    });
    const at = (ms) => player.evaluate(h.script.timeUpdate(ms));

    before(async () => {
        ({ page: player, errors: playerErrors } = await h.openPage(browser.context, server.baseUrl + `Player/Play?videoId=${videoId}`));
        await h.waitFor(async () => { await at(1500); return (await player.textContent('#line-target')).includes('went'); }, 'the line');
    });

    it('S saves the line shown and says so in a corner; again, says it is there', async () => {
        await h.input.press(player, 's');
        assert.equal(await h.waitFor(note, 'the note'), 'Line saved to your notebook');
        const box = await player.$eval('#saved-note', (el) => {
            const r = el.getBoundingClientRect();
            return { right: window.innerWidth - r.right, top: r.top, events: getComputedStyle(el).pointerEvents };
        });
        assert.ok(box.right < 40 && box.top < 120, 'in the top right corner: ' + JSON.stringify(box));
        assert.equal(box.events, 'none', 'playback controls under it stay usable');
        await player.evaluate(() => { document.getElementById('saved-note').className = ''; });
        await h.input.press(player, 'S');
        assert.equal(await h.waitFor(note, 'the second note'), 'Line is already in your notebook');
    });

    it('a word\'s card saves the word with its line', async () => {
        await at(5500);
        await h.waitFor(async () => (await player.textContent('#line-target')).includes('children'), 'the second line');
        await player.$$eval('#line-target .word', (spans) => {
            const span = spans.find((s) => s.textContent === 'children');
            span.dispatchEvent(new MouseEvent('mousedown', { bubbles: true }));
            span.click();
        });
        await h.waitFor(async () => (await player.textContent('#word-card .card-title')) === 'children', 'the answer');
        await player.evaluate(() => { document.getElementById('saved-note').className = ''; });
        await h.input.click(player, '#word-card .save-word');
        assert.match(await h.waitFor(note, 'the note'), /^“child” saved to your notebook$/);
        assert.deepEqual(playerErrors, []);
    });

    it('the notebook page lists them newest first, finds them and deletes one', async () => {
        const { page, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Notebook');
        const rows = () => page.$$eval('#items > li[data-id]', (lis) => lis.map((li) => ({
            word: (li.querySelector('.word') || {}).textContent || '',
            sentence: li.querySelector('.sentence').textContent,
            translation: (li.querySelector('.translation') || {}).textContent || '',
            video: li.querySelector('.video').textContent,
            buttons: [...li.querySelectorAll('button')].map((b) => b.textContent),
        })));
        await h.waitFor(async () => (await rows()).length === 2, 'two items');
        const [word, line] = await rows();
        assert.equal(word.word, 'child');
        assert.equal(word.sentence, 'The children were tired.');
        assert.equal(line.sentence, 'We went home & slept.');
        assert.equal(line.translation, 'Fuimos a casa y dormimos.');
        assert.equal(line.video, 'Long Night.mkv · 0:01');
        // No file for this video on this machine: nothing to watch.
        assert.deepEqual(line.buttons, ['Send to Anki', 'Delete']);
        assert.equal(await page.getAttribute('#selectedLanguage .flag', 'class'), 'flag small spa');
        await page.screenshot({ path: path.join(shots, 'notebook.png'), fullPage: true });

        await page.fill('#search', 'SLEPT');
        await h.waitFor(async () => (await rows()).length === 1, 'the search');
        assert.equal((await rows())[0].sentence, 'We went home & slept.');
        await page.$eval('#items li[data-id] button.delete', (b) => b.click());
        await h.waitFor(async () => (await rows()).length === 0, 'the deletion');
        await page.fill('#search', '');
        await h.waitFor(async () => (await rows()).length === 1, 'the rest');
        await page.reload();
        await h.waitFor(async () => (await rows()).length === 1, 'after a reload');
        assert.deepEqual(errors, []);
        await page.close();
    });
});
