// SPDX-License-Identifier: GPL-3.0-or-later
// The pages in the pseudo-locale (every text 40 % longer, in brackets) at 1280×720: no text of
// ours left unwrapped, none cut off or laid over another; mirrored with dir=rtl forced; and a
// subtitle line of a right-to-left language marked as one while the interface falls back to English.
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness.js');

let server, browser, videoId;

before(async () => {
    server = await h.startServer({
        'Long Night.en.srt': h.srt([[1000, 9000, 'The longest line of the evening, said slowly and carefully']]),
        'Long Night.es.srt': h.srt([[1000, 9000, 'La línea más larga de la noche, dicha despacio']]),
        'Long Night.ar.srt': h.srt([[1000, 9000, 'أطول سطر في المساء']]),
    });
    videoId = await h.openVideo(server.baseUrl, 'Long Night.mkv', 1048576, '0123456789abcdef');
    browser = await h.launchBrowser({ locale: 'en-XA' });
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
});

// What the screen shows wrong under root: visible texts of ours outside the pseudo-locale's
// brackets, texts cut by their box or the window (below it is fine where the page scrolls), and
// texts laid over one another. data: selectors of texts that are not ours (file names, subtitle
// lines, key caps, language names from Intl).
function screenProblems([rootSelector, data]) {
    const problems = [], boxes = [];
    const root = document.querySelector(rootSelector);
    const scrolls = getComputedStyle(document.body).overflowY !== 'hidden' && getComputedStyle(document.documentElement).overflowY !== 'hidden';
    const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
    for (let node; (node = walker.nextNode());) {
        const element = node.parentElement, text = node.textContent.trim();
        if (!text || !element.checkVisibility({ opacityProperty: true, visibilityProperty: true })) continue;
        const range = document.createRange();
        range.selectNodeContents(node);
        let rects = [...range.getClientRects()].filter((r) => r.width > 0 && r.height > 0);
        const where = `${element.tagName.toLowerCase()}${element.id ? '#' + element.id : ''} "${text.slice(0, 40)}"`;
        // What a scrolling box hides is reached by scrolling it; what it cuts sideways is lost.
        for (let box = element; box && box !== document.body; box = box.parentElement) {
            const style = getComputedStyle(box);
            if (style.overflowX === 'visible' && style.overflowY === 'visible') continue;
            if (box.scrollWidth > box.clientWidth + 1 && box.clientWidth > 0 && style.overflowX !== 'auto' && style.overflowX !== 'scroll') {
                problems.push('cut off: ' + where);
            }
            const c = box.getBoundingClientRect();
            rects = rects.map((r) => new DOMRect(Math.max(r.left, c.left), Math.max(r.top, c.top),
                Math.min(r.right, c.right) - Math.max(r.left, c.left), Math.min(r.bottom, c.bottom) - Math.max(r.top, c.top)))
                .filter((r) => r.width > 0 && r.height > 0);
        }
        if (!rects.length) continue;
        if (!element.closest(data) && /[A-Za-z]{2}/.test(text) && !element.closest('[data-l10n]') && !/[[\]]/.test(element.textContent)) {
            problems.push('not translated: ' + where);
        }
        for (const r of rects) {
            if (r.left < -1 || r.right > innerWidth + 1 || r.top < -1 || (!scrolls && r.bottom > innerHeight + 1)) problems.push('outside the window: ' + where);
            boxes.push({ r, element, where });
        }
    }
    for (let i = 0; i < boxes.length; ++i) {
        for (let j = i + 1; j < boxes.length; ++j) {
            const a = boxes[i], b = boxes[j];
            if (a.element === b.element || a.element.contains(b.element) || b.element.contains(a.element)) continue;
            const w = Math.min(a.r.right, b.r.right) - Math.max(a.r.left, b.r.left), hgt = Math.min(a.r.bottom, b.r.bottom) - Math.max(a.r.top, b.r.top);
            if (w > 2 && hgt > 2) problems.push(`overlap: ${a.where} / ${b.where}`);
        }
    }
    return [...new Set(problems)];
}

const DATA = '#line-target, #line-native, #file-name, .name, kbd, .flag, #lines, option, .track-choices, #audio-menu';
const problems = (page, root = 'body') => page.evaluate(screenProblems, [root, DATA]);

