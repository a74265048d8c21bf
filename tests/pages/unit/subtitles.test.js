// The player page's subtitle lines: which track each line shows, drawing a line, the line
// list's translations, and the service's subtitle files (loading with retries, adding a file).
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const web = require('./web.js');
const { CueTrack } = web('cues.js');
const { LineTracks } = web('tracks.js');
const { LineView } = web('linerender.js');
const { translations } = web('linelist.js');
const { SubtitleFiles, fileProblem, MAX_FILE_BYTES } = web('subtitlefiles.js');
const { FakeClock, FakeNode, fakeDocument } = require('./fakes.js');

const cue = (start, end, text) => ({ start, end, text });
const track = (subtitleId, language, cues) => ({ subtitleId, language, fileName: `${subtitleId}.srt`,
                                                  cues: cues || [cue(1000, 2000, `line of ${subtitleId}`)] });
const saved = (target, native, offsets) => ({ target: { track: target, offset: (offsets || [0, 0])[0] },
                                              native: { track: native, offset: (offsets || [0, 0])[1] } });

test('the track each line shows: the stored choice, else English and the learner\'s language', () => {
    const all = [track(1, 'spa'), track(2, ''), track(3, 'eng'), track(4, 'eng'), track(5, 'fre')];
    const cases = [
        // tracks held, stored target, stored native, chosen [target, native]
        [all, null, null, [3, 1]],
        [all, 4, 5, [4, 5]],
        [all, 99, 98, [3, 1], 'stored tracks the video no longer has'],
        [[track(2, ''), track(1, 'spa')], null, null, [2, 1], 'no English: a file of unknown language'],
        [[track(1, 'spa')], null, null, [-1, 1]],
        [[track(1, 'spa')], 1, null, [1, -1], 'the English line took the only Spanish file'],
        [[], 3, 1, [-1, -1]],
    ];
    for (const [list, target, native, expected, why] of cases) {
        const lines = new LineTracks('spa');
        lines.replace(list);
        lines.restore(saved(target, native));
        assert.deepEqual([lines.lines.target.trackId, lines.lines.native.trackId], expected, why || JSON.stringify([target, native]));
        assert.equal(lines.track('target') === null, expected[0] === -1);
    }
});

test('offsets: restored, stepped and bounded, applied to the cues, and stored with the choice', () => {
    const lines = new LineTracks('spa');
    lines.replace([track(3, 'eng'), track(1, 'spa')]);
    lines.restore(saved(null, null, [300, -200]));
    assert.equal(lines.track('target').videoStart(0), 1300);
    assert.equal(lines.track('native').videoStart(0), 800);
    assert.deepEqual([100, 100, -1000, 90000, null].map((d) => lines.shift('target', d)), [400, 500, -500, 60000, 0]);
    assert.equal(lines.track('target').videoStart(0), 1000);
    lines.shift('native', 100);
    assert.deepEqual(lines.saved(), saved(3, 1, [0, -100]));
    // A track chosen later keeps the line's offset.
    lines.setTrack('native', -1);
    lines.shift('native', 100);
    lines.setTrack('native', 1);
    assert.equal(lines.track('native').videoStart(0), 1000);
});

test('an empty answer keeps the tracks held; an added file goes to the line of its language', () => {
    const lines = new LineTracks('spa');
    assert.equal(lines.replace([]), true);
    assert.equal(lines.add([track(7, 'fre'), track(8, 'fre')]), 'native');
    assert.equal(lines.replace([]), false, 'the service does not know the added file yet');
    assert.deepEqual(lines.list.map((t) => t.subtitleId), [7, 8]);
    assert.equal(lines.add([track(9, 'eng')]), 'target');
    assert.deepEqual([lines.lines.target.trackId, lines.lines.native.trackId], [9, 7]);
    assert.equal(lines.replace([track(1, 'spa')]), true);
    assert.deepEqual(lines.list.map((t) => t.subtitleId), [1]);
});

