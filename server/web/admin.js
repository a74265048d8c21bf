// SPDX-License-Identifier: GPL-3.0-or-later
// The administrator's page: the service's figures, and each learner with a new password to set
// and the account to disable or enable.
(function () {
    'use strict';

    function post(path, body) {
        return fetch(path, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) })
            .then(function (res) { if (!res.ok) throw new Error(String(res.status)); });
    }

    function failed() {
        var box = document.getElementById('admin-error');
        box.textContent = L10n.text('That did not work; reload the page and try again.');
        box.hidden = false;
    }

    function row(learner) {
        var tr = document.createElement('tr');
        var name = document.createElement('td');
        name.textContent = learner.name + (learner.admin ? ' ★' : '');
        var seen = document.createElement('td');
        seen.textContent = learner.lastSeenMs ? new Date(learner.lastSeenMs).toLocaleString() : '—';
        var reset = document.createElement('td');
        var password = document.createElement('input');
        password.type = 'password';
        password.minLength = 8;
        var set = document.createElement('button');
        set.textContent = L10n.text('Set');
        set.onclick = function () {
            post('/api/admin/learners/' + learner.id + '/password', { password: password.value })
                .then(function () { password.value = ''; }, failed);
        };
        reset.append(password, set);
        var state = document.createElement('td');
        var toggle = document.createElement('button');
        toggle.textContent = learner.disabled ? L10n.text('Enable') : L10n.text('Disable');
        toggle.onclick = function () {
            post('/api/admin/learners/' + learner.id + '/disabled', { disabled: !learner.disabled }).then(load, failed);
        };
        state.append(toggle);
        tr.append(name, seen, reset, state);
        return tr;
    }

    function load() {
        fetch('/api/admin/figures').then(function (res) { return res.json(); }).then(function (f) {
            document.getElementById('figures').textContent = L10n.text(
                '{accounts} accounts, {anonymous} visitors without one, {sessions} sessions open, {videos} videos, {subtitles} subtitle files',
                f);
        }, failed);
        fetch('/api/admin/learners').then(function (res) { return res.json(); }).then(function (list) {
            var body = document.querySelector('#learners tbody');
            body.replaceChildren.apply(body, list.learners.map(row));
        }, failed);
    }

    document.addEventListener('DOMContentLoaded', load);
})();
