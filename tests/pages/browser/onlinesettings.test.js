// The home page's panel for the online subtitle database in a real browser, against a real
// lirra-server pointed at a fake of the database's API on loopback: what the panel says before a
// key is saved, saving a key, the key never read back, and a refused key explained.
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

const GOOD_KEY = 'good-key-4f9a1c';
const BAD_KEY = 'old-key-77d0e2';
const shots = process.env.LIRRA_SHOTS_DIR || path.join(os.tmpdir(), 'lirra-pages-screenshots');

let fake, server, browser;

// The database: a search answers nothing for the good key and 401 for any other.
function startFakeApi() {
    const seen = [];
    const srv = http.createServer((req, res) => {
        let body = '';
        req.on('data', (d) => { body += d; });
        req.on('end', () => {
            seen.push({ method: req.method, url: req.url, key: req.headers['api-key'] || '' });
            res.setHeader('Content-Type', 'application/json');
            if (req.headers['api-key'] !== GOOD_KEY) {
                res.statusCode = 401;
                res.end(JSON.stringify({ message: 'You cannot consume this service', status: 401 }));
                return;
            }
            if (req.url.startsWith('/api/v1/subtitles?')) {
                res.end(JSON.stringify({ total_pages: 1, total_count: 0, per_page: 60, page: 1, data: [] }));
                return;
            }
            res.statusCode = 404;
            res.end(JSON.stringify({ message: 'not found' }));
        });
    });
    return new Promise((resolve) => srv.listen(0, '127.0.0.1', () => resolve({
        seen, root: `http://127.0.0.1:${srv.address().port}/api/v1`, close: () => srv.close(),
    })));
}

// lirra-server with the fake as the database's root and no key yet.
async function startServer(apiRoot) {
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'lirra-online-pages-'));
    const data = path.join(root, 'data');
    const library = path.join(root, 'library');
    fs.mkdirSync(data);
    fs.mkdirSync(library);
    const child = spawn(process.env.LIRRA_SERVER, ['--listen', '127.0.0.1:0', '--data', data,
        '--library', library, '--opensubtitles-url', apiRoot], { stdio: ['ignore', 'pipe', 'pipe'] });
    let log = '';
    child.stderr.on('data', (d) => { log += d; });
    const baseUrl = await new Promise((resolve, reject) => {
        let out = '';
        const timer = setTimeout(() => reject(new Error('lirra-server did not start: ' + log)), 15000);
        child.stdout.on('data', (d) => {
            out += d;
            log += d;
            const m = /serving (http:\/\/\S+)/.exec(out);
            if (m) { clearTimeout(timer); resolve(m[1].endsWith('/') ? m[1] : m[1] + '/'); }
        });
        child.on('exit', (code) => reject(new Error(`lirra-server exited with ${code}: ${log}`)));
    });
    return { baseUrl, data, log: () => log, stop() { child.kill('SIGTERM'); fs.rmSync(root, { recursive: true, force: true }); } };
}

// Every file under dir whose bytes hold text.
function filesHolding(dir, text) {
    const found = [];
    for (const entry of fs.readdirSync(dir, { withFileTypes: true, recursive: true })) {
        if (!entry.isFile()) continue;
        const file = path.join(entry.parentPath || entry.path, entry.name);
        if (fs.readFileSync(file).includes(text)) found.push(file);
    }
    return found;
}

const settings = async () => (await fetch(server.baseUrl + 'api/settings/opensubtitles')).text();
const statusOf = (page) => page.$eval('#online-settings .online-status',
    (e) => ({ status: e.getAttribute('data-status'), text: e.textContent }));

before(async () => {
    assert.ok(process.env.LIRRA_SERVER, 'LIRRA_SERVER names the lirra-server executable');
    fake = await startFakeApi();
    server = await startServer(fake.root);
    browser = await h.launchBrowser();
    fs.mkdirSync(shots, { recursive: true });
});

after(async () => {
    if (browser) await browser.close();
    if (server) server.stop();
    if (fake) fake.close();
});

