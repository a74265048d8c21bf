// SPDX-License-Identifier: GPL-3.0-or-later
// The pages' words: translations with their values, plural forms by the catalogue's own rule, the
// learner's languages as interface languages, and the texts that follow the language of the
// moment (numbers, dates, the controls' names).
'use strict';
const { test, assert } = require('./fakes.js');
const [languages, timefmt, labels] = ['languages.js', 'timefmt.js', 'labels.js'].map((n) => require(`../../../server/web/${n}`));

// A catalogue's plural table by Intl's rules of its language: one, a few, many (and other).
const table = (lang) => Array.from({ length: 200 }, (_, n) => ['one', 'few', 'many', 'other'].indexOf(new Intl.PluralRules(lang).select(n)));
const withCatalogue = (catalogue, fn) => { L10n.use(catalogue); try { fn(); } finally { L10n.use(null); } };

test('texts and plural forms come from the catalogue with their values, English where it has none', () => {
    withCatalogue({ lang: 'pl', plural: table('pl'), messages: {
        'Opening {video}…': 'Otwieranie {video}…', Empty: '', '{n} new word': ['{n} nowe słowo', '{n} nowe słowa', '{n} nowych słów'],
    } }, () => {
        const rows = [
            [L10n.text('Opening {video}…', { video: 'a.mkv' }), 'Otwieranie a.mkv…'],
            [L10n.text('Opening {video}…', {}), 'Otwieranie {video}…'],          // a missing value stays visible
            [L10n.text('Not in the catalogue {x}', { x: '$&' }), 'Not in the catalogue $&'],
            [L10n.text('Empty'), 'Empty'],                                       // an empty translation reads English
            ...[[1, 'nowe słowo'], [2, 'nowe słowa'], [5, 'nowych słów'], [12, 'nowych słów'], [22, 'nowe słowa'],
                [112, 'nowych słów'], [1001, 'nowych słów'], [1022, 'nowe słowa'], [1012, 'nowych słów']]
                .map(([n, form]) => [L10n.plural(n, '{n} new word', '{n} new words'), `${new Intl.NumberFormat('pl').format(n)} ${form}`]),
            [L10n.plural(3, '{n} file', '{n} files'), '3 files'],
        ];
        for (const [got, want] of rows) assert.equal(got, want);
        assert.equal(L10n.lang(), 'pl');
    });
    assert.deepEqual([1, 0, 1234].map((n) => L10n.plural(n, '{n} file', '{n} files')), ['1 file', '0 files', '1,234 files']);
    withCatalogue({ lang: 'ar', dir: 'rtl', plural: [1], messages: {} }, () => assert.deepEqual([L10n.dir(), L10n.plural(1, 'a', 'b')], ['rtl', 'a']));
});

test('every learner language reads an interface language that names it back; the browser\'s language chooses the default', () => {
    for (const { code } of languages.LIST) {
        const tag = L10n.forLearner(code);
        assert.notEqual(tag, 'en', code);
        assert.equal(L10n.learnerOf(tag), code, tag);
        assert.equal(L10n.dirOf(tag), ['ara', 'per', 'heb', 'urd'].includes(code) ? 'rtl' : 'ltr', code);
    }
    const rows = [
        ['ger', ['fr-FR'], 'ger'], [null, ['fr-FR'], 'fre'], [null, ['pt-PT'], 'por'], [null, ['zh-TW', 'ja'], 'chi'],
        [null, ['ca-ES', 'es'], 'cat'], [null, ['en-US', 'fr'], 'spa'], [null, ['xx', 'de'], 'ger'], [null, [], 'spa'], ['xyz', ['ar'], 'ara'],
    ];
    for (const [stored, browser, want] of rows) assert.equal(languages.initial(stored, browser), want, `${stored} ${browser}`);
});

test('numbers, times, dates, language names and the controls\' names follow the language of the moment', () => {
    const now = new Date(2026, 2, 10, 9, 0).getTime();
    withCatalogue({ lang: 'es', messages: { 'just now': 'ahora mismo', 'Play or pause': 'Reproducir o pausar', '{name} ({key})': '{key}: {name}', Space: 'Espacio' } }, () => {
        assert.deepEqual([[2026, 2, 10, 8, 59, 30], [2026, 2, 10, 8, 55], [2026, 2, 9, 23], [2025, 11, 24]]
            .map((d) => timefmt.formatAgo(new Date(...d).getTime(), now)), ['ahora mismo', 'hace 5 min', 'ayer', '24 dic 2025']);
        assert.deepEqual([timefmt.formatVolume(101), timefmt.formatOffset(-1200), timefmt.formatSpeed(0.75)], ['51\u00a0%', '\u22121,2 s', '0,75\u00d7']);
        assert.deepEqual([languages.label('eng'), languages.label('ger'), languages.label('zzz')], ['inglés', 'alemán', 'Unknown language']);
        assert.equal(labels.tip(labels.PLAYER['#play-pause']), 'Espacio: Reproducir o pausar');
    });
    assert.deepEqual([languages.label('ger'), labels.PLAYER['#play-pause'][0]], ['German', 'Play or pause']);
});
