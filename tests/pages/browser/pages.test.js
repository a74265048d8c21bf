// The home page and the player page in a real browser against a real lirra-server with the
// Debian dictionaries, the app:/// navigations they make observed and the native side's scripts
// evaluated in them; the learner's journeys with words and lines, through the notebook page.
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const h = require('./harness.js');

let server, browser, videoId;

before(async () => {
    server = await h.startServer({
        'Rainy Day.en.srt': h.srt([[1000, 4000, 'We <i>went</i> quickly, looking up the children’s books.'],
                                   [5000, 8000, 'Raining again, isn’t it?'], [61000, 63000, 'Fish & chips: 5 < 6 > 4 "yes" \'no\' &lt;b&gt;']]),
        'Rainy Day.es.srt': h.srt([[1000, 4000, 'Fuimos a buscar los libros de los niños.'], [5000, 8000, 'Llueve otra vez, ¿verdad?']]),
    });
    videoId = await h.openVideo(server.baseUrl, 'Rainy Day.mkv', 52428800, '1f2e3d4c5b6a7988');
    browser = await h.launchBrowser();
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
});

it('the home page reports ready, answers the language query and lists recent videos as text', async () => {
    const { page, bridge, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
    await h.waitFor(() => bridge.includes('app:///Execute/EnableDraggableHomeScreen'), 'readiness');
    assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'spa');
    await page.selectOption('#languageSelect', 'jpn');
    assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'jpn');
    await page.selectOption('#languageSelect', 'spa');
    const hostile = '<img src=x onerror="window.hacked=1">.mkv';
    await h.openVideo(server.baseUrl, hostile, 1000, '1');
    await page.evaluate(h.script.event('refreshLevel'));
    await h.waitFor(() => page.$eval('#stat-videos', (e) => e.textContent === '2'), 'two videos');
    assert.deepEqual((await page.$$eval('#recent-videos li .name', (l) => l.map((e) => e.textContent))).sort(),
                     [hostile, 'Rainy Day.mkv']);
    assert.equal(await page.$('#recent-videos img'), null);
    assert.deepEqual(errors, []);
    await page.close();
});

