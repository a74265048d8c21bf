#!/usr/bin/env node
// SPDX-License-Identifier: GPL-3.0-or-later
// Drawing the English line on the player page in headless Chromium: a 20-word cue drawn by
// LineView with the word renderer (each word a span to look up), then laid out with its word
// wrapping at the player's font size in a 1280×720 view, timed in the page. The plain renderer
// is timed beside it for reference. Reference: p99 at most 2 ms. Then the colouring of that line
// by what the learner knows (new, learning, known: every word's status already in the page's
// cache, the line freshly drawn as for a new cue), layout included. Reference: under 1 ms.
//
// Usage: bench/pages/render.js [--runs N] [--json FILE]
// Needs Debian's chromium and playwright-core (tests/pages: npm ci, as its tests install it).
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const ROOT = path.resolve(__dirname, '..', '..');
const WEB = path.join(ROOT, 'server', 'web');
const { chromium } = require(path.join(ROOT, 'tests', 'pages', 'node_modules', 'playwright-core'));

const LINE = 'So I <i>told</i> him we’d better look up the old man’s address\nbefore it gets dark out there tonight, okay?';

function option(name, fallback) {
    const i = process.argv.indexOf(name);
    return i > 0 && i + 1 < process.argv.length ? process.argv[i + 1] : fallback;
}

function pageHtml() {
    const scripts = ['cues.js', 'cuetext.js', 'words.js', 'linerender.js', 'wordstatus.js']
        .map((f) => `<script src="${new URL('file://' + path.join(WEB, f)).href}"></script>`).join('\n');
    return `<!DOCTYPE html><html class="player"><head><meta charset="utf-8">
<link rel="stylesheet" href="${new URL('file://' + path.join(WEB, 'lirra.css')).href}">${scripts}</head>
<body class="player"><div id="next-sub"><div id="line-target" class="sub-line target" lang="en"></div>
<div id="line-native" class="sub-line native"></div></div></body></html>`;
}

// Runs in the page: times `runs` draws with each renderer, layout included. Returns the times.
function measure([line, runs]) {
    const L = window.Lirra;
    const element = document.getElementById('line-target');
    const track = new L.cues.CueTrack([{ start: 0, end: 10000, text: line }], 0);
    const time = (renderer) => {
        const view = new L.linerender.LineView(document, element, renderer);
        const out = [];
        for (let i = 0; i < runs + 50; ++i) {
            const began = performance.now();
            view.render(track, 5000, true, true);
            element.getBoundingClientRect();   // the line laid out, wrapped
            if (i >= 50) out.push(performance.now() - began);   // the first ones warm up
        }
        return out;
    };
    const words = time(L.words.render);
    const spans = element.querySelectorAll('.word').length;
    const rows = Math.round(element.getBoundingClientRect().height /
                            parseFloat(getComputedStyle(element.firstChild).lineHeight));
    const plain = time(L.cuetext.render);

    // Colouring: no request may leave (every word is cached), so ajax throws.
    const status = new L.wordstatus.WordStatus({ ajax: () => { throw new Error('a request was made'); } });
    const kinds = ['new', 'learning', 'known'];
    L.wordstatus.lineWords(line).forEach((w, i) => status.cache.set(w, kinds[i % 3]));
    document.body.classList.add('mark-new');   // new words coloured too: the most work
    const view = new L.linerender.LineView(document, element, L.words.render);
    const colour = [];
    for (let i = 0; i < runs + 50; ++i) {
        view.render(track, 5000, true, true);
        element.getBoundingClientRect();
        const began = performance.now();
        status.paintLine(element);
        element.getBoundingClientRect();
        if (i >= 50) colour.push(performance.now() - began);
    }
    const coloured = element.querySelectorAll('.ws-new, .ws-learning, .ws-known').length;
    return { words, plain, colour, coloured, spans, rows };
}

function quantile(sorted, q) { return sorted[Math.min(sorted.length - 1, Math.floor(q * sorted.length))]; }

// On a shared machine other processes' time lands in the tail, so the p99 of the quietest pass
// of PASS runs is given beside the p99 of all runs.
const PASS = 500;

function summary(times) {
    const s = times.slice().sort((a, b) => a - b);
    let quietest = Infinity;
    for (let i = 0; i + PASS <= times.length; i += PASS) {
        quietest = Math.min(quietest, quantile(times.slice(i, i + PASS).sort((a, b) => a - b), 0.99));
    }
    return { p50: quantile(s, 0.5), p99: quantile(s, 0.99), max: s[s.length - 1], quietestPassP99: quietest };
}

async function main() {
    const runs = Number(option('--runs', '2000'));
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'lirra-render-bench-'));
    const file = path.join(dir, 'render.html');
    fs.writeFileSync(file, pageHtml());
    const browser = await chromium.launch({
        executablePath: process.env.LIRRA_CHROMIUM || '/usr/bin/chromium', headless: true,
        args: ['--no-sandbox', '--disable-gpu', '--allow-file-access-from-files'],
    });
    try {
        const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
        await page.goto('file://' + file);
        const result = await page.evaluate(measure, [LINE, runs]);
        const words = summary(result.words), plain = summary(result.plain), colour = summary(result.colour);
        const ms = (v) => v.toFixed(3) + ' ms';
        const load = os.loadavg()[0].toFixed(1);
        console.log(`English line of ${result.spans} words (${result.rows} rows), drawn and laid out, ${runs} runs; ` +
                    `load average ${load} on ${os.cpus().length} cores (other work shows in p99 and max)`);
        const row = (name, r) => console.log(`  ${name}  p50 ${ms(r.p50)}  p99 ${ms(r.p99)}  max ${ms(r.max)}  ` +
                                             `p99 of the quietest ${PASS} ${ms(r.quietestPassP99)}`);
        row('word renderer: ', words);
        row('plain renderer:', plain);
        console.log('  reference: p99 <= 2 ms');
        console.log(`Colouring that line by word status (${result.coloured} of ${result.spans} words coloured), statuses cached, layout included:`);
        row('colouring:     ', colour);
        console.log('  reference: under 1 ms');
        const json = option('--json', null);
        if (json) fs.writeFileSync(json, JSON.stringify({ words, plain, colour, runs, spans: result.spans }, null, 1));
    } finally {
        await browser.close();
        fs.rmSync(dir, { recursive: true, force: true });
    }
}

main().catch((e) => { console.error(e); process.exit(1); });
