// SPDX-License-Identifier: GPL-3.0-or-later
// One subtitle line over the video: the cues showing at the current time, drawn into the
// line's element. Cue text goes through a text renderer, cuetext.render by default; a module
// that wants more of the text (words to click, words coloured by what the learner knows) hands
// in its own, which must likewise build nodes and never pass the text to the HTML parser.
(function (root, factory) {
    'use strict';
    if (typeof module === 'object' && module.exports) module.exports = factory(require('./cuetext.js'));
    else (root.Lirra = root.Lirra || {}).linerender = factory(root.Lirra.cuetext);
})(this, function (cuetext) {
    'use strict';

    // renderText(document, parent, text, cue) appends the nodes of one cue to parent.
    function LineView(document, element, renderText) {
        this.document = document;
        this.element = element;
        this.renderText = renderText || cuetext.render;
        this.shown = '';   // the indices of the cues drawn, as a key
    }

    // Swaps the text renderer; the next render draws with it.
    LineView.prototype.setTextRenderer = function (renderText) {
        this.renderText = renderText || cuetext.render;
        this.shown = null;
    };

    // Draws the cues of track showing at time (none while the line is hidden or there is no
    // time). Only a change of cues redraws, unless force. Returns whether it drew.
    LineView.prototype.render = function (track, time, visible, force) {
        var active = visible && track && time !== null ? track.activeAt(time) : [];
        var key = active.join(',');
        if (!force && key === this.shown) return false;
        this.shown = key;
        var doc = this.document, renderText = this.renderText;
        this.element.textContent = '';
        if (!active.length) return true;
        var box = doc.createElement('span');
        box.className = 'sub-text';
        active.forEach(function (index, n) {
            if (n > 0) box.appendChild(doc.createElement('br'));
            renderText(doc, box, track.cues[index].text, track.cues[index]);
        });
        this.element.appendChild(box);
        return true;
    };

    return { LineView: LineView };
});
