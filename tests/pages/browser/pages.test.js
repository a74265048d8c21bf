// SPDX-License-Identifier: GPL-3.0-or-later
// The pages in a real browser against a real lirra-server with the Debian dictionaries, pointed at
// a fake of the online subtitle database: the app:/// navigations they make observed and the
// native side's scripts evaluated in them. The home page and its online panel, and the learner's
// journeys with words and lines, through the notebook page. (Other origins refused: the
// service's request guard test.)
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const http = require('node:http');
const path = require('node:path');
const h = require('./harness.js');

const GOOD_KEY = 'good-key-4f9a1c', BAD_KEY = 'old-key-77d0e2';
let database, server, browser, videoId;
const keysSeen = [];

before(async () => {
    // The database: a search finds nothing for the good key, and any other key gets 401.
    database = http.createServer((req, res) => {
        const good = req.headers['api-key'] === GOOD_KEY;
        keysSeen.push(req.headers['api-key'] || '');
        res.writeHead(good ? 200 : 401, { 'Content-Type': 'application/json' });
        res.end(JSON.stringify(good ? { total_pages: 1, total_count: 0, per_page: 60, page: 1, data: [] }
                                    : { message: 'You cannot consume this service', status: 401 }));
    });
    await new Promise((resolve) => database.listen(0, '127.0.0.1', resolve));
    server = await h.startServer({
        'Rainy Day.en.srt': h.srt([[1000, 4000, 'We <i>went</i> quickly, looking up the children’s books.'],
                                   [5000, 8000, 'Raining again, isn’t it?'], [61000, 63000, 'Fish & chips: 5 < 6 > 4 "yes" \'no\' &lt;b&gt;']]),
        'Rainy Day.es.srt': h.srt([[1000, 4000, 'Fuimos a buscar los libros de los niños.'], [5000, 8000, 'Llueve otra vez, ¿verdad?']]),
    }, ['--opensubtitles-url', `http://127.0.0.1:${database.address().port}/api/v1`]);
    videoId = await h.openVideo(server.baseUrl, 'Rainy Day.mkv', 52428800, '1f2e3d4c5b6a7988');
    browser = await h.launchBrowser();
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
    if (database) database.close();
});

it('the home page reports ready, answers the language query, lists recent videos as text, and keeps the online key', async () => {
    const { page, bridge, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
    await h.waitFor(() => bridge.includes('app:///Execute/EnableDraggableHomeScreen'), 'readiness');
    assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'spa');
    const speaks = () => page.evaluate(() => [document.documentElement.lang, document.querySelector('#words h2').textContent]);
    assert.deepEqual(await speaks(), ['en', 'Your words']);   // the browser's English until the learner chooses
    await page.selectOption('#languageSelect', 'jpn');
    assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'jpn');
    assert.deepEqual(await speaks(), ['ja', 'あなたの単語']);   // the learner's choice, at once
    await page.selectOption('#languageSelect', 'spa');
    assert.deepEqual(await speaks(), ['es', 'Tus palabras']);   // at once, and the pages after it
    const hostile = '<img src=x onerror="window.hacked=1">.mkv';
    await h.openVideo(server.baseUrl, hostile, 1000, '1');
    await page.evaluate(h.script.event('refreshLevel'));
    await h.waitFor(() => page.$eval('#stat-videos', (e) => e.textContent === '2'), 'two videos');
    assert.deepEqual((await page.$$eval('#recent-videos li .name', (l) => l.map((e) => e.textContent))).sort(), [hostile, 'Rainy Day.mkv']);
    assert.equal(await page.$('#recent-videos img'), null);
    assert.deepEqual((await page.$$eval('#recent-videos li .meta', (l) => l.map((e) => e.textContent))).sort(),
                     ['2 archivos de subtítulos · ahora mismo', 'sin subtítulos · ahora mismo']);   // a plural
    // The online panel saves a key without reading it back, a lookup asks with it, a refused key is told.
    const status = () => page.getAttribute('#online-settings .online-status', 'data-status');
    await h.waitFor(async () => (await status()) === 'off', 'the panel');
    for (const [key, name, hash, expected] of [[GOOD_KEY, 'Keyed Film.mkv', '00a1b2c3d4e5f608', 'ok'], [BAD_KEY, 'Refused Film.mkv', '00a1b2c3d4e5f609', 'bad-key']]) {
        await page.fill('#online-settings [name=key]', key);
        await h.input.click(page, '#online-settings button[type=submit]');
        await h.waitFor(async () => (await page.inputValue('#online-settings [name=key]')) === '', 'saved');
        // What is asked, and how the key is kept: the service's tests; the panel's texts: the unit tests.
        const asked = keysSeen.length;
        await h.openVideo(server.baseUrl, name, 734003200, hash);
        await h.waitFor(() => keysSeen.length > asked, 'a search');
        assert.deepEqual([...new Set(keysSeen.slice(asked))], [key]);
        await page.reload();
        await h.waitFor(async () => (await status()) === expected, expected);
        assert.ok(!(await page.content()).includes(key), 'the key is never read back into the page');
    }
    assert.deepEqual(errors, []);
    await page.close();
});

