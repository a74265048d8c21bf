// SPDX-License-Identifier: GPL-3.0-or-later
// The pages in the pseudo-locale (every text 40 % longer, in brackets) at 1280×720: no text of
// ours left unwrapped, none cut off or laid over another; mirrored with dir=rtl forced; and a
// subtitle line of a right-to-left language marked as one while the interface falls back to English.
'use strict';
const { it, before, after } = require('node:test');
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
    const problems = new Set(), boxes = [], style = (e) => getComputedStyle(e);
    const scrolls = ![document.body, document.documentElement].some((e) => style(e).overflowY === 'hidden');
    const walker = document.createTreeWalker(document.querySelector(rootSelector), NodeFilter.SHOW_TEXT);
    for (let node; (node = walker.nextNode());) {
        const element = node.parentElement, text = node.textContent.trim(), range = document.createRange();
        if (!text || !element.checkVisibility({ opacityProperty: true, visibilityProperty: true })) continue;
        range.selectNodeContents(node);
        let rects = [...range.getClientRects()];
        const where = `${element.tagName.toLowerCase()}${element.id ? '#' + element.id : ''} "${text.slice(0, 40)}"`;
        // What a scrolling box hides is reached by scrolling it; what it cuts sideways is lost.
        for (let box = element; box !== document.body; box = box.parentElement) {
            if (style(box).overflowX === 'visible' && style(box).overflowY === 'visible') continue;
            if (box.scrollWidth > box.clientWidth + 1 && !/auto|scroll/.test(style(box).overflowX)) problems.add('cut off: ' + where);
            const c = box.getBoundingClientRect();
            rects = rects.map((r) => DOMRect.fromRect({ x: Math.max(r.left, c.left), y: Math.max(r.top, c.top),
                width: Math.min(r.right, c.right) - Math.max(r.left, c.left), height: Math.min(r.bottom, c.bottom) - Math.max(r.top, c.top) }));
        }
        rects = rects.filter((r) => r.width > 0 && r.height > 0);
        if (rects.length && !element.closest(data) && /[A-Za-z]{2}/.test(text) && !element.closest('[data-l10n]') && !/[[\]]/.test(element.textContent)) {
            problems.add('not translated: ' + where);
        }
        for (const r of rects) {
            if (r.left < -1 || r.right > innerWidth + 1 || r.top < -1 || (!scrolls && r.bottom > innerHeight + 1)) problems.add('outside the window: ' + where);
            for (const b of boxes) {
                const overlap = (Math.min(r.right, b.r.right) - Math.max(r.left, b.r.left) > 2) && (Math.min(r.bottom, b.r.bottom) - Math.max(r.top, b.r.top) > 2);
                if (overlap && !element.contains(b.element) && !b.element.contains(element)) problems.add(`overlap: ${where} / ${b.where}`);
            }
        }
        rects.forEach((r) => boxes.push({ r, element, where }));
    }
    return [...problems];
}

const DATA = '#line-target, #line-native, #file-name, .name, kbd, .flag, #lines, option, .track-choices, #audio-menu';

// Each screen as the learner opens it: its page; what is clicked open, the part then checked and
// what closes it; two elements of a line, the first one first in reading order.
const SCREENS = [
    ['Player/Home', [['#show-tutorial', '#tutorial', '#close-tutorial'], [null, 'body']], 'header h1', 'header .language'],
    ['Player/Play?videoId=VIDEO', [[null, 'body'], ['#subtitle-button', '#subtitle-menu', 'Escape'], ['#help-button', '#help', 'Escape']],
     '#home-button', '#list-button'],
    ['Player/Notebook', [[null, 'body']], 'header h1', '.back'],
];

it('the pseudo-locale\'s screens, mirrored or not, show only wrapped texts that fit, the start of a line on its side', async () => {
    for (const [url, opens, first, last] of SCREENS) {
        for (const rtl of [false, true]) {
            const what = `${url}${rtl ? ' mirrored' : ''}`;
            const { page, errors } = await h.openPage(browser.context, server.baseUrl + url.replace('VIDEO', videoId) + (url.includes('?') ? '&' : '?') + (rtl ? 'l10n-dir=rtl' : ''));
            await h.waitFor(async () => { await page.evaluate(h.script.timeUpdate(1500)); return page.evaluate(() => document.readyState === 'complete' && !!document.querySelector('#recent-videos li, #line-target .word, #items li')); }, what);
            assert.deepEqual(await page.evaluate(() => [document.documentElement.lang, document.documentElement.dir]), ['en-XA', rtl ? 'rtl' : 'ltr']);
            for (const [open, part, close] of opens) {
                if (open) await h.input.click(page, open);
                assert.deepEqual(await page.evaluate(screenProblems, [part, DATA]), [], `${what} ${part}`);
                if (close) await (close === 'Escape' ? h.input.press(page, close) : h.input.click(page, close));
            }
            // Mirrored, what starts a line stands on the right.
            const [a, b] = await page.evaluate((s) => s.map((q) => document.querySelector(q).getBoundingClientRect().left), [first, last]);
            assert.equal(a > b, rtl, `${what}: ${first} at ${a}, ${last} at ${b}`);
            if (url.includes('videoId')) assert.deepEqual(await page.$eval('#line-native', (e) => [e.lang, e.dir]), ['es', 'ltr']);   // the browser's default learner
            await h.shotOverPicture(page, `pseudo-${url.split(/[/?]/)[1]}${rtl ? '-rtl' : ''}.png`);
            assert.deepEqual(errors, []);
            await page.close();
        }
    }
});

it('a Spanish system: Spanish before any choice, with plural forms and how long ago; an Arabic learner\'s pages mirrored, English and time still left to right', async () => {
    const context = await browser.context.browser().newContext({ viewport: { width: 1280, height: 720 }, locale: 'es-ES' });
    await context.clock.setFixedTime(Date.now() + 24 * 3600e3);   // the next calendar day at any hour: yesterday
    const { page, errors } = await h.openPage(context, server.baseUrl + 'Player/Home');
    await page.waitForSelector('#recent-videos li .meta');
    assert.deepEqual(await page.evaluate((q) => [document.documentElement.lang, document.querySelector('#words h2').textContent, eval(q)], h.LANGUAGE_QUERY), ['es', 'Tus palabras', 'spa']);
    assert.match(await page.textContent('#recent-videos li .meta'), /^3 archivos de subtítulos · (ayer|hace 1 día)$/);
    // An Arabic learner: the pages and the learner's line in Arabic.
    await page.evaluate(() => localStorage.setItem('lirra.nativeLanguage', 'ara'));
    await page.goto(server.baseUrl + `Player/Play?videoId=${videoId}`);
    await h.waitFor(async () => { await page.evaluate(h.script.timeUpdate(1500)); return (await page.textContent('#line-native')).includes('أطول'); }, 'the Arabic line');
    // Mirrored, the rates as its Intl writes them; the English line and the time still run left to right.
    assert.deepEqual(await page.evaluate(() => [document.documentElement.lang, document.documentElement.dir, document.querySelector('#line-native').lang,
                                                document.querySelector('#line-native').dir, document.querySelector('#save-line').textContent, document.querySelector('#slow-line').textContent === new Intl.NumberFormat('ar').format(0.75) + '×',
                                                ...['#line-target', '.seek-row', '#prev-line'].map((q) => getComputedStyle(document.querySelector(q)).direction)]),
                     ['ar', 'rtl', 'ar', 'rtl', 'حفظ', true, 'ltr', 'ltr', 'ltr']);
    assert.deepEqual(errors, []);
    await context.close();
});
