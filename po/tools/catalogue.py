#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Turns the PO catalogues into what each side loads, makes the pseudo-locale, checks catalogues.

  catalogue.py json PO OUT TAG       the pages' catalogue: {lang, dir, plural, messages} (no msgctxt)
  catalogue.py qt PO OUT             the app's entries only (with msgctxt), for lconvert to make a .qm
  catalogue.py pseudo POT OUT        the pseudo-locale: every text 40 % longer, in brackets
  catalogue.py check POT DIR         fails, naming them, on strings a catalogue of DIR/LINGUAS misses
                                     and on broken placeholders, inline tags or keyword lists; names
                                     the interface languages Lirra offers that have none yet

Only translated, non-fuzzy entries count; the rest reads English, string by string.
"""
import gettext
import json
import math
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import po  # noqa: E402

RTL = {'ar', 'fa', 'he', 'ur'}
# The interface languages a release offers: each needs its catalogue listed in po/LINGUAS.
OFFERED = ['es', 'pt_BR', 'fr', 'de', 'it', 'ru', 'uk', 'pl', 'tr', 'ar', 'fa', 'hi', 'zh_CN', 'ja', 'ko', 'vi']
PLURAL_TABLE = 200  # forms of n = 0..199; n of 200 and more take the form of 100 + n % 100
# What must come through a translation unchanged: placeholders, Qt's arguments, inline tags.
TOKENS = re.compile(r'\{[A-Za-z0-9_]+\}|%\d|</?[a-z]+>|&[a-z]+;')
ACCENTED = dict(zip('aceinousyAEIOUCNSYZ', 'àçéîñöûšýÀÉÎÖÛÇÑŠÝŽ'))


def read(path):
    with open(path, encoding='utf-8') as f:
        return po.parse(f.read())


def plural_table(path):
    """The catalogue's plural form of each n in 0..199, by its own Plural-Forms (through msgfmt)."""
    with tempfile.TemporaryDirectory() as tmp:
        mo = os.path.join(tmp, 'c.mo')
        subprocess.run(['msgfmt', '--check-format', '-o', mo, path], check=True)
        with open(mo, 'rb') as f:
            t = gettext.GNUTranslations(f)
    return [t.plural(n) for n in range(PLURAL_TABLE)]


def pages_json(path, tag):
    messages = {}
    for e in read(path):
        if not e.msgid or e.msgctxt is not None or not e.translated():
            continue
        forms = e.forms()
        messages[e.msgid] = forms if e.msgid_plural is not None else forms[0]
    base = tag.split('-')[0]
    return {'lang': tag, 'dir': 'rtl' if base in RTL else 'ltr', 'plural': plural_table(path), 'messages': messages}


def qt_entries(path):
    """The app's entries as lconvert reads Qt's contexts: "CONTEXT|" (no disambiguation)."""
    entries = read(path)
    kept = [e for e in entries if e.msgid and e.msgctxt is not None and e.translated()]
    for e in kept:
        e.msgctxt += '|'
    entries[0].msgstr += 'X-Qt-Contexts: true\n'
    return po.write([entries[0]] + kept)


def stretch(text):
    """text 40 % longer, its letters accented, in brackets; its tokens and accelerators kept."""
    parts = TOKENS.split(text)
    tokens = TOKENS.findall(text)
    out = ''.join(''.join(ACCENTED.get(c, c) for c in p) + (tokens[i] if i < len(tokens) else '')
                  for i, p in enumerate(parts))
    pad = math.ceil(len(text) * 0.4)
    return '[' + out + ' ' + '~' * max(pad - 1, 1) + ']'


def pseudo(pot):
    entries = read(pot)
    head = po.Entry(msgstr='Content-Type: text/plain; charset=UTF-8\nLanguage: en_XA\n'
                           'Plural-Forms: nplurals=2; plural=(n != 1);\n')
    for e in entries[1:]:
        if e.msgid_plural is not None:
            e.msgstr_plural = {0: stretch(e.msgid), 1: stretch(e.msgid_plural)}
        elif e.msgid.endswith(';') and ';' in e.msgid[:-1]:
            e.msgstr = ''.join(stretch(k) + ';' for k in e.msgid[:-1].split(';'))  # a keyword list
        else:
            e.msgstr = stretch(e.msgid)
    return po.write([head] + entries[1:])


def tokens(text):
    return sorted(TOKENS.findall(text))


def problems(template, path, language):
    if not os.path.exists(path):
        return ['%s: no catalogue (%s)' % (language, os.path.basename(path))]
    found = {(e.msgctxt, e.msgid): e for e in read(path) if e.msgid}
    out = []
    for t in template:
        name = '%s: %s"%s"' % (language, t.msgctxt + ' | ' if t.msgctxt else '', t.msgid)
        e = found.get((t.msgctxt, t.msgid))
        if e is None or not e.translated():
            out.append(name + ' is ' + ('missing' if e is None else 'fuzzy' if e.fuzzy else 'untranslated'))
            continue
        if (e.msgid_plural is None) != (t.msgid_plural is None):
            out.append(name + ' has its plural forms wrong')
            continue
        for form in e.forms():
            wanted = tokens(t.msgid) if t.msgid_plural is None else tokens(t.msgid_plural)
            # A form for one may leave the number out ("un archivo"); nothing may be added.
            have = tokens(form)
            if have != wanted and not (t.msgid_plural is not None and set(have) <= set(wanted)):
                out.append('%s breaks its placeholders or tags: "%s"' % (name, form))
        if t.msgid.endswith(';') and not e.msgstr.endswith(';'):
            out.append(name + ' must stay a list ending in ";"')
    return out


def main(argv):
    command = argv[1] if len(argv) > 1 else ''
    if command == 'json' and len(argv) == 5:
        with open(argv[3], 'w', encoding='utf-8') as f:
            json.dump(pages_json(argv[2], argv[4]), f, ensure_ascii=False, separators=(',', ':'), sort_keys=True)
    elif command == 'qt' and len(argv) == 4:
        with open(argv[3], 'w', encoding='utf-8') as f:
            f.write(qt_entries(argv[2]))
    elif command == 'pseudo' and len(argv) == 4:
        with open(argv[3], 'w', encoding='utf-8') as f:
            f.write(pseudo(argv[2]))
    elif command == 'check' and len(argv) == 4:
        template = [e for e in read(argv[2]) if e.msgid]
        with open(os.path.join(argv[3], 'LINGUAS'), encoding='utf-8') as f:
            languages = [l.strip() for l in f if re.fullmatch(r'[A-Za-z_]+', l.strip())]
        found = []
        for language in languages:
            found += problems(template, os.path.join(argv[3], language + '.po'), language)
        for p in found:
            print(p)
        waiting = [l for l in OFFERED if l not in languages]
        if waiting:
            print('not in po/LINGUAS yet (no catalogue, so English): ' + ' '.join(waiting))
        print('%d strings, %d languages, %d problems' % (len(template), len(languages), len(found)))
        return 1 if found else 0
    else:
        sys.exit(__doc__)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