describe('the pseudo-locale', () => {
    it('the home page and its welcome tour, mirrored or not, show only wrapped texts that fit', async () => {
        for (const rtl of [false, true]) {
            const { page, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home' + (rtl ? '?l10n-dir=rtl' : ''));
            await page.waitForSelector('#recent-videos li');
            assert.deepEqual(await page.evaluate(() => [document.documentElement.lang, document.documentElement.dir]), ['en-XA', rtl ? 'rtl' : 'ltr']);
            assert.match(await page.textContent('#words h2'), /^\[Ýöûr wördš ~+\]$/);
            if (await page.isHidden('#tutorial')) await h.input.click(page, '#show-tutorial');
            assert.deepEqual(await problems(page, '#tutorial'), [], rtl ? 'mirrored tour' : 'tour');
            await h.input.click(page, '#close-tutorial');
            assert.deepEqual(await problems(page), [], rtl ? 'mirrored home' : 'home');
            // Mirrored, the title starts on the right and the language choice stands on the left.
            const [title, choice] = await page.evaluate(() => ['header h1', 'header .language'].map((s) => document.querySelector(s).getBoundingClientRect().left));
            assert.equal(title > choice, rtl, `title at ${title}, choice at ${choice}`);
            await h.shotOverPicture(page, `home-pseudo${rtl ? '-rtl' : ''}.png`);
            assert.deepEqual(errors, []);
            await page.close();
        }
    });

    it('the player page\'s controls, menus and help, mirrored or not, show only wrapped texts that fit', async () => {
        for (const rtl of [false, true]) {
            const { page, errors } = await h.openPage(browser.context, server.baseUrl + `Player/Play?videoId=${videoId}` + (rtl ? '&l10n-dir=rtl' : ''));
            await h.waitFor(async () => { await page.evaluate(h.script.timeUpdate(1500)); return (await page.textContent('#line-target')).includes('longest'); }, 'the line');
            // The learner's line says its language: Spanish here, the browser's default.
            assert.deepEqual(await page.$eval('#line-native', (e) => [e.lang, e.dir]), ['es', 'ltr']);
            assert.deepEqual(await problems(page), [], 'controls');
            for (const [open, shown] of [['#subtitle-button', '#subtitle-menu'], ['#help-button', '#help']]) {
                await h.input.click(page, open);
                assert.deepEqual(await problems(page, shown), [], open);
                await h.input.press(page, 'Escape');
            }
            const [home, list] = await page.evaluate(() => ['#home-button', '#list-button'].map((s) => document.querySelector(s).getBoundingClientRect().left));
            assert.equal(home > list, rtl, `home at ${home}, list at ${list}`);
            await h.shotOverPicture(page, `player-pseudo${rtl ? '-rtl' : ''}.png`);
            assert.deepEqual(errors, []);
            await page.close();
        }
    });

    it('the notebook page shows only wrapped texts that fit', async () => {
        const { page, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Notebook');
        await page.waitForSelector('#items li');
        assert.deepEqual(await problems(page), []);
        assert.deepEqual(errors, []);
        await page.close();
    });
});

it('a Spanish system: the home page speaks Spanish before any choice, with its plural forms and how long ago', async () => {
    const context = await browser.context.browser().newContext({ viewport: { width: 1280, height: 720 }, locale: 'es-ES' });
    await context.clock.setFixedTime(Date.now() + 26 * 3600e3);   // a day on: yesterday, or a day ago
    try {
        const { page, errors } = await h.openPage(context, server.baseUrl + 'Player/Home');
        await page.waitForSelector('#recent-videos li .meta');
        assert.deepEqual(await page.evaluate(() => [document.documentElement.lang, document.querySelector('#words h2').textContent]), ['es', 'Tus palabras']);
        assert.equal(await page.evaluate(h.LANGUAGE_QUERY), 'spa');
        assert.match(await page.textContent('#recent-videos li .meta'), /^3 archivos de subtítulos · (ayer|hace 1 día)$/);
        assert.deepEqual(errors, []);
    } finally {
        await context.close();
    }
});

it('an Arabic learner\'s line is right to left in Arabic while the interface without its catalogue reads English', async () => {
    const { page, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
    await page.evaluate(() => localStorage.setItem('lirra.nativeLanguage', 'ara'));
    await page.goto(server.baseUrl + `Player/Play?videoId=${videoId}`);
    await h.waitFor(async () => { await page.evaluate(h.script.timeUpdate(1500)); return (await page.textContent('#line-native')).includes('أطول'); }, 'the Arabic line');
    assert.deepEqual(await page.$eval('#line-native', (e) => [e.lang, e.dir]), ['ar', 'rtl']);
    assert.deepEqual(await page.evaluate(() => [document.documentElement.lang, document.documentElement.dir, document.querySelector('#save-line').textContent]),
                     ['en', 'ltr', 'Save']);
    assert.deepEqual(errors, []);
    await page.close();
});
