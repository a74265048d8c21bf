# SPDX-License-Identifier: GPL-3.0-or-later
"""Gettext PO files as the l10n tools read and write them: entries with context, plural forms,
flags and references; obsolete (#~) entries are dropped."""
import re


class Entry:
    def __init__(self, msgid='', msgstr='', msgctxt=None, msgid_plural=None, msgstr_plural=None, flags=None,
                 references=None, comments=None):
        self.msgid, self.msgstr, self.msgctxt = msgid, msgstr, msgctxt
        self.msgid_plural = msgid_plural
        self.msgstr_plural = msgstr_plural or {}
        self.flags = list(flags or [])
        self.references = list(references or [])
        self.comments = list(comments or [])  # translator comments, kept as they are

    @property
    def fuzzy(self):
        return 'fuzzy' in self.flags

    def forms(self):
        """The translated forms: [msgstr] or the plural forms in order; empty ones stay empty."""
        if self.msgid_plural is None:
            return [self.msgstr]
        return [self.msgstr_plural.get(i, '') for i in range(len(self.msgstr_plural) or 1)]

    def translated(self):
        return not self.fuzzy and all(self.forms())


ESCAPES = {'n': '\n', 't': '\t', 'r': '\r', '"': '"', '\\': '\\', 'a': '\a', 'b': '\b', 'f': '\f', 'v': '\v'}


def unquote(text):
    return re.sub(r'\\(.)', lambda m: ESCAPES.get(m.group(1), m.group(1)), text[1:-1])


def quote(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"').replace('\t', '\\t').replace('\n', '\\n') + '"'


def parse(text):
    entries, e, field = [], None, None

    def finish():
        if e is not None and (e.msgid or e.msgstr or not entries):
            entries.append(e)

    for raw in text.splitlines():
        line = raw.strip()
        if not line or line.startswith('#~'):
            if not line:
                finish()
                e, field = None, None
            continue
        if e is None:
            e = Entry()
        if line.startswith('#,'):
            e.flags += [f.strip() for f in line[2:].split(',') if f.strip()]
        elif line.startswith('#:'):
            e.references += line[2:].split()
        elif line.startswith('# ') or line == '#':
            e.comments.append(raw)
        elif line.startswith('#'):
            continue
        elif line.startswith('"'):
            value = unquote(line)
            if isinstance(field, int):
                e.msgstr_plural[field] += value
            else:
                setattr(e, field, getattr(e, field) + value)
        else:
            m = re.match(r'(msgctxt|msgid_plural|msgid|msgstr)(?:\[(\d+)\])?\s+(".*")$', line)
            if not m:
                raise ValueError('not a PO line: ' + raw)
            value = unquote(m.group(3))
            if m.group(2) is not None:
                field = int(m.group(2))
                e.msgstr_plural[field] = value
            else:
                field = m.group(1)
                setattr(e, field, value)
    finish()
    return entries


def header_field(entries, name):
    for e in entries:
        if e.msgid == '' and e.msgctxt is None:
            m = re.search(r'^' + re.escape(name) + r':\s*(.*)$', e.msgstr, re.M)
            return m.group(1).strip() if m else None
    return None


def lines(keyword, value):
    if '\n' in value[:-1]:
        parts = re.findall(r'[^\n]*\n|[^\n]+$', value)
        return ['%s ""' % keyword] + [quote(p) for p in parts]
    return ['%s %s' % (keyword, quote(value))]


def write(entries, plurals=2):
    out = []
    for e in entries:
        block = list(e.comments)
        if e.references:
            block.append('#: ' + ' '.join(e.references))
        if e.flags:
            block.append('#, ' + ', '.join(e.flags))
        if e.msgctxt is not None:
            block += lines('msgctxt', e.msgctxt)
        block += lines('msgid', e.msgid)
        if e.msgid_plural is not None:
            block += lines('msgid_plural', e.msgid_plural)
            n = max(len(e.msgstr_plural), plurals)
            for i in range(n):
                block += lines('msgstr[%d]' % i, e.msgstr_plural.get(i, ''))
        else:
            block += lines('msgstr', e.msgstr)
        out.append('\n'.join(block))
    return '\n\n'.join(out) + '\n'