test('the track the tools follow, and the one beside it in the line list', () => {
    const lines = new LineTracks('spa');
    lines.replace([track(3, 'eng'), track(1, 'spa'), track(2, 'ger', [])]);
    lines.restore(saved(3, 1));
    const english = lines.track('target'), spanish = lines.track('native');
    const shown = (showTarget, showNative) => ({ showTarget, showNative });
    const cases = [
        // settings, followed, companion
        [shown(true, true), english, spanish],
        [shown(true, false), english, null],
        [shown(false, false), spanish, null],
    ];
    for (const [settings, followed, companion] of cases) {
        assert.equal(lines.followed(settings), followed, JSON.stringify(settings));
        assert.equal(lines.companion(followed, settings), companion, JSON.stringify(settings));
    }
    lines.setTrack('native', 2);   // a track without cues
    assert.equal(lines.followed(shown(false, true)), english, 'a hidden English line before none at all');
    lines.setTrack('target', -1);
    assert.equal(lines.followed(shown(true, true)), null);
});

test('a line draws the cues showing, as nodes, and only redraws when they change', () => {
    const element = new FakeNode('div');
    const view = new LineView(fakeDocument, element);
    const cues = new CueTrack([cue(1000, 3000, 'one <i>&lt;two&gt;</i>'), cue(2000, 4000, 'three'), cue(5000, 6000, 'a\nb')]);
    const steps = [
        // time, visible, force, drew, markup
        [500, true, false, false, ''],
        [1500, true, false, true, '<span.sub-text>one <i><two></i></span>'],
        [1600, true, false, false, '<span.sub-text>one <i><two></i></span>'],
        [2500, true, false, true, '<span.sub-text>one <i><two></i><br>three</span>'],
        [2500, false, false, true, ''],
        [5500, true, false, true, '<span.sub-text>a<br>b</span>'],
        [5500, true, true, true, '<span.sub-text>a<br>b</span>'],
        [null, true, false, true, ''],
    ];
    for (const [time, visible, force, drew, markup] of steps) {
        assert.equal(view.render(cues, time, visible, force), drew, `at ${time}`);
        assert.equal(element.markup, `<div>${markup}</div>`, `at ${time}`);
    }
    assert.equal(view.render(null, 1500, true), false, 'no track: nothing to draw, nothing drawn before');
});

test('a text renderer handed in draws each cue, from the next render on', () => {
    const element = new FakeNode('div');
    const view = new LineView(fakeDocument, element);
    const cues = new CueTrack([cue(1000, 3000, 'big <b>dog</b>')]);
    view.render(cues, 1500, true);
    const seen = [];
    view.setTextRenderer((doc, parent, text, c) => {
        seen.push([text, c.start]);
        text.split(' ').forEach((word) => {
            const span = parent.appendChild(doc.createElement('span'));
            span.className = 'word';
            span.appendChild(doc.createTextNode(word));
        });
    });
    assert.equal(view.render(cues, 1600, true), true);
    assert.deepEqual(seen, [['big <b>dog</b>', 1000]]);
    assert.equal(element.markup, '<div><span.sub-text><span.word>big</span><span.word><b>dog</b></span></span></div>');
});

test('the line list pairs each line with the cue of the other line showing at its middle', () => {
    const english = new CueTrack([cue(1000, 3000, 'a'), cue(4000, 5000, 'b'), cue(8000, 9000, 'c')]);
    const other = [cue(900, 2900, 'x'), cue(4400, 6000, 'y')];
    // english middles: 2000, 4500, 8500
    assert.deepEqual(translations(english, new CueTrack(other)), [0, 1, -1]);
    assert.deepEqual(translations(english, new CueTrack(other, 1000)), [0, -1, -1]);
    assert.deepEqual(translations(english, new CueTrack(other, -2500)), [1, -1, -1]);
    english.setOffset(-1000);
    assert.deepEqual(translations(english, new CueTrack(other)), [0, -1, -1]);
    assert.deepEqual(translations(english, null), [-1, -1, -1]);
});

// jQuery's ajax as the module uses it: each call waits for the test to answer it.
function fakeAjax(clock) {
    const calls = [];
    const ajax = (options) => {
        const call = { options, at: clock.now(), done: [], fail: [] };
        call.resolve = (data) => call.done.forEach((f) => f(data));
        call.reject = (xhr) => call.fail.forEach((f) => f(xhr));
        calls.push(call);
        const promise = { done(f) { call.done.push(f); return promise; }, fail(f) { call.fail.push(f); return promise; } };
        return promise;
    };
    return { ajax, calls };
}

