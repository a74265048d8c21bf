// SPDX-License-Identifier: GPL-3.0-or-later
// The home page's panel for the online subtitle database: says what is sent before a key is
// saved, saves the key (and optionally a user name and password) through
// PUT api/settings/opensubtitles, and shows the state the service reports. Secrets are written,
// never read back.
(function (root, factory) {
    'use strict';
    var api = factory();
    if (typeof module === 'object' && module.exports) module.exports = api;
    else (root.Lirra = root.Lirra || {}).onlineSettings = api;
})(this, function () {
    'use strict';

    var URL = '../api/settings/opensubtitles';

    // One line for the learner from the service's answer.
    function describe(s) {
        if (!s || !s.configured) return L10n.text('Off: no key saved, so nothing is sent anywhere.');
        var remaining = typeof s.remaining === 'number' ? ' ' + L10n.plural(s.remaining, '{n} download left today.', '{n} downloads left today.') : '';
        switch (s.status) {
            case 'ok': return L10n.text('On: videos without subtitles are looked up.') + remaining;
            case 'bad-key': return L10n.text('The key (or the user name and password) was refused. Check them and save again.');
            case 'quota': return L10n.text('Today\'s downloads are used up; Lirra asks again tomorrow.');
            case 'offline': return L10n.text('The database could not be reached; Lirra tries again later.') +
                (s.message ? ' (' + s.message + ')' : '');
            default: return L10n.text('Off.');
        }
    }

    // The PUT body: only what the learner typed; an empty key field keeps the saved key.
    function changes(form) {
        var body = {};
        if (form.key) body.key = form.key;
        if (form.user !== form.savedUser) body.user = form.user;
        if (form.password) body.password = form.password;
        return body;
    }

    function attach($, panel) {
        var status = panel.find('.online-status');
        var saved = { user: '' }, last = null;

        function show(s) {
            last = s;
            saved.user = (s && s.user) || '';
            status.text(describe(s)).attr('data-status', s && s.configured ? s.status : 'off');
            panel.find('[name=user]').val(saved.user);
            panel.find('[name=key], [name=password]').val('');
            panel.find('.remove-key').prop('hidden', !(s && s.configured));
        }

        function put(body) {
            return $.ajax({ url: URL, method: 'PUT', contentType: 'application/json',
                            data: JSON.stringify(body), dataType: 'json' })
                .done(show)
                .fail(function (xhr) {
                    var reason = xhr.responseJSON && xhr.responseJSON.error;
                    status.text(L10n.text('Not saved: {reason}', { reason: reason || L10n.text('the service did not answer') }));
                });
        }

        panel.find('form').on('submit', function (e) {
            e.preventDefault();
            put(changes({
                key: $.trim(panel.find('[name=key]').val()),
                user: $.trim(panel.find('[name=user]').val()),
                password: panel.find('[name=password]').val(),
                savedUser: saved.user
            }));
        });
        panel.find('.remove-key').on('click', function () { put({ key: '', user: '' }); });
        L10n.onChange(function () { if (last) show(last); });
        // On a service with accounts the key is the administrator's: other learners never see it.
        return $.getJSON(URL).done(show).fail(function (xhr) { panel.prop('hidden', xhr.status === 401 || xhr.status === 403); });
    }

    if (typeof window !== 'undefined' && window.jQuery) {
        window.jQuery(function ($) {
            var panel = $('#online-settings');
            if (panel.length) attach($, panel);
        });
    }

    return { describe: describe, changes: changes, attach: attach };
});
