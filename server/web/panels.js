// SPDX-License-Identifier: GPL-3.0-or-later
// What opens over the video (the menus, the line list, the help), the controls that fade while
// the learner watches, and the short notice ("toast") that confirms a key or tells what failed.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).panels = factory();
})(this, function () {
    'use strict';

    var IDLE_MS = 2500;    // the controls fade after this long without the mouse
    var TOAST_MS = 2200;

    // onOpened(id): a panel was opened (the line list fills itself then).
    function Panels($, onOpened) {
        this.$ = $;
        this.onOpened = onOpened;
        this.idleTimer = null;
        this.toastTimer = null;
    }

    Panels.prototype.anyOpen = function () {
        return this.$('.menu:not([hidden]), #line-list:not([hidden]), #help:not([hidden])').length > 0;
    };

    // While a panel is open the subtitle block reaches up over it, so that quick clicks in
    // the panel stay with the page instead of switching full screen.
    Panels.prototype.changed = function () {
        var $ = this.$;
        $('body').toggleClass('panel-open', this.anyOpen())
            .toggleClass('subtitle-menu-open', !$('#subtitle-menu').prop('hidden'))
            .toggleClass('list-open', !$('#line-list').prop('hidden'));
        this.showChrome();
    };

    Panels.prototype.closeMenus = function (except) {
        var $ = this.$;
        $('.menu').not(except || []).prop('hidden', true);
        $('.menu-button').each(function () {
            $(this).toggleClass('open', !$('#' + $(this).data('menu')).prop('hidden'));
        });
    };

    Panels.prototype.toggleMenu = function (id) {
        var menu = this.$('#' + id);
        var open = menu.prop('hidden');
        this.closeMenus(menu);
        menu.prop('hidden', !open);
        this.$('.menu-button[data-menu="' + id + '"]').toggleClass('open', open);
        this.changed();
    };

    // Opens or closes the panel id (the line list, the help); without open, toggles it.
    Panels.prototype.toggle = function (id, open) {
        var panel = this.$('#' + id);
        if (open === undefined) open = panel.prop('hidden');
        panel.prop('hidden', !open);
        if (open) this.onOpened(id);
        this.changed();
    };

    Panels.prototype.closeAll = function () {
        this.closeMenus();
        this.toggle('help', false);
        this.toggle('line-list', false);
    };

    Panels.prototype.showChrome = function () {
        var $ = this.$, self = this;
        $('body').addClass('chrome-visible');
        clearTimeout(this.idleTimer);
        this.idleTimer = setTimeout(function () {
            // Kept while the mouse is over them or the keyboard's focus is in them.
            if (self.anyOpen() || $('.chrome:hover, .chrome:focus-within').length) {
                self.showChrome();
                return;
            }
            $('body').removeClass('chrome-visible');
        }, IDLE_MS);
    };

    // ms: how long it shows, for a longer text than a key's confirmation.
    Panels.prototype.toast = function (text, ms) {
        var el = this.$('#toast').text(text).addClass('visible');
        clearTimeout(this.toastTimer);
        this.toastTimer = setTimeout(function () { el.removeClass('visible'); }, ms || TOAST_MS);
    };

    // The buttons that open menus and panels, closing them, and the mouse that shows the
    // controls; a press anywhere but a menu closes the open menus.
    Panels.prototype.wire = function (document) {
        var $ = this.$, self = this;
        $('.menu-button').on('click', function () { self.toggleMenu($(this).data('menu')); });
        $('#list-button').on('click', function () { self.toggle('line-list'); });
        $('#help-button').on('click', function () { self.toggle('help'); });
        $('[data-close]').on('click', function () { self.toggle($(this).data('close'), false); });
        $('#help').on('click', function (e) { if (e.target === this) self.toggle('help', false); });
        $(document).on('mousedown', function (e) {
            if ($(e.target).closest('.menu, .menu-button').length) return;
            if ($('.menu:not([hidden])').length) {
                self.closeMenus();
                self.changed();
            }
        });
        $(document).on('mousemove mousedown wheel', function () { self.showChrome(); });
    };

    return { Panels: Panels, IDLE_MS: IDLE_MS };
});
