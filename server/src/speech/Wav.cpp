// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/Wav.h"

namespace lirra::server::speech {
namespace {

void put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

std::string wavFile(const std::vector<std::int16_t>& samples, int sampleRate) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    put(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    put(out, 16, 4);  // the format chunk's size
    put(out, 1, 2);   // PCM
    put(out, 1, 2);   // one channel
    put(out, static_cast<std::uint32_t>(sampleRate), 4);
    put(out, static_cast<std::uint32_t>(sampleRate) * 2, 4);  // bytes a second
    put(out, 2, 2);                                           // bytes a frame
    put(out, 16, 2);                                          // bits a sample
    out += "data";
    put(out, dataBytes, 4);
    for (const std::int16_t s : samples) put(out, static_cast<std::uint16_t>(s), 2);
    return out;
}

}  // namespace lirra::server::speech
