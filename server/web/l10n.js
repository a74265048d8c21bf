// SPDX-License-Identifier: GPL-3.0-or-later
// The pages' own words in the learner's language. English is the source and the fallback, string
// by string; a catalogue per language comes from po/ at build time and the service serves it as
// ../l10n/LANG.json: {lang, dir, plural: [form of n for n = 0..199], messages: {msgid: text or
// [forms]}}. Loaded before every other script of a page, so their first texts are translated.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(null);
    else root.L10n = factory(root);
})(this, function (window) {
    'use strict';

    var ENGLISH = { lang: 'en', dir: 'ltr', plural: null, messages: {} };
    // Tags in a markup msgid that a translation may use too; anything else keeps the English.
    var INLINE = { B: 1, I: 1, EM: 1, KBD: 1, SMALL: 1, CODE: 1, STRONG: 1 };
    var ATTRIBUTES = ['title', 'placeholder', 'aria-label'];
    // The learner's language codes (ISO 639-2/B, as the home page lists them) and the interface
    // language each reads; a language missing here or without a catalogue reads English.
    var INTERFACE = {
        spa: 'es', por: 'pt-BR', fre: 'fr', ger: 'de', ita: 'it', rus: 'ru', ukr: 'uk', pol: 'pl',
        tur: 'tr', ara: 'ar', per: 'fa', hin: 'hi', chi: 'zh-CN', jpn: 'ja', kor: 'ko', vie: 'vi',
        dut: 'nl', swe: 'sv', nor: 'nb', dan: 'da', fin: 'fi', gre: 'el', heb: 'he', cze: 'cs',
        hun: 'hu', rum: 'ro', bul: 'bg', tha: 'th', ind: 'id', may: 'ms', hrv: 'hr', srp: 'sr',
        slo: 'sk', slv: 'sl', est: 'et', lav: 'lv', lit: 'lt', cat: 'ca', baq: 'eu', glg: 'gl',
        ben: 'bn', tam: 'ta', urd: 'ur', eng: 'en'
    };
    var RTL = { ar: 1, fa: 1, he: 1, ur: 1 };
    var current = ENGLISH, listeners = [];

    function fill(text, values) {
        return values ? text.replace(/\{([A-Za-z0-9_]+)\}/g, function (whole, name) {
            return Object.prototype.hasOwnProperty.call(values, name) ? String(values[name]) : whole;
        }) : text;
    }

    function text(msgid, values) {
        var t = current.messages[msgid];
        return fill(typeof t === 'string' && t ? t : msgid, values);
    }

    // The form of n: the catalogue's own rule for a whole n, else Intl's for the language.
    function form(n) {
        var table = current.plural;
        if (table && Number.isInteger(n) && n >= 0) return table[n < 200 ? n : 100 + n % 100];
        return new Intl.PluralRules(current.lang).select(n) === 'one' ? 0 : 1;
    }

    // {n} is n as the language writes numbers unless values give it.
    function plural(n, one, other, values) {
        var all = Object.assign({ n: number(n) }, values);
        var forms = current.messages[one];
        if (Array.isArray(forms) && forms[form(n)]) return fill(forms[form(n)], all);
        return fill(new Intl.PluralRules('en').select(n) === 'one' ? one : other, all);
    }

    function number(n, options) { return new Intl.NumberFormat(current.lang, options).format(n); }

    // A learner's language (ISO 639-2/B) by its name in the page's language, or null.
    function languageName(code) {
        var tag = INTERFACE[code];
        try {
            return tag ? new Intl.DisplayNames([current.lang], { type: 'language' }).of(tag.split('-')[0]) : null;
        } catch (e) {
            return null;
        }
    }

    function lang() { return current.lang; }
    function dir() { return current.dir === 'rtl' ? 'rtl' : 'ltr'; }

    // BCP 47 tag of a learner's language code, 'en' for one without an interface language.
    function forLearner(code) { return INTERFACE[code] || 'en'; }
    function dirOf(tag) { return RTL[String(tag).toLowerCase().split('-')[0]] ? 'rtl' : 'ltr'; }

    // The learner's code (ISO 639-2/B) of a BCP 47 tag, or null: "pt-BR" -> "por".
    function learnerOf(tag) {
        var want = String(tag).toLowerCase(), base = want.split('-')[0];
        var codes = Object.keys(INTERFACE), i;
        for (i = 0; i < codes.length; ++i) if (INTERFACE[codes[i]].toLowerCase() === want) return codes[i];
        for (i = 0; i < codes.length; ++i) if (INTERFACE[codes[i]].split('-')[0] === base) return codes[i];
        return null;
    }

    function use(catalogue) {
        var c = catalogue && typeof catalogue === 'object' ? catalogue : ENGLISH;
        current = {
            lang: typeof c.lang === 'string' && c.lang ? c.lang : 'en',
            dir: c.dir === 'rtl' ? 'rtl' : 'ltr',
            plural: Array.isArray(c.plural) && c.plural.length === 200 ? c.plural : null,
            messages: c.messages && typeof c.messages === 'object' ? c.messages : {}
        };
    }

    // Collapsed as the extractor collapses it, so the page's text is the template's msgid.
    function squash(s) { return s.replace(/\s+/g, ' ').trim(); }

    // A markup translation as nodes, or null when it holds more than the inline tags.
    function inlineNodes(document, html) {
        var holder = document.createElement('template');
        holder.innerHTML = html;
        var all = holder.content.querySelectorAll('*');
        for (var i = 0; i < all.length; ++i) {
            if (!INLINE[all[i].tagName] || all[i].attributes.length) return null;
        }
        return holder.content;
    }

    function translateElement(element) {
        var document = element.ownerDocument;
        var id = element.getAttribute('data-l10n');
        if (!id) {
            id = squash(element.children.length ? element.innerHTML : element.textContent);
            element.setAttribute('data-l10n', id);
        }
        var t = text(id);
        if (!element.children.length && id.indexOf('<') < 0) element.textContent = t;
        else element.replaceChildren(inlineNodes(document, t) || inlineNodes(document, id));
    }

    // Every data-l10n* element under node in the current language, and the document's lang/dir.
    function translate(node) {
        var document = node.ownerDocument || node;
        Array.prototype.forEach.call(node.querySelectorAll('[data-l10n]'), translateElement);
        ATTRIBUTES.forEach(function (a) {
            Array.prototype.forEach.call(node.querySelectorAll('[data-l10n-' + a + ']'), function (e) {
                e.setAttribute(a, text(e.getAttribute('data-l10n-' + a)));
            });
        });
        document.documentElement.lang = current.lang;
        document.documentElement.dir = dir();
    }

    function fetchCatalogue(tag) {
        var request = new window.XMLHttpRequest();
        try {
            // Synchronous: the scripts after this one build their texts as soon as they run.
            request.open('GET', '../l10n/' + encodeURIComponent(tag) + '.json', false);
            request.send();
            return request.status === 200 ? JSON.parse(request.responseText) : null;
        } catch (e) {
            return null;
        }
    }

    // The first of tags the service has a catalogue for (it answers English for the others).
    function load(tags) {
        for (var i = 0; i < tags.length; ++i) {
            if (/^en(-(?!XA)|$)/i.test(tags[i])) break;
            var c = fetchCatalogue(tags[i]);
            if (c && c.lang !== 'en') { use(c); return; }
        }
        use(ENGLISH);
    }

    function onChange(listener) { listeners.push(listener); }

    // The learner chose another language: the page follows at once.
    function setLanguage(tag) {
        if (tag === current.lang) return;
        load([tag]);
        translate(window.document);
        listeners.forEach(function (f) { f(current.lang); });
    }

    // The interface language of a page: the learner's stored choice, else the browser's
    // languages (the app's web profile gives the system locale's).
    function start() {
        var stored = null;
        try { stored = window.localStorage.getItem('lirra.nativeLanguage'); } catch (e) { /* off */ }
        load(stored ? [forLearner(stored)] : Array.prototype.slice.call(window.navigator.languages || []));
        if (window.location.search.indexOf('l10n-dir=rtl') >= 0) current.dir = 'rtl';
        window.document.addEventListener('DOMContentLoaded', function () { translate(window.document); });
    }

    if (window) start();

    return {
        text: text, plural: plural, number: number, lang: lang, dir: dir, use: use, translate: translate,
        setLanguage: setLanguage, onChange: onChange, languageName: languageName, forLearner: forLearner, learnerOf: learnerOf, dirOf: dirOf,
        INTERFACE: INTERFACE
    };
});
