// SPDX-License-Identifier: GPL-3.0-or-later
// Accounts in a real browser against lirra-server --accounts optional: the forms without help,
// the home page's account bar, and one learner's word not another's.
'use strict';
const { describe, it, before, after } = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness.js');

describe('accounts', () => {
    let server, browser, page;
    const status = () => page.evaluate(async () => (await (await fetch('../api/words/statuses', { method: 'POST',
        headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ words: ['house'] }) })).json()).statuses.house);
    async function enter(form, name) {
        await page.goto(server.baseUrl + 'Account/' + form);
        await page.fill(`section.${form.toLowerCase()} input[name=name]`, name);
        await page.fill(`section.${form.toLowerCase()} input[name=password]`, name + '-secret');
        await Promise.all([page.waitForURL('**/Player/Home'), page.click(`section.${form.toLowerCase()} button`)]);
        await page.waitForFunction(() => !document.getElementById('account-bar').hidden);
        assert.equal(await page.textContent('#account-name'), 'Signed in as ' + name);
    }
    before(async () => {
        server = await h.startServer({}, ['--accounts', 'optional']);
        browser = await h.launchBrowser();
        page = await browser.context.newPage();
    });
    after(async () => { await browser?.close(); server?.stop(); });

    it('registers, signs in, marks a word and signs out', async () => {
        for (const name of ['bob', 'alice']) {
            await enter('Register', name);
            await Promise.all([page.waitForURL('**/Account/SignIn'), h.input.click(page, '#account-signout button')]);
        }
        await enter('SignIn', 'alice');
        assert.equal(await page.evaluate(async () => (await fetch('../api/words/house', { method: 'PUT',
            headers: { 'Content-Type': 'application/json' }, body: '{"status":"known"}' })).status), 200);
        assert.equal(await status(), 'known');
        await Promise.all([page.waitForURL('**/Account/SignIn'), h.input.click(page, '#account-signout button')]);
        await enter('SignIn', 'bob');
    });

    it('shows another learner the word as new', async () => {
        assert.equal(await status(), 'new');
    });
});
