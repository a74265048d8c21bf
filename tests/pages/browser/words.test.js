// The learner's words on the player page in a real browser against a real lirra-server with the
// Debian dictionaries: a click on a word pauses the video through the bridge and shows the
// service's answer, Escape plays on; a word looked up turns learning, K makes it known and the
// line repaints; S saves the line, and the notebook page finds it.
'use strict';
const { it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const h = require('./harness.js');

let server, browser, page, bridge, errors;
const at = (ms) => page.evaluate(h.script.timeUpdate(ms));
const commands = () => bridge.filter((u) => u.startsWith('app:///Execute/'));
const newCommands = async (action, count) => {
    const before = commands().length;
    await action();
    await h.waitFor(() => commands().length >= before + count, `${count} command(s)`);
    await page.waitForTimeout(100);
    return commands().slice(before);
};
const card = async () => ((await page.isVisible('#word-card')) ? page.textContent('#word-card h2') : null);

before(async () => {
    server = await h.startServer({
        'Rainy Day.en.srt': h.srt([[1000, 4000, 'We <i>went</i> quickly, looking up the children’s books.'],
                                   [5000, 8000, 'Raining again, isn’t it?']]),
        'Rainy Day.es.srt': h.srt([[1000, 4000, 'Fuimos a buscar los libros de los niños.'], [5000, 8000, 'Llueve otra vez, ¿verdad?']]),
    });
    const videoId = await h.openVideo(server.baseUrl, 'Rainy Day.mkv', 52428800, '1f2e3d4c5b6a7988');
    browser = await h.launchBrowser();
    ({ page, bridge, errors } = await h.openPage(browser.context, server.baseUrl + `Player/Play?videoId=${videoId}`));
    await h.waitFor(async () => { await at(1500); return (await page.textContent('#line-target')).includes('went'); }, 'the line');
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
});

it('a click on a word pauses the video and shows the card; Escape closes it and plays on', async () => {
    const expected = await (await fetch(server.baseUrl + 'api/dictionary/lookup?native=spa&text=' +
                                        encodeURIComponent('looking up the children’s books.'))).json();
    assert.equal(expected.matched, 'looking up');
    for (let t = 1500; t <= 1900; t += 100) await at(t);   // the clock moves: playing
    assert.deepEqual(await newCommands(() => h.input.clickWord(page, 'looking'), 1), ['app:///Execute/Pause']);
    await h.waitFor(async () => (await card()) === 'looking up', 'the card');
    assert.deepEqual(await page.$$eval('#word-card .headword', (s) => s.map((x) => x.textContent)), expected.entries.map((e) => e.headword));
    assert.match(await page.textContent('#word-card .translations'), /In Spanish/);
    // Double clicks in the card stay with the page: the subtitle block reaches over it.
    assert.equal(Number(await page.evaluate(h.NEXT_SUB_QUERY)), 1);
    await page.waitForTimeout(300);
    await h.shotOverPicture(page, 'player-word-card.png');
    assert.deepEqual(await newCommands(() => h.input.press(page, 'Escape'), 1), ['app:///Execute/Play']);
    assert.equal(await card(), null);
    assert.deepEqual(errors, []);
});

it('a looked-up word turns learning, K makes it known, Shift+K the line; the line repaints', async () => {
    const statusOf = (text) => page.$$eval('#line-target .word', (spans, t) => {
        const span = spans.find((s) => s.textContent === t);
        return ['ws-new', 'ws-learning', 'ws-known'].find((c) => span.classList.contains(c)) || '';
    }, text);
    const colour = (text) => page.$$eval('#line-target .word', (spans, t) => getComputedStyle(spans.find((s) => s.textContent === t)).color, text);
    await h.waitFor(async () => (await statusOf('quickly')) === 'ws-new', 'the line painted');
    const plain = await colour('quickly');   // new words are not coloured until the learner asks for it
    await h.input.clickWord(page, 'quickly');
    await h.waitFor(async () => (await statusOf('quickly')) === 'ws-learning', 'learning after the look-up');
    assert.notEqual(await colour('quickly'), plain);
    await h.waitFor(async () => (await page.textContent('#word-card .word-status')).includes('Learning'), 'the card says so');
    await page.evaluate(() => document.body.classList.add('mark-new'));   // the home page's setting
    await h.shotOverPicture(page, 'player-word-status.png');
    await page.evaluate(() => document.body.classList.remove('mark-new'));
    await h.input.press(page, 'k');
    await h.waitFor(async () => (await statusOf('quickly')) === 'ws-known', 'known after K');
    assert.equal(await colour('quickly'), plain);
    await h.input.press(page, 'K', true);
    await h.waitFor(async () => (await statusOf('books')) === 'ws-known', 'the line known after Shift+K');
    const res = await fetch(server.baseUrl + 'api/words/statuses', {
        method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ words: ['quickly', 'books', 'raining'] }),
    });
    assert.deepEqual((await res.json()).statuses, { quickly: 'known', books: 'known', raining: 'new' });
    await h.input.press(page, 'Escape');
    assert.deepEqual(errors, []);
});

it('S saves the line shown and says so in a corner; the notebook page lists it and finds it', async () => {
    const note = () => page.evaluate(() => {
        const el = document.getElementById('saved-note');
        return el && el.classList.contains('visible') ? el.textContent : '';
    });
    await at(5500);
    await h.input.press(page, 's');
    assert.equal(await h.waitFor(note, 'the note'), 'Line saved to your notebook');
    const box = await page.$eval('#saved-note', (el) => ({ right: window.innerWidth - el.getBoundingClientRect().right,
                                                            top: el.getBoundingClientRect().top, events: getComputedStyle(el).pointerEvents }));
    assert.ok(box.right < 40 && box.top < 120 && box.events === 'none', 'in the top right corner, controls under it usable: ' + JSON.stringify(box));
    await page.evaluate(() => { document.getElementById('saved-note').className = ''; });
    await h.input.press(page, 'S');
    assert.equal(await h.waitFor(note, 'the second note'), 'Line is already in your notebook');

    const notebook = await h.openPage(browser.context, server.baseUrl + 'Player/Notebook');
    const rows = () => notebook.page.$$eval('#items > li[data-id]', (lis) => lis.map((li) => ['.sentence', '.translation', '.video']
        .map((q) => (li.querySelector(q) || {}).textContent || '')));
    await h.waitFor(async () => (await rows()).length === 1, 'the line');
    assert.deepEqual((await rows())[0], ['Raining again, isn’t it?', 'Llueve otra vez, ¿verdad?', 'Rainy Day.mkv · 0:05']);
    await notebook.page.screenshot({ path: path.join(h.SHOTS, 'notebook.png'), fullPage: true });
    await notebook.page.fill('#search', 'nothing like it');
    await h.waitFor(async () => (await rows()).length === 0, 'no match');
    await notebook.page.fill('#search', 'RAINING');
    await h.waitFor(async () => (await rows()).length === 1, 'the search');
    assert.deepEqual([errors, notebook.errors], [[], []]);
});
