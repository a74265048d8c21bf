// The home page and the player page in a real browser against a real lirra-server, with the
// app:/// navigations they make observed and the native side's scripts evaluated in them.
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness.js');

const ENGLISH = [
    [1000, 2900, 'Where are you going?'],
    [3000, 4800, 'To the <i>market</i>, before it closes.'],
    [8400, 9500, 'Of course. Bring the big bag.'],
    [61000, 63000, 'Fish & chips: 5 < 6 > 4 "yes" \'no\' &lt;b&gt;'],
];
const SPANISH = [[1000, 2900, '¿Adónde vas?'], [3000, 4800, 'Al mercado, antes de que cierre.']];

let server, browser, videoId;

before(async () => {
    server = await h.startServer({ 'Walk in the Park.en.srt': h.srt(ENGLISH), 'Walk in the Park.es.srt': h.srt(SPANISH) });
    videoId = await h.openVideo(server.baseUrl, 'Walk in the Park.mkv', 734003200, '8e245d9679d31e12');
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
    await page.reload();
    assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'jpn');
    await page.selectOption('#languageSelect', 'spa');
    const hostile = '<img src=x onerror="window.hacked=1">.mkv';
    await h.openVideo(server.baseUrl, hostile, 1000, '1');
    await page.evaluate(h.script.event('refreshLevel'));
    await h.waitFor(() => page.$eval('#stat-videos', (e) => e.textContent === '2'), 'two videos');
    assert.deepEqual((await page.$$eval('#recent-videos li .name', (l) => l.map((e) => e.textContent))).sort(),
                     [hostile, 'Walk in the Park.mkv']);
    assert.equal(await page.$('#recent-videos img'), null);
    assert.equal(await page.evaluate(() => window.hacked), undefined);
    assert.deepEqual(errors, []);
    await page.close();
});

describe('player page', () => {
    let page, bridge, errors;
    const sub = async (line) => (await page.textContent(`#line-${line}`)).trim();
    const at = (ms) => page.evaluate(h.script.timeUpdate(ms));
    const commands = () => bridge.filter((u) => u.startsWith('app:///Execute/'));
    // The guid of the latest request for name.
    const guid = (name) => {
        const url = bridge.slice().reverse().find((u) => u.startsWith(`app:///Request/${name}?guid=`));
        return url && url.slice(url.indexOf('guid=') + 5);
    };
    const newCommands = async (action, count) => {
        const before = commands().length;
        await action();
        await h.waitFor(() => commands().length >= before + count, `${count} command(s)`);
        await page.waitForTimeout(50);
        return commands().slice(before);
    };

    before(async () => {
        ({ page, bridge, errors } = await h.openPage(browser.context, server.baseUrl + `Player/Play?videoId=${videoId}`));
        await h.waitFor(() => page.$eval('#subtitle-menu', (m) => m.querySelectorAll('.choice').length >= 2), 'tracks');
    });
    after(async () => {
        assert.deepEqual(errors, []);
        await page.close();
    });

    it('is transparent, asks for its values with plain guids and shows the replies', async () => {
        const colours = await page.evaluate(() => [document.documentElement, document.body].map((e) => getComputedStyle(e).backgroundColor));
        assert.deepEqual(colours, ['rgba(0, 0, 0, 0)', 'rgba(0, 0, 0, 0)']);
        const top = Number(await page.evaluate(h.NEXT_SUB_QUERY));
        assert.ok(top > 720 / 2 && top < 720 - 100, `#next-sub top ${top}`);
        const names = ['Duration', 'Volume', 'PlaybackSpeed', 'AudioInfo', 'IsFullscreen', 'FileName'];
        await h.waitFor(() => names.every(guid), 'the six requests');
        const guids = names.map(guid);
        for (const g of guids) assert.match(g, /^[a-z0-9-]+$/);
        assert.equal(new Set(guids).size, 6);
        const values = ['95000', '160', '1', "{audioTracks:{'English':1, 'Français':2, }, audioTrack:1}", 'true', "'Walk in the Park.mkv'"];
        for (let i = 0; i < 6; ++i) await page.evaluate(h.script.reply(guids[i], values[i]));
        assert.deepEqual(await page.evaluate(() => ['#time-duration', '#volume-value', '#speed-button', '#file-name']
            .map((q) => document.querySelector(q).textContent)), ['1:35', '80%', '1×', 'Walk in the Park.mkv']);
        assert.deepEqual(await page.$$eval('#audio-menu button', (b) => b.map((x) => [x.textContent, x.classList.contains('current')])),
                         [['English', true], ['Français', false]]);
        assert.equal(await page.evaluate(() => document.body.classList.contains('fullscreen')), true);
        await page.evaluate(h.script.event('nativeApp:leftFullscreen'));
        assert.equal(await page.evaluate(() => document.body.classList.contains('fullscreen')), false);
        await page.evaluate(h.script.reply(guids[1], '20'));   // answered already: nobody listens
        assert.equal(await page.textContent('#volume-value'), '80%');
    });

    it('shows both lines at the right times, as text', async () => {
        const lines = async () => [await sub('target'), await sub('native')];
        await at(500);
        assert.deepEqual(await lines(), ['', '']);
        await at(1000);
        assert.deepEqual(await lines(), ['Where are you going?', '¿Adónde vas?']);
        await at(3500);
        assert.deepEqual(await lines(), ['To the market, before it closes.', 'Al mercado, antes de que cierre.']);
        assert.equal(await page.textContent('#line-target i'), 'market');
        await at(4900);
        assert.deepEqual(await lines(), ['', '']);
        await at(62000);
        // Shown as the characters the file holds, decoded once, never as markup.
        assert.equal(await sub('target'), 'Fish & chips: 5 < 6 > 4 "yes" \'no\' &lt;b&gt;');
        assert.equal(await page.$('#next-sub b'), null);
        await at('null');
        assert.equal(await sub('target'), '');
    });

    it('sends the player commands for its controls and keys, and pauses at the end of a line', async () => {
        await at(3500);
        await page.waitForTimeout(1300);    // the clock stood still: paused
        assert.deepEqual(await newCommands(() => h.input.click(page, '#play-pause'), 1), ['app:///Execute/Play']);
        await at(5000);
        assert.deepEqual(await newCommands(() => h.input.press(page, 'ArrowLeft'), 2), ['app:///Execute/SeekTo?position=3', 'app:///Execute/Play']);
        await h.input.press(page, 'p');
        assert.equal(await page.getAttribute('#auto-pause', 'aria-pressed'), 'true');
        assert.deepEqual(await newCommands(async () => { for (let t = 3000; t <= 4800; t += 100) await at(t); }, 1),
                         ['app:///Execute/Pause']);
        await h.input.press(page, 'p');
    });
});
