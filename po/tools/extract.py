#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes the template of Lirra's own words from the sources, or checks that nothing shown is left out.

  extract.py ROOT [OUT]     writes the template (po/lirra.pot under ROOT unless OUT; '-' is stdout)
  extract.py ROOT --check   fails, naming them, on texts a page or the app shows that are not wrapped,
                            and on a checked-in template that differs from the sources' own

The pages' words are the first literal arguments of L10n.text and the second and third of
L10n.plural in server/web/*.js, and the elements with data-l10n (their text, or their markup of
inline tags) and data-l10n-title/-placeholder/-aria-label in server/web/*.html. The app's words are
the texts of QCoreApplication::translate and QT_TRANSLATE_NOOP in src/ (through xgettext), with
their context as msgctxt, and those of the desktop entry and the metainfo in data/.
"""
import html
import html.parser
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import po  # noqa: E402

INLINE = {'b', 'i', 'em', 'kbd', 'small', 'code', 'strong'}
ATTRIBUTES = ('title', 'placeholder', 'aria-label')
# Visible texts of the pages that are the same in every language: the product's name, symbols.
SAME_EVERYWHERE = {'Lirra', '×', '−', '+', '?', '0:00', '--:--', '100%', '1×', '0.0 s'}
JS_ESCAPES = {'n': '\n', 't': '\t', 'r': '\r', 'b': '\b', 'f': '\f', 'v': '\v', '0': '\0'}


class SourceError(Exception):
    pass


def squash(text):
    return re.sub(r'\s+', ' ', text).strip()


def js_string(source, at):
    """The JavaScript string literal starting at source[at] and the index after it."""
    quote = source[at]
    if quote not in '\'"':
        raise SourceError('not a string literal')
    out, i = [], at + 1
    while i < len(source):
        c = source[i]
        if c == quote:
            return ''.join(out), i + 1
        if c == '\n':
            break
        if c == '\\':
            e = source[i + 1]
            if e == 'u':
                out.append(chr(int(source[i + 2:i + 6], 16)))
                i += 6
                continue
            if e != '\n':
                out.append(JS_ESCAPES.get(e, e))
            i += 2
            continue
        out.append(c)
        i += 1
    raise SourceError('unterminated string literal')


def skip_argument(source, at):
    """The index of the comma that ends the argument starting at source[at]."""
    depth, i = 0, at
    while i < len(source):
        c = source[i]
        if c in '\'"':
            i = js_string(source, i)[1]
            continue
        if c in '([{':
            depth += 1
        elif c in ')]}':
            if depth == 0:
                break
            depth -= 1
        elif c == ',' and depth == 0:
            return i
        i += 1
    raise SourceError('L10n.plural needs three arguments')


def literal_at(source, at):
    while source[at].isspace():
        at += 1
    return js_string(source, at)


def from_script(path, name, add):
    source = open(path, encoding='utf-8').read()
    for m in re.finditer(r'L10n\.(text|plural)\(', source):
        line = source.count('\n', 0, m.start()) + 1
        if source[source.rfind('\n', 0, m.start()) + 1:m.start()].lstrip().startswith(('//', '*')):
            continue
        try:
            if m.group(1) == 'text':
                add(literal_at(source, m.end())[0], name, line)
            else:
                comma = skip_argument(source, m.end())
                one, after = literal_at(source, comma + 1)
                while source[after].isspace():
                    after += 1
                if source[after] != ',':
                    raise SourceError('L10n.plural needs its two forms as literals')
                add(one, name, line, plural=literal_at(source, after + 1)[0])
        except SourceError as e:
            raise SourceError('%s:%d: L10n.%s: %s' % (name, line, m.group(1), e)) from None


class PageParser(html.parser.HTMLParser):
    """The data-l10n* msgids of a page, and the visible texts it leaves unwrapped."""

    VOID = {'area', 'base', 'br', 'col', 'embed', 'hr', 'img', 'input', 'link', 'meta', 'source', 'wbr', 'use', 'path'}

    def __init__(self, name, add):
        super().__init__(convert_charrefs=True)
        self.name, self.add = name, add
        self.stack = []       # open elements: (tag, translated)
        self.capture = None   # [depth, parts, has_children, given msgid, line] of the translated element
        self.unwrapped = []

    def where(self):
        return '%s:%d' % (self.name, self.getpos()[0])

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for attribute in ATTRIBUTES:
            if attribute in a and re.search(r'[A-Za-z]{2}', a[attribute] or ''):
                if a.get('data-l10n-' + attribute) != a[attribute]:
                    self.unwrapped.append('%s: %s="%s"' % (self.where(), attribute, a[attribute]))
            if 'data-l10n-' + attribute in a:
                self.add(a['data-l10n-' + attribute], self.name, self.getpos()[0])
        if self.capture is not None:
            if tag not in INLINE or attrs:
                raise SourceError('%s: <%s> inside a data-l10n element: only %s without attributes'
                                  % (self.where(), tag, ', '.join(sorted(INLINE))))
            self.capture[1].append('<%s>' % tag)
            self.capture[2] = True
        elif 'data-l10n' in a:
            self.capture = [len(self.stack), [], False, a['data-l10n'] or '', self.getpos()[0]]
        if tag not in self.VOID:
            self.stack.append(tag)

    def handle_endtag(self, tag):
        if tag in self.VOID:
            return
        while self.stack and self.stack.pop() != tag:
            pass
        if self.capture is not None:
            if len(self.stack) == self.capture[0]:
                depth, parts, children, given, line = self.capture
                text = ''.join(parts)
                self.add(given or squash(text if children else html.unescape(text)), self.name, line)
                self.capture = None
            else:
                self.capture[1].append('</%s>' % tag)

    def handle_data(self, data):
        if self.capture is not None:
            # As the browser's innerHTML gives the text back.
            self.capture[1].append(data.replace('&', '&amp;').replace('<', '&lt;').replace('>', '&gt;')
                                   .replace('\u00a0', '&nbsp;'))
            return
        text = squash(data)
        if not text or text in SAME_EVERYWHERE or not re.search(r'[A-Za-z]{2}', text):
            return
        if any(t in ('script', 'style', 'kbd', 'svg') for t in self.stack):
            return
        self.unwrapped.append('%s: %s' % (self.where(), text))


def from_page(path, name, add):
    parser = PageParser(name, add)
    parser.feed(open(path, encoding='utf-8').read())
    parser.close()
    return parser.unwrapped


def app_sources(root):
    found = []
    for top in ('src/app', 'src/platform/qt'):
        for folder, _, files in os.walk(os.path.join(root, top)):
            found += [os.path.join(folder, f) for f in files if f.endswith(('.cpp', '.h'))]
    return sorted(found)


def xgettext(root, options, files):
    return subprocess.run(['xgettext', '--from-code=UTF-8', '--add-location=file', '-o', '-'] + options + files,
                          cwd=root, check=True, capture_output=True, text=True).stdout


def from_app(root, add):
    files = [os.path.relpath(f, root) for f in app_sources(root)]
    cpp = xgettext(root, ['-L', 'C++', '--keyword=', '--keyword=translate:1c,2', '--keyword=QT_TRANSLATE_NOOP:1c,2',
                          '--qt'], files)
    # The desktop entry's Name, GenericName, Comment and Keywords; the software centres' texts.
    data = xgettext(root, [], ['data/app.lirra.Lirra.desktop', 'data/app.lirra.Lirra.metainfo.xml'])
    for e in po.parse(cpp) + po.parse(data):
        if e.msgid:
            for ref in e.references:
                add(e.msgid, ref, None, context=e.msgctxt, flags=e.flags)


# Where the app shows a design-given text: an alert's texts and buttons, the loader's label.
SHOWN_AT = re.compile(r'(?:messageText|informativeText)\s*=\s*([^;]+);|buttons\s*=\s*\{([^}]*)\}|showLoader\(([^;]*)\);')
CONSTANT = re.compile(r'constexpr char (k\w+)\[\]\s*=\s*((?:"(?:[^"\\]|\\.)*"\s*)+);')
C_STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')


def shown_by_app(root):
    """The texts the app shows as the design gives them (literals, or the constants they name), by where."""
    sources = {os.path.relpath(f, root): open(f, encoding='utf-8').read()
               for top in ('src',) for folder, _, files in os.walk(os.path.join(root, top))
               for f in [os.path.join(folder, n) for n in files] if f.endswith(('.cpp', '.h'))}
    constants = {m.group(1): ''.join(C_STRING.findall(m.group(2)))
                 for text in sources.values() for m in CONSTANT.finditer(text)}
    shown = []
    for name, text in sorted(sources.items()):
        for m in SHOWN_AT.finditer(text):
            used = m.group(1) or m.group(2) or m.group(3)
            line = text.count('\n', 0, m.start()) + 1
            for literal in re.findall(r'QStringLiteral\("((?:[^"\\]|\\.)*)"\)', used):
                shown.append((literal, '%s:%d' % (name, line)))
            for constant in re.findall(r'\b(k[A-Z]\w*)\b', used):
                if constant in constants:
                    shown.append((constants[constant], '%s:%d' % (name, line)))
    return [(text.replace('\\"', '"').replace('\\\\', '\\'), where) for text, where in shown]


def collect(root):
    """The template's entries in the sources' order, and the unwrapped texts found."""
    entries, unwrapped = {}, []

    def add(msgid, name, line, plural=None, context=None, flags=()):
        if not msgid.strip():
            raise SourceError('%s:%s: an empty msgid' % (name, line))
        key = (context, msgid)
        e = entries.get(key)
        if e is None:
            e = entries[key] = po.Entry(msgid=msgid, msgctxt=context, msgid_plural=plural)
            if context is None and re.search(r'\{[A-Za-z0-9_]+\}', msgid + (plural or '')):
                e.flags.append('python-brace-format')
            e.flags += [f for f in flags if f not in e.flags]
        elif (e.msgid_plural or None) != (plural or None):
            raise SourceError('%s:%s: "%s" is used both with and without plural forms' % (name, line, msgid))
        if name not in e.references:
            e.references.append(name)

    web = os.path.join(root, 'server', 'web')
    for f in sorted(os.listdir(web)):
        if f.endswith('.html'):
            unwrapped += from_page(os.path.join(web, f), 'server/web/' + f, add)
    for f in sorted(os.listdir(web)):
        if f.endswith('.js') and f != 'l10n.js':
            from_script(os.path.join(web, f), 'server/web/' + f, add)
    from_app(root, add)
    return list(entries.values()), unwrapped


HEADER = ('Project-Id-Version: lirra\n'
          'Report-Msgid-Bugs-To: \n'
          'Language: \n'
          'MIME-Version: 1.0\n'
          'Content-Type: text/plain; charset=UTF-8\n'
          'Content-Transfer-Encoding: 8bit\n'
          'Plural-Forms: nplurals=INTEGER; plural=EXPRESSION;\n')


def template(entries):
    head = ('# The words of Lirra\'s pages and of the app, made by po/tools/extract.py from the sources.\n'
            '# SPDX-License-Identifier: GPL-3.0-or-later\n')
    return head + po.write([po.Entry(msgid='', msgstr=HEADER, flags=[])] + entries)


def main(argv):
    root = argv[1]
    try:
        entries, unwrapped = collect(root)
    except SourceError as e:
        sys.exit(str(e))
    text = template(entries)
    pot = os.path.join(root, 'po', 'lirra.pot')
    if len(argv) > 2 and argv[2] == '--check':
        problems = ['not wrapped: ' + u for u in unwrapped]
        design = {e.msgid for e in entries if e.msgctxt == 'Shown'}
        problems += ['shown by the app but not a known text: %s "%s"' % (where, text)
                     for text, where in shown_by_app(root) if text not in design]
        checked_in = {(e.msgctxt, e.msgid) for e in po.parse(open(pot, encoding='utf-8').read()) if e.msgid}
        problems += ['not in po/lirra.pot: %s"%s"' % (e.msgctxt + ' | ' if e.msgctxt else '', e.msgid)
                     for e in entries if (e.msgctxt, e.msgid) not in checked_in]
        for p in problems:
            print(p)
        print('%d strings in the sources, %d problems' % (len(entries), len(problems)))
        return 1 if problems else 0
    out = argv[2] if len(argv) > 2 else pot
    if out == '-':
        sys.stdout.write(text)
    else:
        with open(out, 'w', encoding='utf-8') as f:
            f.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
