// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sg
{

// Encodes a stereo buffer at kRate (or the rate given) as Ogg Vorbis (VBR
// quality -0.1..1) with the given stream serial, so that the same input
// gives the same bytes.
std::vector<unsigned char> encodeVorbis(const Stereo &audio, float quality, int serial,
                                        const std::string &title, long rate = kRate);

// Decodes Ogg Vorbis bytes back to stereo; empty if they do not decode.
Stereo decodeVorbis(const std::vector<unsigned char> &bytes);

// Encodes so that the decoded file peaks at no more than peakDb: lossy coding
// can lift peaks a little, so a file that comes back too hot is scaled down
// and encoded again.
std::vector<unsigned char> encodeVorbisAtPeak(Stereo audio, float quality, int serial,
                                              const std::string &title, double peakDb);

bool writeFile(const std::string &path, const std::vector<unsigned char> &bytes);

} // namespace sg