describe('player page', () => {
    let page, bridge, errors;
    const sub = async (line) => (await page.textContent(`#line-${line}`)).trim();
    const at = (ms) => page.evaluate(h.script.timeUpdate(ms));
    const newCommands = (action, count) => h.newCommands(page, bridge, action, count);
    const card = async () => ((await page.isVisible('#word-card')) ? page.textContent('#word-card h2') : null);
    // The guid of the latest request for name.
    const guid = (name) => {
        const url = bridge.slice().reverse().find((u) => u.startsWith(`app:///Request/${name}?guid=`));
        return url && url.slice(url.indexOf('guid=') + 5);
    };

    before(async () => {
        ({ page, bridge, errors } = await h.openPage(browser.context, server.baseUrl + `Player/Play?videoId=${videoId}`));
        await h.waitFor(async () => { await at(1500); return (await page.textContent('#line-target')).includes('went'); }, 'the line');
    });
    after(async () => {
        assert.deepEqual(errors, []);
        await page.close();
    });

    it('is transparent, asks for its values and shows the replies', async () => {
        const colours = await page.evaluate(() => [document.documentElement, document.body].map((e) => getComputedStyle(e).backgroundColor));
        assert.deepEqual(colours, ['rgba(0, 0, 0, 0)', 'rgba(0, 0, 0, 0)']);
        const top = Number(await page.evaluate(h.NEXT_SUB_QUERY));
        assert.ok(top > 720 / 2 && top < 720 - 100, `#next-sub top ${top}`);
        const names = ['Duration', 'Volume', 'PlaybackSpeed', 'AudioInfo', 'IsFullscreen', 'FileName'];
        await h.waitFor(() => names.every(guid), 'the six requests');
        const guids = names.map(guid);
        const values = ['95000', '160', '1', "{audioTracks:{'English':1, 'Français':2, }, audioTrack:1}", 'true', "'Rainy Day.mkv'"];
        for (let i = 0; i < 6; ++i) await page.evaluate(h.script.reply(guids[i], values[i]));
        assert.deepEqual(await page.evaluate(() => ['#time-duration', '#volume-value', '#speed-button', '#file-name']
            .map((q) => document.querySelector(q).textContent)), ['1:35', '80%', '1×', 'Rainy Day.mkv']);
        assert.deepEqual(await page.$$eval('#audio-menu button', (b) => b.map((x) => [x.textContent, x.classList.contains('current')])),
                         [['English', true], ['Français', false]]);
        assert.equal(await page.evaluate(() => document.body.classList.contains('fullscreen')), true);
        await page.evaluate(h.script.event('nativeApp:leftFullscreen'));
        assert.equal(await page.evaluate(() => document.body.classList.contains('fullscreen')), false);
    });

    it('a click on a word pauses the video and shows the card; Escape closes it and plays on', async () => {
        const expected = await (await fetch(server.baseUrl + 'api/dictionary/lookup?native=spa&text=' +
                                            encodeURIComponent('looking up the children’s books.'))).json();
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
        await h.input.click(page, '#word-card .save-word');   // for the notebook below
        await page.evaluate(() => document.body.classList.add('mark-new'));   // the home page's setting
        await h.shotOverPicture(page, 'player-word-status.png');
        await page.evaluate(() => document.body.classList.remove('mark-new'));
        await h.input.press(page, 'k');
        await h.waitFor(async () => (await statusOf('quickly')) === 'ws-known', 'known after K');
        assert.equal(await colour('quickly'), plain);
        await h.input.press(page, 'K', true);
        await h.waitFor(async () => (await statusOf('books')) === 'ws-known', 'the line known after Shift+K');
        await h.input.press(page, 'Escape');
    });

    it('S saves the line shown and says so in a corner; the notebook page lists it, newest first, and finds it', async () => {
        const saveNote = async (key) => {
            await page.evaluate(() => { (document.getElementById('saved-note') || {}).className = ''; });
            await h.input.press(page, key);
            return h.waitFor(() => page.evaluate(() => (document.querySelector('#saved-note.visible') || {}).textContent || ''), 'the note');
        };
        await at(5500);
        assert.equal(await saveNote('s'), 'Line saved to your notebook');
        const box = await page.$eval('#saved-note', (el) => ({ right: window.innerWidth - el.getBoundingClientRect().right,
                                                                top: el.getBoundingClientRect().top, events: getComputedStyle(el).pointerEvents }));
        assert.ok(box.right < 40 && box.top < 120 && box.events === 'none', 'in the top right corner, controls under it usable: ' + JSON.stringify(box));
        assert.equal(await saveNote('S'), 'Line is already in your notebook');

        const notebook = await h.openPage(browser.context, server.baseUrl + 'Player/Notebook');
        const rows = () => notebook.page.$$eval('#items > li[data-id]', (lis) => lis.map((li) => ['.sentence', '.translation', '.video']
            .map((q) => (li.querySelector(q) || {}).textContent || '')));
        await h.waitFor(async () => (await rows()).length === 2, 'the word and the line');
        assert.deepEqual((await rows())[0], ['Raining again, isn’t it?', 'Llueve otra vez, ¿verdad?', 'Rainy Day.mkv · 0:05']);
        await notebook.page.screenshot({ path: path.join(h.SHOTS, 'notebook.png'), fullPage: true });
        await notebook.page.fill('#search', 'nothing like it');
        await h.waitFor(async () => (await rows()).length === 0, 'no match');
        await notebook.page.fill('#search', 'RAINING');
        await h.waitFor(async () => (await rows()).length === 1, 'the search');
        assert.deepEqual(notebook.errors, []);
    });

    it('shows both lines at the right times, as text', async () => {
        const lines = async () => [await sub('target'), await sub('native')];
        await at(500);
        assert.deepEqual(await lines(), ['', '']);
        await at(1000);
        assert.deepEqual(await lines(), ['We went quickly, looking up the children’s books.', 'Fuimos a buscar los libros de los niños.']);
        assert.equal(await page.textContent('#line-target i'), 'went');
        await at(4900);
        assert.deepEqual(await lines(), ['', '']);
        await at(62000);
        // Shown as the characters the file holds, decoded once, never as markup.
        assert.deepEqual(await lines(), ['Fish & chips: 5 < 6 > 4 "yes" \'no\' &lt;b&gt;', '']);
        assert.equal(await page.$('#next-sub b'), null);
        await at('null');
        assert.equal(await sub('target'), '');
    });

    it('sends the player commands for its controls and keys, and pauses at the end of a line', async () => {
        await at(5500);
        await page.waitForTimeout(1300);    // the clock stood still: paused
        assert.deepEqual(await newCommands(() => h.input.click(page, '#play-pause'), 1), ['app:///Execute/Play']);
        await at(9000);
        assert.deepEqual(await newCommands(() => h.input.press(page, 'ArrowLeft'), 2), ['app:///Execute/SeekTo?position=5', 'app:///Execute/Play']);
        await h.input.press(page, 'p');
        assert.equal(await page.getAttribute('#auto-pause', 'aria-pressed'), 'true');
        assert.deepEqual(await newCommands(async () => { for (let t = 5000; t <= 8000; t += 100) await at(t); }, 1),
                         ['app:///Execute/Pause']);
        await h.input.press(page, 'p');
    });
});
