// SPDX-License-Identifier: GPL-3.0-or-later
// Player page: two subtitle lines over the video (English and the learner's language), the
// controls, the learner's line-by-line tools and the shortcuts. Everything is drawn over the
// video; the page speaks to the player only through the bridge. This file holds the page's
// state and wires the modules together; each concern lives in a module of its own.
(function () {
    'use strict';

    var L = window.Lirra;
    var VOLUME_STEP = 10;          // on the engine's 0..200 scale: 5 %
    var SEEK_STEP_S = 5;

    var prefs, autoPause, transport, player;
    var lineTracks, views, lineList, controls, subtitleMenu, panels, files, lookup, notebook;
    var wordStatus, practice, sayIt;
    var peeking = false;  // the hidden line shows while the learner holds G or points at it
    var videoId = null;
    var nativeCode = L.languages.DEFAULT_CODE;
    var settings = null;
    var fileName = '';

    function toast(text) { panels.toast(text); }
    function followed() { return lineTracks.followed(settings); }

    function lineTitle(line) {
        return L.languages.label(line === 'target' ? 'eng' : nativeCode);
    }

    var NOTICE_MS = 6000;

    // What the service's timing fits did to these lines, told once as they come, and kept in
    // the Subtitles menu for both lines.
    function noticeAlignment(lines) {
        var note = lineTracks.notice(lines, lineTitle, L.languages.label);
        if (note) panels.toast(note, NOTICE_MS);
        subtitleMenu.showAlignment(lineTracks.aligned,
                                   lineTracks.notice(L.tracks.LINES, lineTitle, L.languages.label));
    }

    // ---- subtitles ----

    // force: true, or the lines to draw anew (an array). While a word's card is open the
    // English line stays as it is (the clock runs on for a moment after the pause) unless forced.
    function renderLines(force) {
        L.tracks.LINES.forEach(function (line) {
            var visible = line === 'target' ? settings.showTarget : settings.showNative || peeking;
            var redraw = Array.isArray(force) ? force.indexOf(line) >= 0 : force;
            if (line === 'target' && lookup.isOpen() && !redraw) return;
            var drew = views[line].render(lineTracks.track(line), player.time, visible, redraw);
            if (drew && line === 'target') lookup.lineChanged();
        });
        $('#line-target').toggleClass('off', !settings.showTarget);
        $('#line-native').toggleClass('off', !settings.showNative).toggleClass('peek', peeking && !settings.showNative);
        markLanguage($('#line-native'), lineTracks.track('native'));
    }

    // A line of another language says which, so that it gets its script's fonts and direction:
    // its track's language, else the learner's.
    function markLanguage(element, track) {
        var code = track && track.language ? track.language : nativeCode;
        var tag = L10n.forLearner(code);
        if (element.attr('lang') !== tag) element.attr({ lang: tag, dir: L10n.dirOf(tag) });
    }

    function refreshList() {
        var track = followed();
        lineList.refresh(track, track && lineTracks.companion(track, settings), player.time);
        if (track && lineList.isOpen()) {
            wordStatus.ensure(trackWords(track), function () { lineList.paintCounts(); });
        }
    }

    // ---- what the learner knows of each word ----

    function trackWords(track) {
        var all = [];
        track.cues.forEach(function (cue) { all.push.apply(all, L.wordstatus.lineWords(cue.text)); });
        return all;
    }

    // A status changed: the English line and the counts are painted again (no redraw).
    function statusesChanged() {
        wordStatus.paintLine(document.getElementById('line-target'));
        lineList.paintCounts();
    }

    function markLineKnown() {
        var track = lineTracks.track('target');
        var active = track && player.time !== null ? track.activeAt(player.time) : [];
        if (!active.length) { toast(L10n.text('No English line on screen to mark.')); return; }
        active.forEach(function (i) { wordStatus.setLine(track.cues[i].text, 'known'); });
        toast(L10n.text('Every word of this line is known'));
    }

    // The next English line with exactly one new word: the best kind to learn from.
    function nextOneNewLine() {
        var track = lineTracks.track('target');
        if (!track) { toast(L10n.text('No English subtitles to search.')); return; }
        wordStatus.ensure(trackWords(track), function () {
            var texts = track.cues.map(function (cue) { return cue.text; });
            var from = player.time === null ? -1 : track.currentLine(player.time);
            var i = L.wordstatus.nextSingleNew(texts, from, wordStatus.cache);
            if (i < 0) { toast(L10n.text('No line further on has exactly one new word.')); return; }
            var jump = transport.lineNav.jumpTo(track, i);
            if (jump) transport.goToJump(jump);
        });
    }

    function saveVideo() {
        if (videoId !== null) prefs.setVideo(videoId, lineTracks.saved());
    }

    // After the tracks or a line's track changed.
    function tracksChanged() {
        subtitleMenu.build(lineTracks, settings, lineTitle('native'));
        renderLines(true);
        refreshList();
        noticeAlignment([]);
    }

    // The service's tracks, asked again while it still reads more out of the video: only a
    // line whose track changed is drawn anew, so the line on screen does not blink.
    function onTracks(held, name, pending) {
        if (!fileName && name !== null) setFileName(name);
        showSourceStatus(pending, held);
        var changed = lineTracks.update(held, prefs.video(videoId));
        if (changed !== null) {
            subtitleMenu.build(lineTracks, settings, lineTitle('native'));
            renderLines(changed);
            if (changed.length) refreshList();
            noticeAlignment(changed);
        }
        return lineTracks.list.length > 0;
    }

    // While the service still reads the video or asks the database, the page says which.
    // Whether the database may be asked is read once, at the first pending answer.
    var onlineSettings = null, lastStatus = { pending: false, held: [] };
    function showSourceStatus(pending, held) {
        lastStatus = { pending: pending, held: held };
        if (pending && onlineSettings === null) {
            onlineSettings = $.getJSON('../api/settings/opensubtitles').always(function () {
                showSourceStatus(lastStatus.pending, lastStatus.held);
            });
        }
        var online = !!onlineSettings && onlineSettings.state() === 'resolved' &&
            L.sourcestatus.canAsk(onlineSettings.responseJSON);
        var text = L.sourcestatus.pendingText(pending, held, online, ['eng', nativeCode]);
        $('#source-status').text(text || '').prop('hidden', !text);
    }

    function onAdded(added) {
        var line = lineTracks.add(added);
        saveVideo();
        tracksChanged();
        var note = lineTracks.notice([line], lineTitle, L.languages.label);
        panels.toast(L10n.text('Added {file} to the {language} line.', { file: added[0].fileName, language: lineTitle(line) }) +
                     (note ? ' ' + note : ''), note ? NOTICE_MS : undefined);
        // The new file may be the one the others are now fitted to.
        files.load(onTracks);
    }

    function onTime(ms) {
        var t = transport.clock(ms);
        practice.clock(t);
        renderLines();
        if (t !== null) controls.showTime(t);
        lineList.mark(t);
        transport.showPlaying();
    }

    // ---- the learner's settings ----

    function setAutoPause(on) {
        settings.autoPause = on;
        autoPause.setEnabled(on);
        prefs.setPlayer({ autoPause: on });
        $('#auto-pause').attr('aria-pressed', String(on)).toggleClass('on', on);
    }

    function setLineShown(line, on) {
        if (line === 'target') settings.showTarget = on; else settings.showNative = on;
        prefs.setPlayer(line === 'target' ? { showTarget: on } : { showNative: on });
        subtitleMenu.showChecked(line, on);
        renderLines(true);
        refreshList();
    }

    function chooseTrack(line, id) {
        lineTracks.setTrack(line, id);
        saveVideo();
        tracksChanged();
        noticeAlignment([line]);
    }

    function setAligned(on) {
        if (!lineTracks.setAligned(on)) return;
        if (videoId !== null) prefs.setAligned(videoId, on);
        renderLines(true);
        refreshList();
        if (on) noticeAlignment(L.tracks.LINES);
        else {
            subtitleMenu.showAlignment(false, null);
            toast(L10n.text('Each line keeps its file\'s timing'));
        }
    }

    function shiftLine(line, delta) {
        var offset = lineTracks.shift(line, delta);
        saveVideo();
        autoPause.seeked();
        renderLines(true);
        refreshList();
        subtitleMenu.showOffsets(lineTracks);
        toast(L10n.text('{language} timing {offset}', { language: lineTitle(line), offset: L.timefmt.formatOffset(offset) }));
    }

    function setFileName(name) {
        fileName = name;
        controls.showFileName(name);
    }

    // Playing or moving on closes a word's card first; the video goes where the learner asked.
    function leavingCard(fn) {
        return function () {
            lookup.close(false);
            fn();
        };
    }

    // Moving elsewhere ends a loop or a repeat.
    function movingOn(fn) {
        return leavingCard(function () {
            practice.stop(true);
            fn();
        });
    }

    // ---- practising a line (practise.js, sayit.js, linesearch.js) ----

    function setPeek(on) {
        if (peeking === on) return;
        peeking = on;
        renderLines(['native']);
    }

    // The followed line being practised: its key for recordings, and its plain text.
    function practisedLine() {
        var track = followed();
        var i = track && track.size() ? practice.line(track) : -1;
        return i < 0 ? null : { key: track.videoStart(i) + ':' + i, text: L.cuetext.plainText(track.cues[i].text) };
    }

    function englishLineText() {
        var track = lineTracks.track('target');
        var i = track && player.time !== null ? track.currentLine(player.time) : -1;
        return i < 0 ? '' : L.cuetext.plainText(track.cues[i].text);
    }

    function showPractice(plan) {
        $('#loop-line').attr('aria-pressed', String(!!plan && plan.kind === 'loop'));
        $('#ab-loop').attr('aria-pressed', String(!!plan && plan.kind === 'ab' || practice.mark >= 0));
    }

    function showSearch(query) {
        var found = L.linesearch.find({ target: lineTracks.track('target'), native: lineTracks.track('native') }, query);
        var results = $('#line-results').empty().prop('hidden', !String(query).trim());
        $('#lines').prop('hidden', !results.prop('hidden'));
        found.forEach(function (r) {
            var li = document.createElement('li');
            li.setAttribute('data-line', r.line);
            li.setAttribute('data-index', r.index);
            li.appendChild(document.createElement('span')).className = 'at';
            li.firstChild.textContent = L.timefmt.formatClock(Math.max(0, r.start));
            L.linesearch.render(document, li.appendChild(document.createElement('span')), r);
            results.append(li);
        });
        if (!found.length && String(query).trim()) {
            results.append($('<li class="empty">').text(L.practise.L10n.text('No line has these words.')));
        }
    }

    function jumpToFound(item) {
        if (!item || !item.length) return;
        practice.stop(true);
        var jump = transport.lineNav.jumpTo(lineTracks.track(item.attr('data-line')), Number(item.attr('data-index')));
        if (jump) transport.goToJump(jump);
    }

    // Shortcut actions by name (keys.js maps the keys to them); the buttons share some.
    var actions = {
        togglePlay: leavingCard(function () { transport.togglePlay(); }),
        previousLine: movingOn(function () { transport.jumpLine('previous'); }),
        nextLine: movingOn(function () { transport.jumpLine('next'); }),
        repeatLine: movingOn(function () { transport.jumpLine('repeat'); }),
        back: movingOn(function () { transport.seekBy(-SEEK_STEP_S); }),
        forward: movingOn(function () { transport.seekBy(SEEK_STEP_S); }),
        loopLine: leavingCard(function () { practice.loop(); }),
        loopStretch: leavingCard(function () { practice.markAB(); }),
        slowReplay: leavingCard(function () { practice.slow(0.75); }),
        slowerReplay: leavingCard(function () { practice.slow(0.5); }),
        sayLine: function () { sayIt.say(lookup.isOpen() && lookup.answer ? lookup.answer.matched : englishLineText()); },
        recordLine: leavingCard(function () {
            var line = practisedLine();
            if (line) sayIt.record(line.key);
        }),
        compareLine: leavingCard(function () {
            var line = practisedLine();
            if (line) sayIt.compare(line.key);
        }),
        peek: function () { setPeek(true); },
        findLine: function () {
            if (!lineList.isOpen()) panels.toggle('line-list');
            $('#line-search').trigger('focus').trigger('select');
        },
        louder: function () { transport.stepVolume(VOLUME_STEP); },
        quieter: function () { transport.stepVolume(-VOLUME_STEP); },
        toggleAutoPause: function () {
            setAutoPause(!settings.autoPause);
            toast(settings.autoPause ? L10n.text('Auto-pause on: the video stops after every line') : L10n.text('Auto-pause off'));
        },
        toggleNative: function () {
            setLineShown('native', !settings.showNative);
            toast(settings.showNative ? L10n.text('{language} line shown', { language: lineTitle('native') })
                                       : L10n.text('{language} line hidden', { language: lineTitle('native') }));
        },
        slower: function () { transport.stepSpeed(-1); },
        faster: function () { transport.stepSpeed(1); },
        toggleMute: function () { transport.toggleMute(); },
        toggleList: function () { panels.toggle('line-list'); },
        toggleHelp: function () { panels.toggle('help'); },
        closeAll: function () {
            practice.stop();
            panels.closeAll();
            lookup.close(true);
        },
        lookUpWords: function () { lookup.toggleKeyboard(); },
        previousWord: function () { lookup.step(-1); },
        nextWord: function () { lookup.step(1); },
        closeWord: function () { lookup.close(true); },
        saveToNotebook: function () { notebook.save(); },
        markWordKnown: function () {
            if (!lookup.markKnown()) toast(L10n.text('Open a word first (a click or W): K marks it known, Shift+K the whole line'));
        },
        markLineKnown: markLineKnown,
        nextOneNewLine: leavingCard(nextOneNewLine),
        toggleFullScreen: function () { transport.command('ToggleFullscreen'); }
    };
    for (var times = 1; times <= L.practise.MAX_REPEATS; ++times) {
        actions['repeat' + times] = (function (n) { return leavingCard(function () { practice.repeat(n); }); })(times);
    }

    function onKey(e) {
        // Tab goes from control to control: they show while it does.
        if (e.key === 'Tab') panels.showChrome();
        // A button reached with Tab is pressed with Space, as everywhere.
        var inField = $(e.target).is('input:not([type=range]), select, textarea') ||
            (e.key === ' ' && $(e.target).is('button'));
        if (!L.keys.handle(e, inField, actions, lookup.isOpen())) return;
        e.preventDefault();
        panels.showChrome();
    }

    // What the native side answers when asked, already checked (playervalues.js).
    var replies = {
        Duration: function (ms) {
            player.duration = ms;
            controls.showDuration(ms);
        },
        Volume: function (v) {
            player.volume = v;
            transport.showVolume();
        },
        PlaybackSpeed: function (rate) {
            player.speed = rate;
            controls.showSpeed(rate);
        },
        AudioInfo: function (info) {
            player.audio = info;
            controls.buildAudioMenu(info);
        },
        IsFullscreen: function (on) { controls.showFullscreen(on); },
        FileName: setFileName,
        Commands: function (names) { transport.knownCommands(names); }
    };

    function wire() {
        $(window).on('timeUpdate', function (e, ms) { onTime(ms); });
        $(window).on('nativeApp:enteredFullscreen', function () { controls.showFullscreen(true); });
        $(window).on('nativeApp:leftFullscreen', function () { controls.showFullscreen(false); });
        // The desktop's media controls: next and previous line as the keys do, and the volume
        // they set on the player.
        $(window).on('nativeApp:nextLine', actions.nextLine);
        $(window).on('nativeApp:previousLine', actions.previousLine);
        $(window).on('nativeApp:volumeChanged', function (e, v) {
            player.volume = L.controls.clampVolume(Number(v));
            player.muted = false;
            transport.showVolume();
        });
        $(window).on('nativeApp:resized', function () {
            $('body').toggleClass('compact', window.innerWidth < 760);
            lineList.mark(player.time, true);
        });

        $('#home-button').on('click', function () { transport.command('Stop'); });
        $('#fullscreen-state').on('click', actions.toggleFullScreen);
        // Lines at the top leave the picture below them to the page: a double click on it
        // switches full screen there as it does above the lines at the bottom.
        $(document).on('dblclick', function (e) {
            if (prefs.lineStyle().linePosition === 'top' &&
                !$(e.target).closest('#next-sub, .chrome, .panel, .overlay').length) {
                actions.toggleFullScreen();
            }
        });
        L.linestyle.wire($, $('#subtitle-menu'), prefs.lineStyle(), function (change) {
            prefs.setLineStyle(change);
            L.linestyle.apply(document.body, prefs.lineStyle());
        });
        $('#play-pause').on('click', actions.togglePlay);
        $('#prev-line').on('click', actions.previousLine);
        $('#next-line').on('click', actions.nextLine);
        $('#repeat-line').on('click', actions.repeatLine);
        $('#auto-pause').on('click', function () { setAutoPause(!settings.autoPause); });
        $('#mute').on('click', actions.toggleMute);
        $('#volume').on('input', function () { transport.setVolume(Number(this.value)); })
            .on('change', function () { this.blur(); });
        $('#practice-button').on('click', function () {
            var open = !$('#controls').hasClass('practice-open');
            $('#controls').toggleClass('practice-open', open);
            $(this).attr('aria-expanded', String(open));
        });
        $('#loop-line').on('click', actions.loopLine);
        $('#ab-loop').on('click', actions.loopStretch);
        $('#slow-line').on('click', actions.slowReplay);
        $('#slower-line').on('click', actions.slowerReplay);
        $('#repeat-times').on('change', function () {
            actions['repeat' + this.value]();
            this.blur();
        });
        $('#say-line').on('click', actions.sayLine);
        $('#say-word').on('click', function () { if (lookup.answer) sayIt.say(lookup.answer.matched); });
        $('#record-line').on('click', actions.recordLine);
        $('#compare-line').on('click', actions.compareLine);
        $('#voice').val(prefs.player().voice).on('change', function () {
            prefs.setPlayer({ voice: this.value });
            this.blur();
        });
        $('#line-native').on('mouseenter', function () { setPeek(true); }).on('mouseleave', function () { setPeek(false); });
        $(document).on('keyup', function (e) { if (e.key === 'g' || e.key === 'G') setPeek(false); });
        $('#line-search').on('input', function () { showSearch(this.value); }).on('keydown', function (e) {
            if (e.key !== 'Enter') return;
            e.preventDefault();
            jumpToFound($('#line-results li[data-line]').first());
        });
        $('#line-results').on('click', 'li[data-line]', function () { jumpToFound($(this)); });
        controls.wire({
            seek: function (seconds) { practice.stop(true); transport.seekTo(seconds); },
            speed: function (rate) { transport.setSpeed(rate); },
            audioTrack: function (index) { transport.setAudioTrack(index); }
        });
        panels.wire(document);
        lookup.wire(document.getElementById('line-target'), document.getElementById('word-card'));
        notebook.wire();
        $('#lines').on('click', 'li[data-index]', function () {
            var jump = transport.lineNav.jumpTo(lineList.track, Number($(this).data('index')));
            if (jump) transport.goToJump(jump);
        });

        // Clicks leave no focus behind, so Space and the arrows always reach the shortcuts.
        $(document).on('click', 'button', function () { this.blur(); });
        $(document).on('keydown', onKey);
        setInterval(function () { transport.showPlaying(); }, 300);
    }

    $(function () {
        var storage = null;
        try { storage = window.localStorage; } catch (e) { /* storage switched off */ }
        var match = /[?&]videoId=(\d{1,20})(?:&|$)/.exec(window.location.search);
        videoId = match ? match[1] : null;
        var bridge = L.bridge.forPage(window, $);
        prefs = new L.prefs.Prefs(storage);
        settings = prefs.player();
        nativeCode = L.languages.initial(prefs.language(), navigator.languages);
        controls = new L.controls.Controls($, document);
        panels = new L.panels.Panels($, function (id) { if (id === 'line-list') refreshList(); });
        autoPause = new L.autopause.AutoPause(function () {
            if (practice.active()) return;  // the line plays again instead
            transport.command('Pause');
            toast(L10n.text('Paused at the end of the line · Space goes on, R repeats'));
        });
        transport = new L.transport.Transport({
            bridge: bridge, playState: new L.playstate.PlayState(), lineNav: new L.linenav.LineNavigator(),
            autoPause: autoPause, view: controls, toast: toast, followed: followed
        });
        player = transport.player;
        practice = new L.practise.Practice({ transport: transport, followed: followed, toast: toast, shown: showPractice });
        sayIt = new L.sayit.SayIt({
            transport: transport, playState: transport.playState, toast: toast, practice: practice,
            audio: function (url) { return new window.Audio(url); },
            voice: function () { return prefs.player().voice; },
            media: navigator.mediaDevices, Recorder: window.MediaRecorder,
            objectUrl: function (blob) { return URL.createObjectURL(blob); },
            revokeUrl: function (url) { URL.revokeObjectURL(url); },
            setTimeout: function (fn, ms) { return window.setTimeout(fn, ms); },
            clearTimeout: function (id) { window.clearTimeout(id); }
        });
        lineTracks = new L.tracks.LineTracks(nativeCode);
        if (videoId !== null) lineTracks.aligned = prefs.aligned(videoId);
        // Every word of the English line can be looked up, and is coloured by its status.
        wordStatus = new L.wordstatus.WordStatus({
            ajax: function (options) { return $.ajax(options); }, changed: statusesChanged
        });
        $('body').toggleClass('mark-new', settings.markNew === true);
        views = {
            target: new L.linerender.LineView(document, document.getElementById('line-target'), function (doc, parent, text) {
                L.words.render(doc, parent, text);
                wordStatus.paintLine(parent);
            }),
            native: new L.linerender.LineView(document, document.getElementById('line-native'))
        };
        lineList = new L.linelist.LineList(document, $('#line-list'), $('#lines'));
        lineList.countNew = function (text) { return wordStatus.countNew(text); };
        subtitleMenu = new L.subtitlemenu.SubtitleMenu($, $('#subtitle-menu'), {
            choose: chooseTrack, shift: shiftLine, show: setLineShown, align: setAligned,
            addFile: function (file) { files.add(file, onAdded); }
        });
        lookup = new L.wordlookup.WordLookup({
            $: $, document: document, window: window, transport: transport, toast: toast,
            ajax: function (options) { return $.ajax(options); },
            nativeCode: function () { return nativeCode; },
            closed: function () { renderLines(); },
            statuses: wordStatus,
            language: function () { return L.languages.label(nativeCode); }
        });
        notebook = new L.notebooksave.NotebookSave({
            $: $, document: document, ajax: function (options) { return $.ajax(options); },
            videoId: videoId, lookup: lookup, time: function () { return player.time; },
            tracks: function () { return { target: lineTracks.track('target'), native: lineTracks.track('native') }; },
            language: function () { return L.languages.label(nativeCode); }
        });
        files = new L.subtitlefiles.SubtitleFiles({
            videoId: videoId, toast: toast, ajax: function (options) { return $.ajax(options); }
        });

        L.labels.apply($, L.labels.PLAYER);
        new ResizeObserver(function () {
            document.body.style.setProperty('--controls-height', $('#controls').outerHeight() + 'px');
        }).observe($('#controls')[0]);
        // The rates as the learner's language writes numbers (0,75× in German).
        $('#slow-line').text(L.timefmt.formatSpeed(L.practise.SLOW_RATES[0]));
        $('#slower-line').text(L.timefmt.formatSpeed(L.practise.SLOW_RATES[1]));
        L.linestyle.apply(document.body, prefs.lineStyle());
        wire();
        setAutoPause(settings.autoPause);
        controls.showFullscreen(false);
        transport.showVolume();
        controls.showSpeed(player.speed);
        subtitleMenu.build(lineTracks, settings, lineTitle('native'));
        subtitleMenu.showAlignment(lineTracks.aligned, null);
        L.playervalues.askAll(bridge, replies);
        files.load(onTracks);
        panels.showChrome();
    });
})();
