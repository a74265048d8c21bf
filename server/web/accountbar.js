// SPDX-License-Identifier: GPL-3.0-or-later
// The home page's account bar, shown only when the service has accounts: who is signed in and
// the links to sign in, to the account, to the administration and to sign out.
(function () {
    'use strict';

    function show(state) {
        if (!state || state.mode === 'off') return;
        var named = Boolean(state.signedIn);
        $('#account-name').text(named ? L10n.text('Signed in as {name}', { name: String(state.name) }) : '');
        $('#account-signin, #account-register').prop('hidden', named);
        $('#account-page, #account-signout').prop('hidden', !named);
        $('#account-admin').prop('hidden', !(named && state.admin));
        $('#account-bar').prop('hidden', false);
    }

    $(function () { $.getJSON('../api/account').done(show); });
})();
