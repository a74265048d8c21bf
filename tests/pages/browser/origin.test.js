// Other web pages the learner opens cannot reach the service: a page from another local origin
// (a second server on another loopback port) posts a form and fetches, and all of it is refused,
// while the service's own pages keep reading and changing what it holds. (Foreign Host headers:
// the service's raw-request table test.)
'use strict';
const { it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const http = require('node:http');
const h = require('./harness.js');

const VIDEO = 'Own Page.mkv';
let server, browser, foreign, videoId;

before(async () => {
    server = await h.startServer({ 'Own Page.en.srt': h.srt([[1000, 2000, 'Hello']]) });
    videoId = await h.openVideo(server.baseUrl, VIDEO, 1000, 'abc1');
    // The other web page: a form aimed at the service's lookup.
    foreign = http.createServer((req, res) => {
        res.writeHead(200, { 'Content-Type': 'text/html; charset=utf-8' });
        res.end(`<!DOCTYPE html><html><body><iframe name="sink"></iframe>
<form id="form" method="POST" target="sink" action="${server.baseUrl}Player/GetSubtitlesToDownload">
<input name="fileSize" value="1"><input name="movieHash" value="abc"><input name="fileName" value="Foreign Page.mkv">
</form></body></html>`);
    });
    await new Promise((resolve) => foreign.listen(0, '127.0.0.1', resolve));
    browser = await h.launchBrowser();
});

after(async () => {
    if (browser) await browser.close();
    if (foreign) foreign.close();
    if (server) server.stop();
});

it('another origin can neither post a form to the service nor fetch from it; its own pages can', async () => {
    const page = await browser.context.newPage();
    await page.goto(`http://127.0.0.1:${foreign.address().port}/`);
    const formAnswer = page.waitForResponse((r) => r.url().endsWith('/Player/GetSubtitlesToDownload'));
    await page.evaluate(() => document.getElementById('form').submit());
    assert.equal((await formAnswer).status(), 403);
    const results = await page.evaluate(async (base) => {
        const outcome = (p) => p.then((r) => `${r.type} ${r.status}`, (e) => e.name);
        const lookup = base + 'Player/GetSubtitlesToDownload';
        const body = new URLSearchParams({ fileSize: '1', movieHash: 'abd', fileName: 'Foreign Page.mkv' });
        return {
            read: await outcome(fetch(base + 'api/videos/recent')),
            post: await outcome(fetch(lookup, { method: 'POST', mode: 'no-cors', body })),
            json: await outcome(fetch(lookup, { method: 'POST', body: '{}', headers: { 'Content-Type': 'application/json' } })),
        };
    }, server.baseUrl);
    // The read and the preflighted post fail as the page sees them; the blind post is opaque.
    assert.deepEqual(results, { read: 'TypeError', post: 'opaque 0', json: 'TypeError' });
    const recent = await (await fetch(server.baseUrl + 'api/videos/recent')).json();
    assert.deepEqual(recent.videos.map((v) => v.fileName), [VIDEO]);
    await page.close();

    // The service's own pages still read and change what it holds.
    const own = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
    await h.waitFor(() => own.page.$eval('#recent-videos', (e, name) => e.textContent.includes(name), VIDEO), 'the video');
    const status = await own.page.evaluate(async (id) => (await fetch(`../api/videos/${id}/subtitles`, {
        method: 'POST', headers: { 'Content-Type': 'application/json' },
        body: JSON.stringify({ fileName: 'Mine.srt', text: '1\n00:00:01,000 --> 00:00:02,000\nMine\n' }),
    })).status, videoId);
    assert.equal(status, 201);
    assert.deepEqual(own.errors, []);
});
