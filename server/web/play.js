// Player page: two subtitle lines over the video (English and the learner's language), the
// controls, the learner's line-by-line tools and the shortcuts. Everything is drawn over the
// video; the page speaks to the player only through the bridge.
(function () {
    'use strict';

    var L = window.Lirra;
    var SPEEDS = [0.5, 0.6, 0.75, 0.85, 1, 1.1, 1.25, 1.5, 1.75, 2];
    var VOLUME_STEP = 10;          // on the engine's 0..200 scale: 5 %
    var SEEK_STEP_S = 5;
    var IDLE_MS = 2500;            // controls fade after this long without the mouse
    var ASK_TRIES = 3;             // each value is asked again after a dropped request
    var MAX_FILE_BYTES = 8 * 1024 * 1024;
    var LINES = ['target', 'native'];
    var TRACK_TIMEOUT_MS = 8000;
    var TRACK_RETRY_MS = [1000, 2000, 4000, 8000];  // waits before asking for the tracks again

    var bridge, prefs, lineNav, autoPause, playState;
    var videoId = null;
    var nativeCode = L.languages.DEFAULT_CODE;
    var tracks = [];
    var lines = {
        target: { trackId: null, track: null, offset: 0, shown: '', element: null },
        native: { trackId: null, track: null, offset: 0, shown: '', element: null }
    };
    var settings = null;
    var player = { time: null, duration: null, volume: 200, muted: false, speed: 1,
                   audio: null, fullscreen: false, fileName: '' };
    var seeking = false;
    var listShownFor = null;
    var listCurrent = -1;
    var idleTimer = null;
    var toastTimer = null;

    // ---- the bridge ----

    function command(name, args) {
        if (name === 'Play') playState.commanded(true);
        if (name === 'Pause') playState.commanded(false);
        bridge.command(name, args);
        updatePlayButton();
    }

    function ask(name, apply, tries) {
        tries = tries || ASK_TRIES;
        bridge.request(name, apply, function () {
            if (tries > 1) ask(name, apply, tries - 1);
        });
    }

    function askPlayerValues() {
        ask('Duration', function (ms) {
            if (typeof ms !== 'number' || !isFinite(ms) || ms < 0) return;
            player.duration = ms;
            $('#seek').attr('max', Math.floor(ms / 1000));
            $('#time-duration').text(L.timefmt.formatClock(ms));
        });
        ask('Volume', function (v) {
            if (typeof v !== 'number' || !isFinite(v)) return;
            player.volume = Math.max(0, Math.min(200, Math.round(v)));
            updateVolume();
        });
        ask('PlaybackSpeed', function (rate) {
            if (typeof rate !== 'number' || !isFinite(rate) || rate <= 0) return;
            player.speed = rate;
            updateSpeed();
        });
        ask('AudioInfo', function (info) {
            if (!info || typeof info !== 'object' || !info.audioTracks) return;
            player.audio = info;
            buildAudioMenu();
        });
        ask('IsFullscreen', function (on) {
            if (typeof on === 'boolean') setFullscreen(on);
        });
        ask('FileName', function (name) {
            if (typeof name === 'string' && name) setFileName(name);
        });
    }

    // ---- subtitles ----

    function navTrack() {
        var t = lines.target.track;
        if (t && t.size() && settings.showTarget) return t;
        var n = lines.native.track;
        if (n && n.size()) return n;
        return t && t.size() ? t : null;
    }

    function trackById(id) {
        for (var i = 0; i < tracks.length; ++i) if (tracks[i].subtitleId === id) return tracks[i];
        return null;
    }

    function chooseTrack(line, saved) {
        if (saved === -1) return -1;
        if (saved !== null && trackById(saved)) return saved;
        var pick = function (test) {
            for (var i = 0; i < tracks.length; ++i) if (test(tracks[i])) return tracks[i].subtitleId;
            return null;
        };
        if (line === 'target') {
            var english = pick(function (t) { return t.language === 'eng'; });
            if (english !== null) return english;
            var unknown = pick(function (t) { return t.language === ''; });
            return unknown !== null ? unknown : -1;
        }
        var own = pick(function (t) {
            return t.language === nativeCode && t.subtitleId !== lines.target.trackId;
        });
        return own !== null ? own : -1;
    }

    function setLineTrack(line, id) {
        var l = lines[line];
        var data = id === -1 ? null : trackById(id);
        l.trackId = data ? id : -1;
        l.track = data ? new L.cues.CueTrack(data.cues, l.offset) : null;
        l.shown = null;
    }

    function saveVideo() {
        if (videoId === null) return;
        prefs.setVideo(videoId, {
            target: { track: lines.target.trackId, offset: lines.target.offset },
            native: { track: lines.native.trackId, offset: lines.native.offset }
        });
    }

    function applyTracks() {
        var saved = prefs.video(videoId);
        LINES.forEach(function (line) { lines[line].offset = saved[line].offset; });
        setLineTrack('target', chooseTrack('target', saved.target.track));
        setLineTrack('native', chooseTrack('native', saved.native.track));
        buildSubtitleMenu();
        renderLines();
        refreshList();
    }

    // The page may come up while the app is still handing the service the files it found, and
    // a busy engine can hold the first request back for seconds: a failed or empty answer is
    // asked again a few times before the learner is told.
    function loadTracks(attempt) {
        attempt = attempt || 0;
        if (videoId === null) return $.Deferred().reject().promise();
        var last = attempt + 1 >= TRACK_RETRY_MS.length;
        var again = function () {
            setTimeout(function () { loadTracks(attempt + 1); }, TRACK_RETRY_MS[attempt]);
        };
        return $.ajax({ url: '../api/videos/' + videoId + '/tracks', dataType: 'json',
                        cache: false, timeout: TRACK_TIMEOUT_MS }).done(function (data) {
            var held = data && $.isArray(data.tracks) ? data.tracks : [];
            if (!player.fileName && data && typeof data.fileName === 'string') setFileName(data.fileName);
            // A file the learner added meanwhile is kept.
            if (held.length || !tracks.length) {
                tracks = held;
                applyTracks();
            }
            if (!tracks.length) {
                if (!last) again();
                else toast('No subtitles yet: add a file in the Subtitles menu.');
            }
        }).fail(function () {
            if (!last) again();
            else toast('The subtitles could not be loaded.');
        });
    }

    // Puts the cues showing at the current time into the line's element, as text.
    function renderLine(line, force) {
        var l = lines[line];
        var visible = line === 'target' ? settings.showTarget : settings.showNative;
        var active = visible && l.track && player.time !== null ? l.track.activeAt(player.time) : [];
        var key = active.join(',');
        if (!force && key === l.shown) return;
        l.shown = key;
        var el = l.element;
        el.textContent = '';
        if (!active.length) return;
        var box = document.createElement('span');
        box.className = 'sub-text';
        active.forEach(function (index, n) {
            if (n > 0) box.appendChild(document.createElement('br'));
            L.cuetext.render(document, box, l.track.cues[index].text);
        });
        el.appendChild(box);
    }

    function renderLines(force) {
        renderLine('target', force);
        renderLine('native', force);
        $('#line-target').toggleClass('off', !settings.showTarget);
        $('#line-native').toggleClass('off', !settings.showNative);
    }

    // ---- the clock ----

    function onTime(ms) {
        var t = typeof ms === 'number' && isFinite(ms) ? ms : null;
        player.time = t;
        lineNav.position(t);
        playState.clock(t);
        if (t !== null) autoPause.update(t, navTrack());
        renderLines();
        if (t !== null && !seeking) {
            $('#seek').val(Math.floor(t / 1000));
            $('#time-current').text(L.timefmt.formatClock(t));
        }
        markListLine();
        updatePlayButton();
    }

    // ---- commands from controls and keys ----

    function togglePlay() {
        command(playState.isPlaying() ? 'Pause' : 'Play');
    }

    function jumpLine(kind) {
        var track = navTrack();
        var jump = lineNav.jump(track, kind);
        if (!jump) {
            toast(track ? (kind === 'next' ? 'That was the last line.' : 'No line before this one.')
                        : 'No subtitles to move through.');
            return;
        }
        goToJump(jump);
    }

    function goToJump(jump) {
        autoPause.jumped(jump.target);
        command('SeekTo', { position: jump.seconds });
        command('Play');
    }

    function seekTo(seconds) {
        var max = player.duration !== null ? Math.floor(player.duration / 1000) : Infinity;
        var position = Math.max(0, Math.min(max, Math.floor(seconds)));
        lineNav.forget();
        autoPause.seeked();
        command('SeekTo', { position: position });
    }

    function seekBy(seconds) {
        if (player.time === null) return;
        seekTo(Math.floor(player.time / 1000) + seconds);
    }

    function setVolume(v) {
        player.volume = Math.max(0, Math.min(200, Math.round(v)));
        player.muted = false;  // the player unmutes on every volume change
        command('SetVolume', { volume: player.volume });
        updateVolume();
    }

    function toggleMute() {
        player.muted = !player.muted;
        command('SetMuted', { muted: player.muted });
        updateVolume();
        toast(player.muted ? 'Muted' : 'Sound on');
    }

    function setSpeed(rate) {
        player.speed = rate;
        command('SetPlaybackSpeed', { speed: rate });
        updateSpeed();
        toast('Speed ' + L.timefmt.formatSpeed(rate));
    }

    function stepSpeed(direction) {
        var i = 0;
        while (i < SPEEDS.length - 1 && SPEEDS[i] < player.speed - 1e-6) ++i;
        var at = Math.abs(SPEEDS[i] - player.speed) < 1e-6;
        var next = direction > 0 ? (at ? i + 1 : i) : i - 1;
        if (next < 0 || next >= SPEEDS.length) return;
        setSpeed(SPEEDS[next]);
    }

    function setAutoPause(on) {
        settings.autoPause = on;
        autoPause.setEnabled(on);
        prefs.setPlayer({ autoPause: on });
        $('#auto-pause').attr('aria-pressed', String(on)).toggleClass('on', on);
    }

    function setLineShown(line, on) {
        if (line === 'target') settings.showTarget = on; else settings.showNative = on;
        prefs.setPlayer(line === 'target' ? { showTarget: on } : { showNative: on });
        $('#subtitle-menu [data-line="' + line + '"] .show-line').prop('checked', on);
        renderLines(true);
        refreshList();
    }

    function changeOffset(line, delta) {
        var l = lines[line];
        l.offset = L.cues.clampOffset(delta === null ? 0 : l.offset + delta);
        if (l.track) l.track.setOffset(l.offset);
        saveVideo();
        autoPause.seeked();
        renderLines(true);
        refreshList();
        updateOffsets();
        toast(lineTitle(line) + ' timing ' + L.timefmt.formatOffset(l.offset));
    }

    // ---- what the controls show ----

    function updatePlayButton() {
        var playing = playState.isPlaying();
        $('#play-pause use').attr('href', playing ? '#i-pause' : '#i-play');
        $('#play-pause').attr('aria-label', playing ? 'Pause' : 'Play');
        $('body').toggleClass('paused', !playing);
    }

    function updateVolume() {
        $('#volume').val(player.volume);
        $('#volume-value').text(player.muted ? 'Muted' : L.timefmt.formatVolume(player.volume));
        $('#mute use').attr('href', player.muted || player.volume === 0 ? '#i-muted' : '#i-volume');
    }

    function updateSpeed() {
        $('#speed-button').text(L.timefmt.formatSpeed(player.speed));
        $('#speed-menu button').each(function () {
            $(this).toggleClass('current', Math.abs(Number($(this).data('speed')) - player.speed) < 1e-6);
        });
    }

    function setFullscreen(on) {
        player.fullscreen = on;
        $('body').toggleClass('fullscreen', on);
        $('#fullscreen-state').text(on ? 'Full screen · double-click the picture to leave'
                                       : 'Double-click the picture for full screen');
    }

    function setFileName(name) {
        player.fileName = name;
        $('#file-name').text(name).attr('title', name);
        document.title = name + ' — Lirra';
    }

    function lineTitle(line) {
        return line === 'target' ? 'English' : L.languages.label(nativeCode);
    }

    function buildAudioMenu() {
        var menu = $('#audio-menu').empty();
        var entries = Object.keys(player.audio.audioTracks).map(function (name) {
            return { name: name, index: Number(player.audio.audioTracks[name]) };
        }).filter(function (e) { return isFinite(e.index); });
        entries.sort(function (a, b) { return a.index - b.index; });
        $('<h3>').text('Audio track').appendTo(menu);
        entries.forEach(function (e) {
            $('<button type="button" role="menuitemradio">').text(e.name).attr('data-track', e.index)
                .toggleClass('current', e.index === Number(player.audio.audioTrack))
                .appendTo(menu);
        });
        $('#audio-button').text(entries.length > 1 ? 'Audio (' + entries.length + ')' : 'Audio');
    }

    function trackLabel(t) {
        var lang = t.language ? L.languages.label(t.language) : 'Unknown language';
        return lang + ' · ' + t.fileName;
    }

    function buildSubtitleMenu() {
        $('#subtitle-menu .native-title').text(lineTitle('native') + ' line');
        LINES.forEach(function (line) {
            var box = $('#subtitle-menu [data-line="' + line + '"] .track-choices').empty();
            var add = function (id, text) {
                $('<button type="button" class="choice">').text(text).attr('data-track', id)
                    .toggleClass('current', lines[line].trackId === id).appendTo(box);
            };
            add(-1, 'None');
            tracks.forEach(function (t) { add(t.subtitleId, trackLabel(t)); });
        });
        updateOffsets();
        $('#subtitle-menu [data-line="target"] .show-line').prop('checked', settings.showTarget);
        $('#subtitle-menu [data-line="native"] .show-line').prop('checked', settings.showNative);
    }

    function updateOffsets() {
        LINES.forEach(function (line) {
            $('#subtitle-menu [data-line="' + line + '"] .offset-value')
                .text(L.timefmt.formatOffset(lines[line].offset));
        });
    }

    // ---- the list of all lines ----

    function refreshList() {
        if ($('#line-list').prop('hidden')) return;
        var track = navTrack();
        var list = $('#lines').empty();
        listShownFor = track;
        listCurrent = -1;
        if (!track) {
            $('<li class="empty">').text('No subtitles for this video yet.').appendTo(list);
            return;
        }
        // Each line with its translation: the other line's cue showing at its middle.
        var other = lines.native.track !== track ? lines.native.track : lines.target.track;
        if (!other || !(other === lines.native.track ? settings.showNative : settings.showTarget)) other = null;
        var items = [];
        for (var i = 0; i < track.size(); ++i) {
            var li = document.createElement('li');
            li.setAttribute('data-index', i);
            var time = document.createElement('span');
            time.className = 'at';
            time.textContent = L.timefmt.formatClock(Math.max(0, track.videoStart(i)));
            var text = document.createElement('span');
            text.className = 'text';
            L.cuetext.render(document, text, track.cues[i].text);
            var match = other ? other.lineAt((track.videoStart(i) + track.videoEnd(i)) / 2) : -1;
            if (match >= 0) {
                var translation = text.appendChild(document.createElement('span'));
                translation.className = 'translation';
                L.cuetext.render(document, translation, other.cues[match].text);
            }
            li.appendChild(time);
            li.appendChild(text);
            items.push(li);
        }
        list.append(items);
        markListLine(true);
    }

    function markListLine(scroll) {
        if ($('#line-list').prop('hidden') || !listShownFor || player.time === null) return;
        var index = listShownFor.currentLine(player.time);
        if (index === listCurrent && !scroll) return;
        listCurrent = index;
        var items = $('#lines li');
        items.removeClass('current');
        if (index < 0) return;
        var item = items.eq(index).addClass('current');
        if (item.length && item[0].scrollIntoView) item[0].scrollIntoView({ block: 'center' });
    }

    // ---- panels, menus, the controls' fading ----

    function anyPanelOpen() {
        return $('.menu:not([hidden]), #line-list:not([hidden]), #help:not([hidden])').length > 0;
    }

    // While a panel is open the subtitle block reaches up over it, so that quick clicks in
    // the panel stay with the page instead of switching full screen.
    function panelsChanged() {
        $('body').toggleClass('panel-open', anyPanelOpen())
            .toggleClass('subtitle-menu-open', !$('#subtitle-menu').prop('hidden'))
            .toggleClass('list-open', !$('#line-list').prop('hidden'));
        showChrome();
    }

    function closeMenus(except) {
        $('.menu').not(except || []).prop('hidden', true);
        $('.menu-button').each(function () {
            $(this).toggleClass('open', !$('#' + $(this).data('menu')).prop('hidden'));
        });
    }

    function toggleMenu(id) {
        var menu = $('#' + id);
        var open = menu.prop('hidden');
        closeMenus(menu);
        menu.prop('hidden', !open);
        $('.menu-button[data-menu="' + id + '"]').toggleClass('open', open);
        panelsChanged();
    }

    function togglePanel(id, open) {
        var panel = $('#' + id);
        if (open === undefined) open = panel.prop('hidden');
        panel.prop('hidden', !open);
        if (id === 'line-list' && open) refreshList();
        panelsChanged();
    }

    function showChrome() {
        $('body').addClass('chrome-visible');
        clearTimeout(idleTimer);
        idleTimer = setTimeout(function () {
            if (anyPanelOpen() || $('.chrome:hover').length) {
                showChrome();
                return;
            }
            $('body').removeClass('chrome-visible');
        }, IDLE_MS);
    }

    function toast(text) {
        var el = $('#toast').text(text).addClass('visible');
        clearTimeout(toastTimer);
        toastTimer = setTimeout(function () { el.removeClass('visible'); }, 2200);
    }

    // ---- adding a subtitle file ----

    function addSubtitleFile(file) {
        if (!file || videoId === null) return;
        if (!/\.(srt|sub|vtt)$/i.test(file.name)) {
            toast('Choose a .srt, .sub or .vtt file.');
            return;
        }
        if (file.size > MAX_FILE_BYTES) {
            toast('That file is too large for a subtitle file.');
            return;
        }
        var form = new FormData();
        form.append('file', file, file.name);
        toast('Adding ' + file.name + '…');
        $.ajax({ url: '../api/videos/' + videoId + '/subtitles', method: 'POST', data: form,
                 processData: false, contentType: false, dataType: 'json' })
            .done(function (data) {
                var added = data && $.isArray(data.tracks) ? data.tracks : [];
                if (!added.length) {
                    toast('No subtitles were found in ' + file.name + '.');
                    return;
                }
                tracks = tracks.concat(added);
                var first = added[0];
                var line = first.language === 'eng' ? 'target' : 'native';
                setLineTrack(line, first.subtitleId);
                saveVideo();
                buildSubtitleMenu();
                renderLines(true);
                refreshList();
                toast('Added ' + first.fileName + ' to the ' + lineTitle(line) + ' line.');
            })
            .fail(function (xhr) {
                var message = xhr.responseJSON && typeof xhr.responseJSON.error === 'string'
                    ? xhr.responseJSON.error : 'the service did not answer';
                toast('Could not add ' + file.name + ': ' + message);
            });
    }

    // ---- keys ----

    function onKey(e) {
        if (e.ctrlKey || e.altKey || e.metaKey) return;
        // A focused form field keeps its own keys (Space on a checkbox ticks it).
        if ($(e.target).is('input:not([type=range]), select, textarea') && e.key !== 'Escape') return;
        var key = e.key;
        switch (key) {
            case ' ': case 'Spacebar': togglePlay(); break;
            case 'ArrowLeft': if (e.shiftKey) seekBy(-SEEK_STEP_S); else jumpLine('previous'); break;
            case 'ArrowRight': if (e.shiftKey) seekBy(SEEK_STEP_S); else jumpLine('next'); break;
            case 'ArrowUp': setVolume(player.volume + VOLUME_STEP); toast('Volume ' + L.timefmt.formatVolume(player.volume)); break;
            case 'ArrowDown': setVolume(player.volume - VOLUME_STEP); toast('Volume ' + L.timefmt.formatVolume(player.volume)); break;
            case 'r': case 'R': jumpLine('repeat'); break;
            case 'p': case 'P':
                setAutoPause(!settings.autoPause);
                toast(settings.autoPause ? 'Auto-pause on: the video stops after every line'
                                         : 'Auto-pause off');
                break;
            case 't': case 'T':
                setLineShown('native', !settings.showNative);
                toast(lineTitle('native') + ' line ' + (settings.showNative ? 'shown' : 'hidden'));
                break;
            case '[': stepSpeed(-1); break;
            case ']': stepSpeed(1); break;
            case 'm': case 'M': toggleMute(); break;
            case 'l': case 'L': togglePanel('line-list'); break;
            case '?': case 'h': case 'H': togglePanel('help'); break;
            case 'Escape': closeMenus(); togglePanel('help', false); togglePanel('line-list', false); break;
            default: return;
        }
        e.preventDefault();
        showChrome();
    }

    // ---- wiring ----

    function readVideoId() {
        var match = /[?&]videoId=(\d{1,20})(?:&|$)/.exec(window.location.search);
        return match ? match[1] : null;
    }

    function wire() {
        $(window).on('timeUpdate', function (e, ms) { onTime(ms); });
        $(window).on('nativeApp:enteredFullscreen', function () { setFullscreen(true); });
        $(window).on('nativeApp:leftFullscreen', function () { setFullscreen(false); });
        $(window).on('nativeApp:resized', function () {
            $('body').toggleClass('compact', window.innerWidth < 760);
            markListLine(true);
        });

        $('#home-button').on('click', function () { command('Stop'); });
        $('#play-pause').on('click', togglePlay);
        $('#prev-line').on('click', function () { jumpLine('previous'); });
        $('#next-line').on('click', function () { jumpLine('next'); });
        $('#repeat-line').on('click', function () { jumpLine('repeat'); });
        $('#auto-pause').on('click', function () { setAutoPause(!settings.autoPause); });
        $('#mute').on('click', toggleMute);
        $('#volume').on('input', function () { setVolume(Number(this.value)); });
        $('#seek').on('input', function () {
            seeking = true;
            $('#time-current').text(L.timefmt.formatClock(Number(this.value) * 1000));
        }).on('change', function () {
            seeking = false;
            seekTo(Number(this.value));
            this.blur();
        });
        $('.menu-button').on('click', function () { toggleMenu($(this).data('menu')); });
        $('#list-button').on('click', function () { togglePanel('line-list'); });
        $('#help-button').on('click', function () { togglePanel('help'); });
        $('[data-close]').on('click', function () { togglePanel($(this).data('close'), false); });
        $('#help').on('click', function (e) { if (e.target === this) togglePanel('help', false); });

        var menu = $('#speed-menu');
        $('<h3>').text('Speed').appendTo(menu);
        SPEEDS.forEach(function (s) {
            $('<button type="button" role="menuitemradio">').text(L.timefmt.formatSpeed(s))
                .attr('data-speed', s).appendTo(menu);
        });
        menu.on('click', 'button', function () { setSpeed(Number($(this).data('speed'))); });
        $('#audio-menu').on('click', 'button', function () {
            var track = Number($(this).data('track'));
            command('SetAudioTrack', { track: track });
            if (player.audio) player.audio.audioTrack = track;
            $('#audio-menu button').removeClass('current');
            $(this).addClass('current');
        });
        $('#subtitle-menu').on('click', '.choice', function () {
            var line = $(this).closest('[data-line]').data('line');
            setLineTrack(line, Number($(this).data('track')));
            saveVideo();
            buildSubtitleMenu();
            renderLines(true);
            refreshList();
        }).on('click', '.offset-minus, .offset-plus, .offset-reset', function () {
            var line = $(this).closest('[data-line]').data('line');
            var delta = $(this).hasClass('offset-reset') ? null
                : $(this).hasClass('offset-plus') ? L.cues.OFFSET_STEP_MS : -L.cues.OFFSET_STEP_MS;
            changeOffset(line, delta);
        }).on('change', '.show-line', function () {
            setLineShown($(this).closest('[data-line]').data('line'), this.checked);
            this.blur();
        });
        $('#subtitle-file').on('change', function () {
            addSubtitleFile(this.files && this.files[0]);
            this.value = '';
        });
        $('#lines').on('click', 'li[data-index]', function () {
            var jump = lineNav.jumpTo(listShownFor, Number($(this).data('index')));
            if (jump) goToJump(jump);
        });

        // Clicks leave no focus behind, so Space and the arrows always reach the shortcuts.
        $(document).on('click', 'button', function () { this.blur(); });
        $(document).on('mousedown', function (e) {
            if (!$(e.target).closest('.menu, .menu-button').length) {
                if ($('.menu:not([hidden])').length) { closeMenus(); panelsChanged(); }
            }
        });
        $(document).on('keydown', onKey);
        $(document).on('mousemove mousedown wheel', showChrome);
        setInterval(updatePlayButton, 300);
    }

    $(function () {
        bridge = L.bridge.forPage(window, $);
        var storage = null;
        try { storage = window.localStorage; } catch (e) { /* storage switched off */ }
        prefs = new L.prefs.Prefs(storage);
        lineNav = new L.linenav.LineNavigator();
        playState = new L.playstate.PlayState();
        autoPause = new L.autopause.AutoPause(function () {
            command('Pause');
            toast('Paused at the end of the line · Space goes on, R repeats');
        });
        settings = prefs.player();
        nativeCode = prefs.language() || L.languages.DEFAULT_CODE;
        videoId = readVideoId();
        lines.target.element = document.getElementById('line-target');
        lines.native.element = document.getElementById('line-native');

        wire();
        setAutoPause(settings.autoPause);
        setFullscreen(false);
        updateVolume();
        updateSpeed();
        buildSubtitleMenu();
        askPlayerValues();
        loadTracks();
        showChrome();
    });
})();
