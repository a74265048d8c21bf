// SPDX-License-Identifier: GPL-3.0-or-later
// The browser tests' rig: a real lirra-server on a loopback port with generated subtitle files,
// Debian's chromium driven by playwright-core, and the app:/// navigations the pages make.
'use strict';
const { spawn, execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { chromium } = require('playwright-core');

const CHROMIUM = process.env.LIRRA_CHROMIUM || '/usr/bin/chromium';
const SHOTS = process.env.LIRRA_SHOTS_DIR || path.join(os.tmpdir(), 'lirra-pages-screenshots');

// cues: [[startMs, endMs, text]]
function srt(cues) {
    const at = (ms) => new Date(ms).toISOString().slice(11, 23).replace('.', ',');
    return cues.map(([s, e, t], i) => `${i + 1}\n${at(s)} --> ${at(e)}\n${t}\n`).join('\n');
}

// lirra-server on a free loopback port, its library holding libraryFiles (name -> text).
async function startServer(libraryFiles, extraArgs = []) {
    if (!process.env.LIRRA_SERVER) throw new Error('LIRRA_SERVER names the lirra-server executable');
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'lirra-pages-'));
    for (const dir of ['data', 'library']) fs.mkdirSync(path.join(root, dir));
    for (const [name, text] of Object.entries(libraryFiles)) fs.writeFileSync(path.join(root, 'library', name), text);
    const child = spawn(process.env.LIRRA_SERVER, ['--listen', '127.0.0.1:0', '--data', path.join(root, 'data'),
                                                   '--library', path.join(root, 'library'), ...extraArgs], { stdio: ['ignore', 'pipe', 'pipe'] });
    let log = '';
    child.stderr.on('data', (d) => { log += d; });
    const baseUrl = await new Promise((resolve, reject) => {
        child.stdout.on('data', (d) => { log += d; const m = /serving (http:\/\/\S+?)\/?\s/.exec(log); if (m) resolve(m[1] + '/'); });
        child.on('exit', (code) => reject(new Error(`lirra-server exited with ${code}: ${log}`)));
        setTimeout(() => reject(new Error('lirra-server did not start: ' + log)), 15000);
    });
    return { baseUrl, stop() { child.kill('SIGTERM'); fs.rmSync(root, { recursive: true, force: true }); } };
}

// What the app does for a video: the lookup, then the upload of the files it was told to fetch.
async function openVideo(baseUrl, fileName, size, hash) {
    const form = new URLSearchParams({ fileSize: String(size), movieHash: hash, fileName, targetLanguageCode: 'eng', nativeLanguageCode: 'spa' });
    const lookup = await (await fetch(baseUrl + 'Player/GetSubtitlesToDownload', { method: 'POST', body: form })).json();
    const upload = new FormData();
    const wanted = lookup.subsToDownload.filter((sub) => sub.mustBeDownloaded);
    for (const sub of wanted) {
        upload.append(String(sub.subtitleId), new Blob([await (await fetch(sub.downloadUrl)).arrayBuffer()]), sub.subFileName);
    }
    const res = wanted.length && await fetch(baseUrl + 'Subtitles/UploadSubtitles', { method: 'POST', body: upload });
    if (res && res.status !== 200) throw new Error('upload failed: ' + res.status);
    return lookup.videoId;
}

