// SPDX-License-Identifier: GPL-3.0-or-later
// A RIFF/WAVE file of 16-bit little-endian PCM, mono: what every browser plays.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lirra::server::speech {

std::string wavFile(const std::vector<std::int16_t>& samples, int sampleRate);

}  // namespace lirra::server::speech
