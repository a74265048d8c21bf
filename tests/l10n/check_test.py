#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The catalogue check names what a catalogue gets wrong: a catalogue made from po/es.po with one
fault of each kind must fail with each named, and po/es.po as it is must pass.
Usage: check_test.py SOURCE_DIR"""
import os
import subprocess
import sys
import tempfile

root = sys.argv[1]
sys.path.insert(0, os.path.join(root, 'po', 'tools'))
import po  # noqa: E402

entries = po.parse(open(os.path.join(root, 'po', 'es.po'), encoding='utf-8').read())
by_id = {(e.msgctxt, e.msgid): e for e in entries}
FAULTS = [  # (context, msgid), what is done to it, the words the check must say
    ((None, 'Deleted.'), lambda e: entries.remove(e), 'xx: "Deleted." is missing'),
    ((None, 'Muted'), lambda e: e.flags.append('fuzzy'), 'xx: "Muted" is fuzzy'),
    ((None, 'Sound on'), lambda e: setattr(e, 'msgstr', ''), 'xx: "Sound on" is untranslated'),
    ((None, 'Opening {video}…'), lambda e: setattr(e, 'msgstr', 'Abriendo {vídeo}…'), '"Opening {video}…" breaks its placeholders'),
    ((None, 'In {language}'), lambda e: setattr(e, 'msgstr', 'En'), '"In {language}" breaks its placeholders'),
    (('QtApplication', 'Supported files (%1)'), lambda e: setattr(e, 'msgstr', 'Archivos (%2)'), 'QtApplication | "Supported files (%1)" breaks'),
    ((None, 'Choose <b>your language</b> at the top right: its subtitles show under the English ones.'),
     lambda e: setattr(e, 'msgstr', 'Elige tu idioma.'), '"Choose <b>your language</b>'),
    ((None, '{n} new word'), lambda e: e.msgstr_plural.update({1: 'palabras nuevas'}), '"{n} new word" breaks its placeholders'),
    ((None, 'video;movie;player;subtitles;English;learn;language;vocabulary;dictionary;'),
     lambda e: setattr(e, 'msgstr', 'video, película'), 'must stay a list ending in ";"'),
]
for key, fault, _ in FAULTS:
    fault(by_id[key])
with tempfile.TemporaryDirectory() as tmp:
    with open(os.path.join(tmp, 'LINGUAS'), 'w') as f:
        f.write('# the test\nxx\n')
    with open(os.path.join(tmp, 'xx.po'), 'w', encoding='utf-8') as f:
        f.write(po.write(entries))
    tool = [sys.executable, os.path.join(root, 'po', 'tools', 'catalogue.py'), 'check', os.path.join(root, 'po', 'lirra.pot')]
    broken = subprocess.run(tool + [tmp], capture_output=True, text=True)
    good = subprocess.run(tool + [os.path.join(root, 'po')], capture_output=True, text=True)
missed = [said for _, _, said in FAULTS if said not in broken.stdout]
problems = [line for line in broken.stdout.splitlines() if line.startswith('xx:')]
ok = broken.returncode == 1 and not missed and len(problems) == len(FAULTS) and good.returncode == 0
print(broken.stdout if not ok else '%d faults named' % len(FAULTS))
print('not named: %s' % missed if missed else '', good.stdout if good.returncode else '')
sys.exit(0 if ok else 1)
