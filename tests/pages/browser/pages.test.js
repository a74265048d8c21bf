// The home page and the player page in a real browser against a real lirra-server, with the
// app:/// navigations they make observed and the native side's scripts evaluated in them.
'use strict';
const { describe, it, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

const VIDEO = 'Walk in the Park.mkv';
const ENGLISH = [
    [1000, 2900, 'Where are you going?'],
    [3000, 4800, 'To the <i>market</i>, before it closes.'],
    [5000, 6500, 'Can I come with you?'],
    [8400, 9500, 'Of course. Bring the big bag.'],
    [61000, 63000, 'Fish & chips: 5 < 6 > 4 "yes" \'no\' &lt;b&gt;'],
];
const SPANISH = [
    [1000, 2900, '¿Adónde vas?'],
    [3000, 4800, 'Al mercado, antes de que cierre.'],
    [5000, 6500, '¿Puedo ir contigo?'],
    [8400, 9500, 'Claro. Trae la bolsa grande.'],
];
const shots = process.env.LIRRA_SHOTS_DIR || path.join(os.tmpdir(), 'lirra-pages-screenshots');

let server, browser, videoId;

before(async () => {
    assert.ok(process.env.LIRRA_SERVER, 'LIRRA_SERVER names the lirra-server executable');
    server = await h.startServer(process.env.LIRRA_SERVER, {
        'Walk in the Park.en.srt': h.srt(ENGLISH),
        'Walk in the Park.es.srt': h.srt(SPANISH),
    });
    videoId = await h.openVideo(server.baseUrl, VIDEO, 734003200, '8e245d9679d31e12');
    browser = await h.launchBrowser();
    fs.mkdirSync(shots, { recursive: true });
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
});

const commands = (bridge) => bridge.filter((u) => u.startsWith('app:///Execute/'));
// The guid of the latest request for name (an earlier page may still have sent some).
const requestGuid = (bridge, name) => {
    const url = bridge.slice().reverse().find((u) => u.startsWith(`app:///Request/${name}?guid=`));
    return url && url.slice(url.indexOf('guid=') + 5);
};

describe('home page', () => {
    it('reports ready, shows the tour once and asks for room for it', async () => {
        const { page, bridge, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
        await h.waitFor(() => bridge.includes('app:///Execute/EnableDraggableHomeScreen'), 'readiness');
        assert.ok(bridge.includes('app:///Execute/ResizeForTutorial'));
        assert.equal(await page.isVisible('#tutorial'), true);
        await page.screenshot({ path: path.join(shots, 'home-tour.png') });
        await h.input.click(page, '#close-tutorial');
        await page.reload();
        await h.waitFor(() => bridge.filter((u) => u.endsWith('/EnableDraggableHomeScreen')).length === 2, 'readiness again');
        assert.equal(bridge.filter((u) => u.endsWith('/ResizeForTutorial')).length, 1);
        assert.equal(await page.isVisible('#tutorial'), false);
        assert.deepEqual(errors, []);
        await page.close();
    });

    it('the language query reads the chosen code, and the choice persists', async () => {
        const { page, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
        assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'spa');
        await page.selectOption('#languageSelect', 'jpn');
        assert.equal(await page.getAttribute('#selectedLanguage .flag', 'class'), 'flag small jpn');
        assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'jpn');
        await page.reload();
        assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'jpn');
        await page.selectOption('#languageSelect', 'spa');
        assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'spa');
        assert.deepEqual(errors, []);
        await page.close();
    });

    it('lists recent videos as text and refreshes them on "refreshLevel", asking for room again', async () => {
        const { page, bridge, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
        await h.waitFor(() => page.$eval('#recent-videos', (e) => e.textContent.includes('Walk in the Park.mkv')), 'the video');
        assert.equal(await page.textContent('#stat-videos'), '1');
        assert.equal(await page.textContent('#stat-subtitles'), '2');
        assert.equal(await page.textContent('#stat-streak'), '1');
        await page.screenshot({ path: path.join(shots, 'home.png') });
        const hostile = '<img src=x onerror="window.hacked=1">.mkv';
        await h.openVideo(server.baseUrl, hostile, 1000, '1');
        const resizes = bridge.filter((u) => u.endsWith('/ResizeForTutorial')).length;
        await page.evaluate(h.script.event('refreshLevel'));
        await h.waitFor(() => page.$eval('#stat-videos', (e) => e.textContent === '2'), 'two videos');
        assert.equal(bridge.filter((u) => u.endsWith('/ResizeForTutorial')).length, resizes + 1);
        assert.equal(await page.$eval('#recent-videos li .name', (e) => e.textContent), hostile);
        assert.equal(await page.$('#recent-videos img'), null);
        assert.equal(await page.evaluate(() => window.hacked), undefined);
        assert.deepEqual(errors, []);
        await page.close();
    });

    it('the registration link ends in PlayerRegister and leads to the page about the service', async () => {
        const { page } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
        const href = await page.$eval('#register', (a) => a.href);
        assert.equal(new URL(href).pathname.split('/').pop(), 'PlayerRegister');
        await h.input.click(page, '#register');
        await page.waitForURL(/Account\/Register$/);
        assert.match(await page.textContent('h1'), /your own service/);
        await page.close();
    });
});