describe('player page', () => {
    let page, bridge, errors;
    const at = (ms) => page.evaluate(h.script.timeUpdate(ms));
    const newCommands = (action, count) => h.newCommands(page, bridge, action, count);
    const card = async () => ((await page.isVisible('#word-card')) ? page.textContent('#word-card h2') : null);
    const bodyHas = (name) => page.evaluate((n) => document.body.classList.contains(n), name);
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

    it('is transparent, asks for its values and shows the replies; follows full screen', async () => {
        assert.deepEqual(await page.evaluate(() => [document.documentElement, document.body].map((e) => getComputedStyle(e).backgroundColor)), ['rgba(0, 0, 0, 0)', 'rgba(0, 0, 0, 0)']);
        const top = Number(await page.evaluate(h.NEXT_SUB_QUERY));
        assert.ok(top > 720 / 2 && top < 720 - 100, `#next-sub top ${top}`);
        const replies = { Duration: '95000', Volume: '160', PlaybackSpeed: '1', AudioInfo: "{audioTracks:{'English':1, 'Français':2, }, audioTrack:1}",
                          IsFullscreen: 'true', FileName: "'Rainy Day.mkv'" };
        await h.waitFor(() => Object.keys(replies).every(guid), 'the six requests');
        for (const [name, value] of Object.entries(replies)) await page.evaluate(h.script.reply(guid(name), value));
        assert.deepEqual(await page.evaluate(() => ['#time-duration', '#volume-value', '#speed-button', '#file-name']
            .map((q) => document.querySelector(q).textContent).concat(document.title)), ['1:35', '80\u00a0%', '1×', 'Rainy Day.mkv', 'Rainy Day.mkv — Lirra']);
        assert.deepEqual(await page.$$eval('#audio-menu button', (b) => b.map((x) => [x.textContent, x.classList.contains('current')])),
                         [['English', true], ['Français', false]]);
        assert.equal(await bodyHas('fullscreen'), true);
        for (const [event, on] of [['nativeApp:leftFullscreen', false], ['nativeApp:enteredFullscreen', true]]) {
            await page.evaluate(h.script.event(event));
            assert.equal(await bodyHas('fullscreen'), on, event);
        }
        // A small window folds the practice tools behind their button and keeps the lines above the controls.
        await page.setViewportSize({ width: 480, height: 270 });
        const layout = () => page.evaluate(() => [$('#practice-tools').is(':visible'), $('#next-sub')[0].getBoundingClientRect().bottom <= $('#controls').offset().top,
                                                  $('#practice-button').attr('aria-expanded')].join());
        await h.waitFor(async () => await layout() === 'false,true,false', 'the tools folded');
        await h.input.click(page, '#practice-button');
        await h.waitFor(async () => await layout() === 'true,true,true', 'the tools shown, the lines above them');
        await h.input.click(page, '#practice-button');
        await page.setViewportSize({ width: 1280, height: 720 });
    });

    it('a click on a word pauses the video and shows the card, Escape plays on; the word is learning, K and Shift+K mark known', async () => {
        const expected = await (await fetch(server.baseUrl + 'api/dictionary/lookup?native=spa&text=' +
                                            encodeURIComponent('looking up the children’s books.'))).json();
        for (let t = 1500; t <= 1900; t += 100) await at(t);   // the clock moves: playing
        assert.deepEqual(await newCommands(() => h.input.clickWord(page, 'looking'), 1), ['Pause']);
        await h.waitFor(async () => (await card()) === 'looking up', 'the card');
        assert.deepEqual(await page.$$eval('#word-card .headword', (s) => s.map((x) => x.textContent)), expected.entries.map((e) => e.headword));
        assert.match(await page.textContent('#word-card .translations'), /En español/);
        // Double clicks in the card stay with the page: the subtitle block reaches over it.
        assert.equal(Number(await page.evaluate(h.NEXT_SUB_QUERY)), 1);
        await page.waitForTimeout(300);
        await h.shotOverPicture(page, 'player-word-card.png');
        assert.deepEqual(await newCommands(() => h.input.press(page, 'Escape'), 1), ['Play']);
        assert.equal(await card(), null);
        // A looked-up word turns learning, K makes it known, Shift+K the line; the line repaints.
        const statusOf = (text) => page.$$eval('#line-target .word', (spans, t) => {
            const span = spans.find((s) => s.textContent === t);
            return ['ws-new', 'ws-learning', 'ws-known'].find((c) => span.classList.contains(c)) || '';
        }, text);
        const colour = (text) => page.$$eval('#line-target .word', (spans, t) => getComputedStyle(spans.find((s) => s.textContent === t)).color, text);
        await h.waitFor(async () => (await statusOf('quickly')) === 'ws-new', 'the line painted');
        await h.waitFor(async () => (await statusOf('looking')) + (await statusOf('up')) === 'ws-learningws-learning', 'the phrase looked up is learning');
        const plain = await colour('quickly');   // new words are not coloured until the learner asks for it
        await h.input.clickWord(page, 'quickly');
        await h.waitFor(async () => (await statusOf('quickly')) === 'ws-learning', 'learning after the look-up');
        assert.notEqual(await colour('quickly'), plain);
        await h.waitFor(async () => (await page.textContent('#word-card .word-status')).includes('Aprendiendo'), 'the card says so');
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
        assert.equal(await saveNote('s'), 'Línea guardada en tu cuaderno');
        const box = await page.$eval('#saved-note', (el) => ({ right: window.innerWidth - el.getBoundingClientRect().right,
                                                                top: el.getBoundingClientRect().top, events: getComputedStyle(el).pointerEvents }));
        assert.ok(box.right < 40 && box.top < 120 && box.events === 'none', 'in the top right corner, controls under it usable: ' + JSON.stringify(box));
        assert.equal(await saveNote('S'), 'La línea ya está en tu cuaderno');

        const notebook = await h.openPage(browser.context, server.baseUrl + 'Player/Notebook');
        const rows = () => notebook.page.$$eval('#items > li[data-id]', (lis) => lis.map((li) => ['.sentence', '.translation', '.video']
            .map((q) => (li.querySelector(q) || {}).textContent || '')));
        await h.waitFor(async () => (await rows()).length === 2, 'the word and the line');
        assert.deepEqual((await rows())[0], ['Raining again, isn’t it?', 'Llueve otra vez, ¿verdad?', 'Rainy Day.mkv · 0:05']);
        await notebook.page.screenshot({ path: path.join(h.SHOTS, 'notebook.png'), fullPage: true });
        for (const [query, count] of [['nothing like it', 0], ['RAINING', 1]]) {
            await notebook.page.fill('#search', query);
            await h.waitFor(async () => (await rows()).length === count, query);
        }
        assert.deepEqual(notebook.errors, []);
    });

    it('sends the player commands for its controls and keys, and pauses at the end of a line', async () => {
        await at(5500);
        await page.waitForTimeout(1300);    // the clock stood still: paused
        assert.deepEqual(await newCommands(() => h.input.click(page, '#play-pause'), 1), ['Play']);
        await at(9000);
        const press = (key, shift) => () => h.input.press(page, key, shift);
        for (const [action, expected, why] of [
            [press('ArrowLeft'), ['SeekTo?position=5', 'Play'], 'the line before'],
            [press('ArrowLeft', true), ['SeekTo?position=4'], 'back 5 seconds from 9 s'],
            [press('ArrowUp'), ['SetVolume?volume=170'], '5 % louder from 80 %'],
            [press(']'), ['SetPlaybackSpeed?speed=1.1'], 'faster'], [press('['), ['SetPlaybackSpeed?speed=1'], 'slower'],
            [() => h.input.click(page, '#home-button'), ['Stop'], 'home'],
        ]) assert.deepEqual(await newCommands(action, expected.length), expected, why);
        await h.input.press(page, 'p');
        assert.equal(await page.getAttribute('#auto-pause', 'aria-pressed'), 'true');
        assert.deepEqual(await newCommands(async () => { for (let t = 5000; t <= 8000; t += 100) await at(t); }, 1), ['Pause']);
        await h.input.press(page, 'p');
    });
});
