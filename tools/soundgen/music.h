// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The three music tracks: the two main themes and the boost theme.

#include "dsp.h"
#include "sequencer.h"

namespace sg
{

const SongDef &music1aSong(); // F major, the opening theme
const SongDef &music1bSong(); // C major, same tempo
const SongDef &music2Song();  // D minor, faster: the boost theme

Stereo renderMusic1a();
Stereo renderMusic1b();
Stereo renderMusic2();

// Music peaks here, well under the effects.
constexpr double kMusicPeakDb = -10.0;

} // namespace sg