function filesRig(videoId) {
    const clock = new FakeClock();
    const { ajax, calls } = fakeAjax(clock);
    const toasts = [];
    const forms = [];
    const files = new SubtitleFiles({
        videoId, ajax, toast: (t) => toasts.push(t), setTimeout: (fn, ms) => clock.setTimeout(fn, ms),
        newForm: () => { const parts = []; forms.push(parts); return { append: (...a) => parts.push(a) }; },
    });
    return { clock, calls, toasts, forms, files };
}

test('the tracks are asked again after a failed or empty answer, then the learner is told', () => {
    const list = [track(1, 'eng')];
    const cases = [
        // answers in turn ('fail' or the data), what the page was given [tracks, file name],
        // when it asked (ms), what the learner is told
        [[{ tracks: list }], [[1, null]], [0], []],
        [['fail', { tracks: [], fileName: '' }, { tracks: list, fileName: 'v.mkv' }], [[0, ''], [1, 'v.mkv']], [0, 1000, 3000], []],
        [['fail', 'fail', 'fail', 'fail'], [], [0, 1000, 3000, 7000], ['The subtitles could not be loaded.']],
        [[{}, { tracks: 'x', fileName: 5 }, null, { tracks: [] }], [[0, null], [0, null], [0, null], [0, null]],
         [0, 1000, 3000, 7000], ['No subtitles yet: add a file in the Subtitles menu.']],
    ];
    for (const [answers, given, times, toasts] of cases) {
        const rig = filesRig('42');
        const got = [];
        rig.files.load((tracks, fileName) => { got.push([tracks.length, fileName]); return tracks.length > 0; });
        answers.forEach((answer, i) => {
            while (rig.calls.length <= i && rig.clock.now() < 60000) rig.clock.advance(100);
            if (answer === 'fail') rig.calls[i].reject({}); else rig.calls[i].resolve(answer);
        });
        rig.clock.advance(60000);
        assert.deepEqual(rig.calls.map((c) => c.at), times, JSON.stringify(answers));
        assert.deepEqual(rig.calls[0].options, { url: '../api/videos/42/tracks', dataType: 'json', cache: false, timeout: 8000 });
        assert.deepEqual(got, given);
        assert.deepEqual(rig.toasts, toasts);
    }
    const none = filesRig(null);
    none.files.load(() => true);
    assert.equal(none.calls.length, 0, 'no video, nothing to ask');
});

test('a chosen subtitle file: checked, sent as a form, and what the learner is told', () => {
    assert.deepEqual([
        { name: 'A.VTT', size: MAX_FILE_BYTES }, { name: 'srt', size: 10 }, { name: 'd.srt', size: MAX_FILE_BYTES + 1 },
    ].map(fileProblem), [null, 'Choose a .srt, .sub or .vtt file.', 'That file is too large for a subtitle file.']);
    const file = { name: 'Walk.fr.srt', size: 100 };
    const cases = [
        // answer, toasts after "Adding", tracks handed to the page
        [{ tracks: [track(5, 'fre')] }, [], [5]],
        [{ tracks: [] }, ['No subtitles were found in Walk.fr.srt.'], null],
        [{ fail: { responseJSON: { error: 'not a subtitle file' } } }, ['Could not add Walk.fr.srt: not a subtitle file'], null],
    ];
    for (const [answer, toasts, added] of cases) {
        const rig = filesRig('7');
        let got = null;
        rig.files.add(file, (tracks) => { got = tracks.map((t) => t.subtitleId); });
        const call = rig.calls[0];
        assert.equal(call.options.url, '../api/videos/7/subtitles');
        assert.deepEqual(rig.forms, [[['file', file, 'Walk.fr.srt']]]);
        if (answer.fail) call.reject(answer.fail); else call.resolve(answer);
        assert.deepEqual(rig.toasts, ['Adding Walk.fr.srt…'].concat(toasts));
        assert.deepEqual(got, added);
    }
    const rig = filesRig('7');
    rig.files.add({ name: 'notes.txt', size: 5 }, () => assert.fail('sent'));
    rig.files.add(undefined, () => assert.fail('sent'));
    assert.deepEqual([rig.calls.length, rig.toasts], [0, ['Choose a .srt, .sub or .vtt file.']]);
});