describe('online subtitle settings on the home page', () => {
    it('says what is sent before a key is saved, and sends nothing without one', async () => {
        const { page, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
        await h.waitFor(async () => (await statusOf(page)).text.startsWith('Off'), 'the panel');
        const note = await page.$eval('#online-settings .online-note', (e) => e.textContent.replace(/\s+/g, ' '));
        for (const what of ['hash', 'size', 'file name', 'API key']) assert.ok(note.includes(what), note);
        assert.equal((await statusOf(page)).text, 'Off: no key saved, so nothing is sent anywhere.');
        assert.equal(await page.$eval('#online-settings .remove-key', (e) => e.hidden), true);
        assert.deepEqual(JSON.parse(await settings()).configured, false);

        await h.openVideo(server.baseUrl, 'No Key Film.mkv', 734003200, '00a1b2c3d4e5f607');
        assert.deepEqual(fake.seen, []);
        assert.deepEqual(errors, []);
        await page.close();
    });

    it('saves a key, shows it working and never reads it back', async () => {
        const { page, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
        await h.waitFor(async () => (await statusOf(page)).status === 'off', 'the panel');
        await page.fill('#online-settings [name=key]', GOOD_KEY);
        await h.input.click(page, '#online-settings button[type=submit]');
        await h.waitFor(async () => (await statusOf(page)).status === 'ok', 'status ok');
        assert.match((await statusOf(page)).text, /^On: /);
        assert.equal(await page.inputValue('#online-settings [name=key]'), '');
        assert.equal(await page.$eval('#online-settings .remove-key', (e) => e.hidden), false);
        await page.screenshot({ path: path.join(shots, 'online-settings-saved.png') });

        // The key is written, never read back: not by the API, not in the reloaded page.
        const answer = await settings();
        assert.ok(!answer.includes(GOOD_KEY), answer);
        const fields = JSON.parse(answer);
        assert.equal(fields.configured, true);
        assert.equal(fields.status, 'ok');
        assert.ok(!('key' in fields) && !('password' in fields), answer);
        await page.reload();
        await h.waitFor(async () => (await statusOf(page)).status === 'ok', 'status after reload');
        assert.equal(await page.inputValue('#online-settings [name=key]'), '');
        assert.ok(!(await page.content()).includes(GOOD_KEY));
        // Kept for the owner alone, and out of the service's log.
        const holders = filesHolding(server.data, GOOD_KEY);
        assert.equal(holders.length, 1, holders.join(', '));
        assert.equal(fs.statSync(holders[0]).mode & 0o077, 0);

        // A lookup now asks the database, with that key.
        await h.openVideo(server.baseUrl, 'Keyed Film.mkv', 734003200, '00a1b2c3d4e5f608');
        // By the hash, then (the hash found nothing) by the title the file name gives.
        await h.waitFor(() => fake.seen.length > 0, 'a search');
        assert.deepEqual(fake.seen.map((s) => [s.method, s.url.split('?')[0], s.key]),
                         [['GET', '/api/v1/subtitles', GOOD_KEY], ['GET', '/api/v1/subtitles', GOOD_KEY]]);
        assert.match(fake.seen[0].url, /moviehash=00a1b2c3d4e5f608/);
        assert.match(fake.seen[1].url, /query=keyed(%20|\+)film/);
        assert.ok(!server.log().includes(GOOD_KEY));
        assert.deepEqual(errors, []);
        await page.close();
    });

    it('shows why when the database refuses the key', async () => {
        const { page, errors } = await h.openPage(browser.context, server.baseUrl + 'Player/Home');
        await h.waitFor(async () => (await statusOf(page)).status === 'ok', 'the panel');
        await page.fill('#online-settings [name=key]', BAD_KEY);
        await h.input.click(page, '#online-settings button[type=submit]');
        await h.waitFor(() => page.inputValue('#online-settings [name=key]').then((v) => v === ''), 'saved');
        const before = fake.seen.length;
        await h.openVideo(server.baseUrl, 'Refused Film.mkv', 734003200, '00a1b2c3d4e5f609');
        assert.equal(fake.seen.length, before + 1);
        assert.equal(fake.seen[before].key, BAD_KEY);

        await page.reload();
        await h.waitFor(async () => (await statusOf(page)).status === 'bad-key', 'bad-key status');
        assert.equal((await statusOf(page)).text,
                     'The key (or the user name and password) was refused. Check them and save again.');
        await page.screenshot({ path: path.join(shots, 'online-settings-refused.png') });
        assert.equal(JSON.parse(await settings()).status, 'bad-key');

        // After a refusal the database is left alone until the key changes.
        await h.openVideo(server.baseUrl, 'Another Film.mkv', 734003200, '00a1b2c3d4e5f60a');
        assert.equal(fake.seen.length, before + 1);
        await page.fill('#online-settings [name=key]', GOOD_KEY);
        await h.input.click(page, '#online-settings button[type=submit]');
        await h.waitFor(async () => (await statusOf(page)).status === 'ok', 'ok again');
        await h.openVideo(server.baseUrl, 'Fourth Film.mkv', 734003200, '00a1b2c3d4e5f60b');
        assert.ok(fake.seen.length > before + 1);
        assert.equal(fake.seen[before + 1].key, GOOD_KEY);
        assert.deepEqual(errors, []);
        await page.close();
    });
});
