// SPDX-License-Identifier: GPL-3.0-or-later
// The learner's languages: ISO 639-2/B codes (as the service labels subtitle tracks) with
// their English and own names; a track's language is named in the page's language.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).languages = factory();
})(this, function () {
    'use strict';

    var LIST = [
        ['spa', 'Spanish', 'Español'], ['fre', 'French', 'Français'], ['ger', 'German', 'Deutsch'],
        ['ita', 'Italian', 'Italiano'], ['por', 'Portuguese', 'Português'],
        ['rus', 'Russian', 'Русский'], ['ukr', 'Ukrainian', 'Українська'],
        ['pol', 'Polish', 'Polski'], ['tur', 'Turkish', 'Türkçe'], ['ara', 'Arabic', 'العربية'],
        ['chi', 'Chinese', '中文'], ['jpn', 'Japanese', '日本語'], ['kor', 'Korean', '한국어'],
        ['vie', 'Vietnamese', 'Tiếng Việt'], ['hin', 'Hindi', 'हिन्दी'],
        ['dut', 'Dutch', 'Nederlands'], ['swe', 'Swedish', 'Svenska'], ['nor', 'Norwegian', 'Norsk'],
        ['dan', 'Danish', 'Dansk'], ['fin', 'Finnish', 'Suomi'], ['gre', 'Greek', 'Ελληνικά'],
        ['heb', 'Hebrew', 'עברית'], ['cze', 'Czech', 'Čeština'], ['hun', 'Hungarian', 'Magyar'],
        ['rum', 'Romanian', 'Română'], ['bul', 'Bulgarian', 'Български'],
        ['tha', 'Thai', 'ไทย'], ['ind', 'Indonesian', 'Bahasa Indonesia'],
        ['may', 'Malay', 'Bahasa Melayu'], ['per', 'Persian', 'فارسی'],
        ['hrv', 'Croatian', 'Hrvatski'], ['srp', 'Serbian', 'Српски'], ['slo', 'Slovak', 'Slovenčina'],
        ['slv', 'Slovenian', 'Slovenščina'], ['est', 'Estonian', 'Eesti'],
        ['lav', 'Latvian', 'Latviešu'], ['lit', 'Lithuanian', 'Lietuvių'], ['cat', 'Catalan', 'Català'],
        ['baq', 'Basque', 'Euskara'], ['glg', 'Galician', 'Galego'], ['ben', 'Bengali', 'বাংলা'],
        ['tam', 'Tamil', 'தமிழ்'], ['urd', 'Urdu', 'اردو']
    ].map(function (l) { return { code: l[0], english: l[1], name: l[2] }; });

    var DEFAULT_CODE = 'spa';

    function find(code) {
        for (var i = 0; i < LIST.length; ++i) if (LIST[i].code === code) return LIST[i];
        return null;
    }

    // A track's language as a learner reads it.
    function label(code) {
        var l = code === 'eng' ? { english: 'English' } : find(code);
        if (!l) return L10n.text('Unknown language');
        return L10n.lang() !== 'en' && L10n.languageName(code) || l.english;
    }

    // The learner's language the browser's languages name first (English stops the search), or
    // null: the default for a learner who has not chosen yet.
    function fromBrowser(tags) {
        for (var i = 0; i < tags.length; ++i) {
            var code = L10n.learnerOf(tags[i]);
            if (code === 'eng') return null;
            if (code && find(code)) return code;
        }
        return null;
    }

    // The learner's language: the one chosen (stored), else the browser's, else the default.
    function initial(stored, tags) {
        return find(stored) ? stored : fromBrowser(tags || []) || DEFAULT_CODE;
    }

    return { initial: initial, LIST: LIST, DEFAULT_CODE: DEFAULT_CODE, find: find, label: label, fromBrowser: fromBrowser };
});