describe('player page', () => {
    let page, bridge, errors;
    const sub = async (line) => (await page.textContent(`#line-${line}`)).trim();
    const at = async (ms) => page.evaluate(h.script.timeUpdate(ms));
    const lastCommands = (n) => commands(bridge).slice(-n);
    const click = (selector) => h.input.click(page, selector);
    // Answers the page's request for name the way the native side does.
    const reply = async (name, value) => {
        await h.waitFor(() => requestGuid(bridge, name), `the ${name} request`);
        await page.evaluate(h.script.reply(requestGuid(bridge, name), value));
    };
    const press = (key, shift) => h.input.press(page, key, shift);
    const newCommands = async (action, count) => {
        const before = commands(bridge).length;
        await action();
        await h.waitFor(() => commands(bridge).length >= before + count, `${count} command(s)`);
        await page.waitForTimeout(50);
        return commands(bridge).slice(before);
    };

    const loaded = () => h.waitFor(() => page.$eval('#subtitle-menu', (m) => m.querySelectorAll('.choice').length >= 3), 'tracks');
    before(async () => {
        ({ page, bridge, errors } = await h.openPage(browser.context, server.baseUrl + `Player/Play?videoId=${videoId}`));
    });
    // Each test starts from a freshly loaded page; what the page stores stays.
    beforeEach(async () => {
        bridge.length = 0;
        await page.reload();
        await loaded();
    });
    after(async () => { await page.close(); });

    it('is transparent, and its subtitle block sits low with a non-zero top', async () => {
        const colours = await page.evaluate(() => [getComputedStyle(document.documentElement).backgroundColor,
                                                   getComputedStyle(document.body).backgroundColor]);
        assert.deepEqual(colours, ['rgba(0, 0, 0, 0)', 'rgba(0, 0, 0, 0)']);
        const top = Number(await page.evaluate(h.NEXT_SUB_QUERY));
        assert.ok(top > 720 / 2 && top < 720 - 100, `#next-sub top ${top}`);
    });

    it('asks for its values with plain guids and shows the replies', async () => {
        const names = ['Duration', 'Volume', 'PlaybackSpeed', 'AudioInfo', 'IsFullscreen', 'FileName'];
        await h.waitFor(() => names.every((n) => requestGuid(bridge, n)), 'the six requests');
        const guids = names.map((n) => requestGuid(bridge, n));
        for (const g of guids) assert.match(g, /^[a-z0-9-]+$/);
        assert.equal(new Set(guids).size, 6);
        const values = ['95000', '160', '1', "{audioTracks:{'English':1, 'Français':2, }, audioTrack:1}", 'true',
                        "'Walk in the Park.mkv'"];
        for (let i = 0; i < 6; ++i) await page.evaluate(h.script.reply(guids[i], values[i]));
        assert.equal(await page.textContent('#time-duration'), '1:35');
        assert.equal(await page.getAttribute('#seek', 'max'), '95');
        assert.equal(await page.textContent('#volume-value'), '80%');
        assert.equal(await page.textContent('#speed-button'), '1×');
        assert.deepEqual(await page.$$eval('#audio-menu button', (b) => b.map((x) => [x.textContent, x.classList.contains('current')])),
                         [['English', true], ['Français', false]]);
        assert.equal(await page.evaluate(() => document.body.classList.contains('fullscreen')), true);
        await page.evaluate(h.script.event('nativeApp:leftFullscreen'));
        assert.equal(await page.evaluate(() => document.body.classList.contains('fullscreen')), false);
        await page.evaluate(h.script.event('nativeApp:enteredFullscreen'));
        assert.match(await page.textContent('#fullscreen-state'), /leave/);
        assert.equal(await page.textContent('#file-name'), 'Walk in the Park.mkv');
        // A second reply to the same guid finds no listener any more.
        await page.evaluate(h.script.reply(guids[1], '20'));
        assert.equal(await page.textContent('#volume-value'), '80%');
    });

    it('shows both lines at the right times, as text', async () => {
        await at(500);
        assert.deepEqual([await sub('target'), await sub('native')], ['', '']);
        await at(1000);
        assert.deepEqual([await sub('target'), await sub('native')], ['Where are you going?', '¿Adónde vas?']);
        await at(3500);
        assert.equal(await sub('target'), 'To the market, before it closes.');
        assert.equal(await page.textContent('#line-target i'), 'market');
        assert.equal(await sub('native'), 'Al mercado, antes de que cierre.');
        await at(4900);
        assert.deepEqual([await sub('target'), await sub('native')], ['', '']);
        await at(62000);
        // Shown as the characters the file holds, decoded once, never as markup.
        assert.equal(await sub('target'), 'Fish & chips: 5 < 6 > 4 "yes" \'no\' &lt;b&gt;');
        assert.equal(await page.$('#next-sub b'), null);
        await at('null');
        assert.equal(await sub('target'), '');
    });

    it('sends the right command for each control', async () => {
        await reply('AudioInfo', "{audioTracks:{'English':1, 'Français':2, }, audioTrack:1}");
        await reply('Duration', '95000');
        await at(3500);
        await page.waitForTimeout(1300);    // the clock stood still: paused
        assert.deepEqual(await newCommands(() => click('#play-pause'), 1), ['app:///Execute/Play']);
        // The clock moves: the page knows it plays, so the same button pauses.
        for (let t = 3600; t <= 4000; t += 100) await at(t);
        // The last reading and the click in one go, so a slow machine cannot make the clock look still.
        assert.deepEqual(await newCommands(() => page.evaluate((s) => {
            window.eval(s);
            document.getElementById('play-pause').click();
        }, h.script.timeUpdate(4100)), 1), ['app:///Execute/Pause']);
        assert.deepEqual(await newCommands(() => click('#mute'), 1), ['app:///Execute/SetMuted?muted=true']);
        assert.deepEqual(await newCommands(() => click('#mute'), 1), ['app:///Execute/SetMuted?muted=false']);
        assert.deepEqual(await newCommands(() => page.$eval('#volume', (r) => {
            r.value = '120';
            r.dispatchEvent(new Event('input', { bubbles: true }));
        }), 1), ['app:///Execute/SetVolume?volume=120']);
        assert.deepEqual(await newCommands(async () => {
            await click('#speed-button');
            await click('#speed-menu button[data-speed="0.75"]');
        }, 1), ['app:///Execute/SetPlaybackSpeed?speed=0.75']);
        assert.equal(await page.textContent('#speed-button'), '0.75×');
        assert.deepEqual(await newCommands(async () => {
            await click('#audio-button');
            await click('#audio-menu button[data-track="2"]');
        }, 1), ['app:///Execute/SetAudioTrack?track=2']);
        assert.deepEqual(await newCommands(() => page.$eval('#seek', (r) => {
            r.value = '42';
            r.dispatchEvent(new Event('change', { bubbles: true }));
        }), 1), ['app:///Execute/SeekTo?position=42']);
        await at(42000);
        assert.deepEqual(await newCommands(() => click('#next-line'), 2), ['app:///Execute/SeekTo?position=61', 'app:///Execute/Play']);
        assert.deepEqual(await newCommands(() => click('#home-button'), 1), ['app:///Execute/Stop']);
    });

    it('answers every shortcut', async () => {
        await h.input.pressPicture(page);   // no control keeps focus
        await at(3500);
        await page.waitForTimeout(1300);    // the clock stood still: paused
        const key = (k, n, shift) => newCommands(() => press(k, shift), n);
        await reply('Volume', '120');
        await reply('PlaybackSpeed', '0.75');
        assert.deepEqual(await key(' ', 1), ['app:///Execute/Play']);
        assert.deepEqual(await key('ArrowRight', 2), ['app:///Execute/SeekTo?position=5', 'app:///Execute/Play']);
        // Again before the clock follows: the line after that one (8.4 s).
        assert.deepEqual(await key('ArrowRight', 2), ['app:///Execute/SeekTo?position=8', 'app:///Execute/Play']);
        await at(8000);
        await at(8500);
        assert.deepEqual(await key('ArrowLeft', 2), ['app:///Execute/SeekTo?position=5', 'app:///Execute/Play']);
        await at(5000);
        await at(5200);
        assert.deepEqual(await key('r', 2), ['app:///Execute/SeekTo?position=5', 'app:///Execute/Play']);
        assert.deepEqual(await key('ArrowLeft', 1, true), ['app:///Execute/SeekTo?position=0']);
        assert.deepEqual(await key('ArrowUp', 1), ['app:///Execute/SetVolume?volume=130']);
        assert.deepEqual(await key('ArrowDown', 1), ['app:///Execute/SetVolume?volume=120']);
        assert.deepEqual(await key('m', 1), ['app:///Execute/SetMuted?muted=true']);
        assert.deepEqual(await key(']', 1), ['app:///Execute/SetPlaybackSpeed?speed=0.85']);
        assert.deepEqual(await key('[', 1), ['app:///Execute/SetPlaybackSpeed?speed=0.75']);
        await press('t');
        await at(1500);
        assert.equal(await page.isVisible('#line-native'), false);
        assert.equal(await sub('target'), 'Where are you going?');
        await press('t');
        assert.equal(await sub('native'), '¿Adónde vas?');
        await press('?');
        assert.equal(await page.isVisible('#help'), true);
        assert.match(await page.textContent('#help'), /Repeat the line/);
        assert.equal(Number(await page.evaluate(h.NEXT_SUB_QUERY)), 1, 'clicks in the help stay with the page');
        await press('?');
        assert.equal(await page.isVisible('#help'), false);
        await press('p');
        assert.equal(await page.getAttribute('#auto-pause', 'aria-pressed'), 'true');
        await press('p');
        assert.equal(await page.getAttribute('#auto-pause', 'aria-pressed'), 'false');
    });

    it('auto-pause sends Pause once at the end of each line', async () => {
        await press('p');
        assert.equal(await page.getAttribute('#auto-pause', 'aria-pressed'), 'true');
        await at(0);
        const before = commands(bridge).length;
        for (let t = 2000; t <= 3400; t += 100) await at(t);
        await h.waitFor(() => commands(bridge).length > before, 'the pause');
        await page.waitForTimeout(100);
        assert.deepEqual(commands(bridge).slice(before), ['app:///Execute/Pause']);
        for (let t = 3500; t <= 4700; t += 100) await at(t);
        await page.waitForTimeout(100);
        assert.equal(commands(bridge).length, before + 1, 'nothing before the next line ends');
        await at(4800);
        await h.waitFor(() => commands(bridge).length === before + 2, 'the second pause');
        assert.equal(lastCommands(1)[0], 'app:///Execute/Pause');
        await press('p');
    });

    it('moves a line by 100 ms steps and remembers it for the video', async () => {
        await click('#subtitle-button');
        const plus = '#subtitle-menu [data-line="target"] .offset-plus';
        for (let i = 0; i < 3; ++i) await click(plus);
        assert.equal(await page.textContent('#subtitle-menu [data-line="target"] .offset-value'), '+0.3 s');
        assert.equal(Number(await page.evaluate(h.NEXT_SUB_QUERY)), 1, 'the open menu keeps double clicks');
        await at(1200);
        assert.equal(await sub('target'), '');
        assert.equal(await sub('native'), '¿Adónde vas?', 'the other line keeps its timing');
        await at(1300);
        assert.equal(await sub('target'), 'Where are you going?');
        await page.reload();
        await loaded();
        assert.equal(await page.textContent('#subtitle-menu [data-line="target"] .offset-value'), '+0.3 s');
        await at(1200);
        assert.equal(await sub('target'), '');
        await click('#subtitle-button');
        await click('#subtitle-menu [data-line="target"] .offset-reset');
        await at(1200);
        assert.equal(await sub('target'), 'Where are you going?');
        await h.input.pressPicture(page);
        assert.equal(await page.isVisible('#subtitle-menu'), false);
    });

    it('adds a subtitle file chosen in the page to the video', async () => {
        await click('#subtitle-button');
        const french = h.srt([[1000, 2900, 'Où vas-tu ?']]);
        await page.setInputFiles('#subtitle-file', { name: 'Walk in the Park.fr.srt', mimeType: 'application/x-subrip',
                                                     buffer: Buffer.from(french) });
        await h.waitFor(async () => (await sub('native')) === 'Où vas-tu ?' ||
            (await at(1500), (await sub('native')) === 'Où vas-tu ?'), 'the French line');
        const tracks = await (await fetch(server.baseUrl + `api/videos/${videoId}/tracks`)).json();
        const added = tracks.tracks.find((t) => t.fileName === 'Walk in the Park.fr.srt');
        assert.ok(added);
        assert.equal(added.origin, 'learner');
        assert.equal(added.language, 'fre');
        // Back to Spanish for the tests that follow (the choice is kept per video).
        await page.$$eval('#subtitle-menu [data-line="native"] .choice', (b) => b.find((x) => /^Spanish/.test(x.textContent)).click());
        await at(1500);
        assert.equal(await sub('native'), '¿Adónde vas?');
    });

    it('lists every line, marks the current one and seeks on a click', async () => {
        await press('l');
        await at(5200);
        const items = await page.$$eval('#lines li', (li) => li.map((x) => [x.querySelector('.at').textContent, x.classList.contains('current')]));
        assert.equal(items.length, ENGLISH.length);
        assert.deepEqual(items[2], ['0:05', true]);
        assert.equal(items.filter((i) => i[1]).length, 1);
        // Each line with the line in the learner's language beside it.
        assert.equal(await page.textContent('#lines li[data-index="2"] .translation'), '¿Puedo ir contigo?');
        assert.deepEqual(await newCommands(() => click('#lines li[data-index="3"]'), 2),
                         ['app:///Execute/SeekTo?position=8', 'app:///Execute/Play']);
        await press('l');
        assert.deepEqual(errors, []);
    });

    it('looks right over a busy picture (screenshot)', async () => {
        await click('#subtitle-button');
        await h.input.pressPicture(page);
        await reply('Duration', '95000');
        await reply('Volume', '200');
        await reply('PlaybackSpeed', '1');
        await reply('FileName', "'Walk in the Park.mkv'");
        await reply('AudioInfo', "{audioTracks:{'English':1, 'Français':2, }, audioTrack:1}");
        for (const t of [3400, 3500]) await at(t);
        const background = path.join(shots, 'background.png');
        h.busyBackground(background);
        const layer = path.join(shots, 'player-layer.png');
        const shot = async (name) => {
            await page.waitForTimeout(400);
            await page.screenshot({ path: layer, omitBackground: true });
            h.composite(background, layer, path.join(shots, name));
        };
        await h.input.moveMouse(page);
        await page.waitForTimeout(400);
        assert.equal(await page.evaluate(() => document.body.classList.contains('chrome-visible')), true);
        await shot('player.png');
        await click('#subtitle-button');
        await shot('player-subtitle-menu.png');
        await h.input.pressPicture(page);
        await press('?');
        await shot('player-help.png');
        await press('?');
        await press('l');
        await shot('player-lines.png');
        await press('l');
        await page.waitForTimeout(3200);   // the controls fade
        assert.equal(await page.evaluate(() => document.body.classList.contains('chrome-visible')), false);
        await shot('player-watching.png');
        fs.rmSync(layer);
    });
});

describe('player page opened before its subtitles', () => {
    it('asks again for the tracks and shows those the app hands over later', async () => {
        const late = await h.openVideo(server.baseUrl, 'Late Arrival.mkv', 1000, '2a');
        const answers = [];
        const seen = (r) => { if (r.url().includes(`/api/videos/${late}/tracks`)) answers.push(r.status()); };
        browser.context.on('response', seen);
        const { page, errors } = await h.openPage(browser.context, server.baseUrl + `Player/Play?videoId=${late}`);
        await h.waitFor(() => answers.length >= 1, 'the first, empty answer');
        const form = new FormData();
        form.append('file', new Blob([h.srt([[1000, 2900, 'Here at last.']])]), 'Late Arrival.en.srt');
        assert.equal((await fetch(server.baseUrl + `api/videos/${late}/subtitles`, { method: 'POST', body: form })).status, 201);
        await h.waitFor(async () => {
            await page.evaluate(h.script.timeUpdate(1500));
            return (await page.textContent('#line-target')).trim() === 'Here at last.';
        }, 'the line', 10000);
        assert.ok(answers.length >= 2, 'asked again');
        assert.deepEqual(errors, []);
        browser.context.off('response', seen);
        await page.close();
    });
});
