// The home page's panel for the online subtitle database in a real browser, against a real
// lirra-server pointed at a fake of the database's API on loopback: what the panel says before a
// key is saved, saving a key, the key never read back, and a refused key explained. (How the key
// is stored, what is asked with it and a refused key's silence: OnlineLookupTest, OnlineClientTest.)
'use strict';
const { it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const http = require('node:http');
const h = require('./harness.js');

const GOOD_KEY = 'good-key-4f9a1c';
const BAD_KEY = 'old-key-77d0e2';
let fake, server, browser;
const seen = [];

before(async () => {
    // The database: a search finds nothing for the good key, and any other key gets 401.
    fake = http.createServer((req, res) => {
        seen.push({ key: req.headers['api-key'] || '' });
        const good = req.headers['api-key'] === GOOD_KEY;
        res.writeHead(good ? 200 : 401, { 'Content-Type': 'application/json' });
        res.end(JSON.stringify(good ? { total_pages: 1, total_count: 0, per_page: 60, page: 1, data: [] }
                                    : { message: 'You cannot consume this service', status: 401 }));
    });
    await new Promise((resolve) => fake.listen(0, '127.0.0.1', resolve));
    server = await h.startServer({}, ['--opensubtitles-url', `http://127.0.0.1:${fake.address().port}/api/v1`]);
    browser = await h.launchBrowser();
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
    if (fake) fake.close();
});

it('says what is sent before a key is saved, saves a key without reading it back, and explains a refusal', async () => {
    const { page, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
    const status = () => page.$eval('#online-settings .online-status', (e) => ({ status: e.getAttribute('data-status'), text: e.textContent }));
    const saveKey = async (key, expected) => {
        await page.fill('#online-settings [name=key]', key);
        await h.input.click(page, '#online-settings button[type=submit]');
        await h.waitFor(async () => (expected === null || (await status()).status === expected) && (await page.inputValue('#online-settings [name=key]')) === '', 'saved');
    };
    await h.waitFor(async () => (await status()).status === 'off', 'the panel');
    const note = await page.$eval('#online-settings .online-note', (e) => e.textContent.replace(/\s+/g, ' '));
    for (const what of ['hash', 'size', 'file name', 'API key']) assert.ok(note.includes(what), note);
    assert.equal((await status()).text, 'Off: no key saved, so nothing is sent anywhere.');

    await saveKey(GOOD_KEY, 'ok');
    assert.match((await status()).text, /^On: /);
    await page.reload();
    await h.waitFor(async () => (await status()).status === 'ok', 'status after reload');
    assert.ok(!(await page.content()).includes(GOOD_KEY), 'the key is never read back into the page');
    // A lookup now asks the database with the key typed in the panel (what is asked: the service's tests).
    await h.openVideo(server.baseUrl, 'Keyed Film.mkv', 734003200, '00a1b2c3d4e5f608');
    await h.waitFor(() => seen.length > 0, 'a search');
    assert.deepEqual([...new Set(seen.map((s) => s.key))], [GOOD_KEY]);
    const asked = seen.length;

    await saveKey(BAD_KEY, null);
    await h.openVideo(server.baseUrl, 'Refused Film.mkv', 734003200, '00a1b2c3d4e5f609');
    assert.deepEqual(seen.slice(asked).map((s) => s.key), [BAD_KEY]);
    await page.reload();
    await h.waitFor(async () => (await status()).status === 'bad-key', 'bad-key status');
    assert.equal((await status()).text, 'The key (or the user name and password) was refused. Check them and save again.');
    assert.deepEqual(errors, []);
});
