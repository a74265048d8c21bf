// SPDX-License-Identifier: GPL-3.0-or-later
// The lines' look the learner sets (each line's size, their place), remembered with the player
// settings, and what the player page says while the service still works on the video's subtitles.
'use strict';
const { test, assert, web, MemoryStorage, FakeClock, fakeAjax } = require('./fakes.js');
const linestyle = web('linestyle.js');
const { Prefs } = web('prefs.js');
const { pendingText, canAsk, READING, ASKING } = web('sourcestatus.js');
const { SubtitleFiles, PENDING_MAX_MS } = web('subtitlefiles.js');

test('each line has its size and the lines their place, remembered, anything else the default', () => {
    const prefs = new Prefs(new MemoryStorage());
    assert.deepEqual(prefs.lineStyle(), { targetSize: 'normal', nativeSize: 'normal', linePosition: 'bottom' });
    prefs.setLineStyle({ targetSize: 'largest' });
    prefs.setPlayer({ autoPause: true });
    prefs.setLineStyle({ nativeSize: 'small', linePosition: 'top' });
    const again = new Prefs(prefs.storage);
    assert.deepEqual(again.lineStyle(), { targetSize: 'largest', nativeSize: 'small', linePosition: 'top' });
    assert.equal(again.player().autoPause, true, 'the other settings stay');
    prefs.setLineStyle({ linePosition: 'left' });
    assert.equal(again.lineStyle().linePosition, 'bottom', 'an unknown place is not kept');
    assert.equal(JSON.parse(prefs.storage.getItem('lirra.lines')).nativeSize, 'small');
    for (const stored of [null, 'x', { targetSize: 'huge', nativeSize: 2, linePosition: 'left' }, { targetSize: 'toString' }]) {
        assert.deepEqual(linestyle.read(stored), linestyle.SETTINGS, JSON.stringify(stored));
    }

    // On the page: each line's scale, and the lines at the top by a class.
    const body = { props: {}, classes: new Set(),
                   style: { setProperty(k, v) { body.props[k] = v; } },
                   classList: { toggle(c, on) { if (on) body.classes.add(c); else body.classes.delete(c); } } };
    const cases = [
        [{ targetSize: 'large', nativeSize: 'largest', linePosition: 'top' }, { '--target-scale': '1.25', '--native-scale': '2' }, true],
        [{ targetSize: 'small', nativeSize: 'larger' }, { '--target-scale': '0.8', '--native-scale': '1.5' }, false],
        [{}, { '--target-scale': '1', '--native-scale': '1' }, false],
    ];
    for (const [settings, props, top] of cases) {
        linestyle.apply(body, settings);
        assert.deepEqual(body.props, props);
        assert.equal(body.classes.has('lines-top'), top);
    }
});

test('while the service works on the video the page says which of its two sources it waits for', () => {
    const t = (language, origin) => ({ language, origin });
    const wanted = ['eng', 'spa'];
    const cases = [
        // pending, tracks held, the database can be asked, what the page says
        [false, [], true, null],
        [true, [], false, READING],
        [true, [], true, READING],                                     // the inside is read first
        [true, [t('eng', 'container')], false, READING],               // no database: still reading
        [true, [t('eng', 'container')], true, ASKING],                 // read; Spanish is missing
        [true, [t('eng', 'container'), t('spa', 'client')], true, READING],  // nothing to ask for
        [true, [t('fre', 'container'), t('spa', 'client')], true, ASKING],
    ];
    for (const [pending, tracks, online, text] of cases) {
        assert.equal(pendingText(pending, tracks, online, wanted), text, JSON.stringify([pending, tracks, online]));
    }
    assert.equal(READING, 'Reading subtitles inside the video…');
    assert.equal(ASKING, 'Asking the subtitle database…');
    const settings = [[{ configured: true, status: 'ok' }, true], [{ configured: true, status: 'quota' }, false],
                      [{ configured: false, status: 'ok' }, false], [undefined, false]];
    for (const [answer, can] of settings) assert.equal(canAsk(answer), can, JSON.stringify(answer));

    // The page is told whether it asks again because the service still works, and not past 2 min.
    const clock = new FakeClock();
    const { ajax } = fakeAjax(() => ({ tracks: [], pending: true }), clock);
    const polling = [];
    new SubtitleFiles({ videoId: '5', ajax, toast() {}, setTimeout: (f, ms) => clock.setTimeout(f, ms), now: () => clock.now() })
        .load((tracks, name, asking) => { polling.push([clock.now(), asking]); return false; });
    clock.advance(PENDING_MAX_MS + 60000);
    assert.deepEqual(polling[0], [0, true]);
    assert.deepEqual(polling.find(([, asking]) => !asking), [PENDING_MAX_MS, false]);
});
