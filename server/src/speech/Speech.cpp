// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/Speech.h"

#include <espeak-ng/speak_lib.h>

#include <cstdint>
#include <iostream>
#include <vector>

#include "speech/Wav.h"

namespace lirra::server::speech {
namespace {

// The text as espeak-ng is given it: control characters as spaces, outer white space gone;
// none when it is not UTF-8 or too long.
std::optional<std::string> spokenText(std::string_view text) {
    std::string out;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xf0 && lead < 0xf5 ? 4
                                   : lead >= 0xe0                ? 3
                                   : lead >= 0xc2 && lead < 0xe0 ? 2
                                                                 : 0;
        if (length == 0 || i + length > text.size()) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) return std::nullopt;
        if (++characters > kMaxCharacters) return std::nullopt;
        if (length == 1 && (lead < 0x20 || lead == 0x7f)) {
            out.push_back(' ');
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// espeak-ng's samples for one synthesis, handed over in pieces.
int collect(short* samples, int count, espeak_EVENT* events) {
    if (samples && count > 0 && events) {
        auto* into = static_cast<std::vector<std::int16_t>*>(events->user_data);
        into->insert(into->end(), samples, samples + count);
    }
    return 0;  // go on
}

const char* voiceName(Voice voice) { return voice == Voice::Britain ? "en-gb" : "en-us"; }
// espeak-ng's voice files: British English is plain "en" (it knows no "en-gb" by that name).
const char* engineVoice(Voice voice) { return voice == Voice::Britain ? "en" : "en-us"; }

}  // namespace

std::optional<Voice> voiceNamed(std::string_view name) {
    if (name == "en-us") return Voice::UnitedStates;
    if (name == "en-gb") return Voice::Britain;
    return std::nullopt;
}

Speaker& Speaker::shared() {
    static Speaker speaker;
    return speaker;
}

Speaker::Speaker() {
    // Without DONT_EXIT a missing data folder ends the whole process.
    const int rate =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) {
        std::cerr << "speech: espeak-ng could not start (is espeak-ng-data installed?)\n";
        return;
    }
    sampleRate_ = rate;
    espeak_SetSynthCallback(collect);
}

bool Speaker::select(Voice voice) {
    if (sampleRate_ == 0) return false;
    if (current_ == voice) return true;
    current_.reset();
    if (espeak_SetVoiceByName(engineVoice(voice)) != EE_OK) return false;
    current_ = voice;
    return true;
}

Spoken Speaker::say(std::string_view text, Voice voice) {
    const std::optional<std::string> spoken = spokenText(text);
    if (!spoken) return {400, "give a text of 1 to 200 characters", nullptr, false};
    const std::string key = std::string(voiceName(voice)) + '\n' + *spoken;
    const std::lock_guard<std::mutex> hold(lock_);
    if (auto sound = cache_.find(key)) return {200, {}, std::move(sound), true};
    if (!select(voice)) return {503, "speech is not available", nullptr, false};
    std::vector<std::int16_t> samples;
    const espeak_ERROR error = espeak_Synth(spoken->c_str(), spoken->size() + 1, 0, POS_CHARACTER,
                                            0, espeakCHARS_UTF8, nullptr, &samples);
    if (error != EE_OK || samples.empty()) return {503, "speech failed", nullptr, false};
    auto sound = std::make_shared<const std::string>(wavFile(samples, sampleRate_));
    cache_.put(key, sound);
    return {200, {}, std::move(sound), false};
}

std::string Speaker::ipa(std::string_view text, Voice voice) {
    const std::optional<std::string> spoken = spokenText(text);
    if (!spoken) return {};
    const std::lock_guard<std::mutex> hold(lock_);
    if (!select(voice)) return {};
    std::string out;
    const void* rest = spoken->c_str();
    // One clause at a time; the pointer is null after the last.
    while (rest) {
        const char* phonemes = espeak_TextToPhonemes(&rest, espeakCHARS_UTF8, espeakPHONEMES_IPA);
        if (!phonemes || !*phonemes) continue;
        if (!out.empty()) out.push_back(' ');
        out += phonemes;
    }
    return out;
}

}  // namespace lirra::server::speech