// contextOptions: playwright's, over a 1280×720 viewport (a locale gives navigator.languages).
async function launchBrowser(contextOptions = {}) {
    if (!fs.existsSync(CHROMIUM)) throw new Error(`${CHROMIUM} is missing: apt-get install chromium`);
    fs.mkdirSync(SHOTS, { recursive: true });
    const browser = await chromium.launch({ executablePath: CHROMIUM, headless: true, args: ['--no-sandbox', '--disable-gpu',
        '--disable-quic', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'] });
    return { context: await browser.newContext({ viewport: { width: 1280, height: 720 }, ...contextOptions }), close: () => browser.close() };
}

// A page whose app:/// navigations (from the hidden iframes) and script errors are recorded.
async function openPage(context, url) {
    const page = await context.newPage();
    const bridge = [], errors = [];
    page.on('request', (r) => { if (r.url().startsWith('app:')) bridge.push(r.url()); });
    page.on('pageerror', (e) => errors.push(String(e)));
    page.on('response', (r) => { if (r.status() >= 400 && !r.url().endsWith('/favicon.ico')) errors.push(`${r.status()} ${r.url()}`); });
    await page.goto(url);
    return { page, bridge, errors };
}

// Input made inside the page: trusted input gives a user gesture, with which chromium offers to hand
// app:/// links to another program and holds back all further input.
const input = {
    click: (page, selector) => page.$eval(selector, (e) => e.click()),
    press: (page, key, shiftKey) => page.evaluate(([k, shift]) => {
        (document.activeElement || document.body).dispatchEvent(new KeyboardEvent('keydown', { key: k, shiftKey: shift, bubbles: true, cancelable: true }));
    }, [key, !!shiftKey]),
    // A word of the English line by its text, clicked the way a click reaches the page.
    clickWord: (page, text) => page.$$eval('#line-target .word', (spans, t) => {
        const span = spans.find((s) => s.textContent === t);
        span.dispatchEvent(new MouseEvent('mousedown', { bubbles: true }));
        span.click();
    }, text),
};

async function waitFor(test, what, timeoutMs = 5000) {
    for (const end = Date.now() + timeoutMs; ; await new Promise((r) => setTimeout(r, 25))) {
        const value = await test();
        if (value) return value;
        if (Date.now() > end) throw new Error('timed out waiting for ' + what);
    }
}

// The app:///Execute/ commands (without that prefix) that action makes, once count of them have come.
async function newCommands(page, bridge, action, count) {
    const commands = () => bridge.filter((u) => u.startsWith('app:///Execute/')).map((u) => u.slice(15));
    const before = commands().length;
    await action();
    await waitFor(() => commands().length >= before + count, `${count} command(s)`);
    await page.waitForTimeout(100);
    return commands().slice(before);
}

// The exact script texts the native side evaluates.
const script = {
    event: (name, arg) => `if(typeof $ != 'undefined'){ $(window).trigger('${name}'${arg === undefined ? '' : ', ' + arg}); }`,
    timeUpdate: (ms) => script.event('timeUpdate', String(ms)),
    reply: (guid, value) => script.event('response:' + guid, value),
};
const LANGUAGE_QUERY = "$('#selectedLanguage .flag').attr('class').replace('flag', '').replace('small', '').replace(' ', '').replace(' ', '')";
const NEXT_SUB_QUERY = "$('#next-sub').offset().top";

// The transparent player page laid over a busy, colourful picture, saved as SHOTS/name.
async function shotOverPicture(page, name) {
    const background = path.join(SHOTS, 'background.png'), layer = path.join(SHOTS, name + '.layer.png');
    if (!fs.existsSync(background)) {
        execFileSync('convert', ['-size', '1280x720', '-seed', '7', 'plasma:orange-navy',
            '(', '-size', '1280x720', 'pattern:checkerboard', '-scale', '800%', ')', '-compose', 'overlay', '-composite',
            '-fill', 'white', '-draw', 'rectangle 300,520 980,600', '-fill', '#ffe07a', '-draw', 'circle 900,560 960,600', background]);
    }
    await page.screenshot({ path: layer, omitBackground: true });
    execFileSync('convert', [background, layer, '-compose', 'over', '-composite', path.join(SHOTS, name)]);
    fs.rmSync(layer);
}

module.exports = { SHOTS, input, srt, startServer, openVideo, launchBrowser, openPage, waitFor, newCommands, script,
                   LANGUAGE_QUERY, NEXT_SUB_QUERY, shotOverPicture };
