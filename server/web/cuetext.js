// SPDX-License-Identifier: GPL-3.0-or-later
// Cue text to page nodes without ever handing it to the HTML parser. The service sends text
// escaped, with only <b>, <i> and <u> left as tags and "\n" between lines; anything else that
// looks like markup is shown as the characters it is.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory();
    else (root.Lirra = root.Lirra || {}).cuetext = factory();
})(this, function () {
    'use strict';

    var ENTITIES = { amp: '&', lt: '<', gt: '>', quot: '"', apos: '\'', nbsp: '\u00a0' };
    var STYLES = { b: true, i: true, u: true };

    function decodeEntities(text) {
        return text.replace(/&(#x[0-9a-fA-F]{1,6}|#[0-9]{1,7}|[a-z]{2,6});/g, function (all, body) {
            if (body.charAt(0) === '#') {
                var cp = body.charAt(1) === 'x' ? parseInt(body.slice(2), 16) : parseInt(body.slice(1), 10);
                var usable = cp >= 0x20 && cp <= 0x10ffff && (cp < 0xd800 || cp > 0xdfff);
                return usable ? String.fromCodePoint(cp) : all;
            }
            return Object.prototype.hasOwnProperty.call(ENTITIES, body) ? ENTITIES[body] : all;
        });
    }

    // A tree of {type:'text', text}, {type:'br'} and {type:'b'|'i'|'u', children}.
    function parse(text) {
        var root = { type: 'root', children: [] };
        var stack = [root];
        var pattern = /<(\/?)([biu])>|\n/g;
        var last = 0;
        var source = String(text == null ? '' : text);
        var push = function (node) { stack[stack.length - 1].children.push(node); };
        var pushText = function (raw) { if (raw) push({ type: 'text', text: decodeEntities(raw) }); };
        var match;
        while ((match = pattern.exec(source)) !== null) {
            pushText(source.slice(last, match.index));
            last = pattern.lastIndex;
            if (match[0] === '\n') {
                push({ type: 'br' });
            } else if (!match[1]) {
                var node = { type: match[2], children: [] };
                push(node);
                stack.push(node);
            } else {
                // A closing tag closes its element and any left open inside it; a stray one is dropped.
                for (var depth = stack.length - 1; depth > 0; --depth) {
                    if (stack[depth].type === match[2]) { stack.length = depth; break; }
                }
            }
        }
        pushText(source.slice(last));
        return root.children;
    }

    // The plain characters of a cue (for the line list's search and titles).
    function plainText(text) {
        var out = '';
        (function walk(nodes) {
            nodes.forEach(function (n) {
                if (n.type === 'text') out += n.text;
                else if (n.type === 'br') out += ' ';
                else walk(n.children);
            });
        })(parse(text));
        return out;
    }

    // Appends the cue's nodes to parent, built with document.createElement/createTextNode.
    function render(document, parent, text) {
        (function build(nodes, into) {
            nodes.forEach(function (n) {
                if (n.type === 'text') into.appendChild(document.createTextNode(n.text));
                else if (n.type === 'br') into.appendChild(document.createElement('br'));
                else if (STYLES[n.type]) build(n.children, into.appendChild(document.createElement(n.type)));
            });
        })(parse(text), parent);
        return parent;
    }

    return { parse: parse, plainText: plainText, render: render, decodeEntities: decodeEntities };
});
