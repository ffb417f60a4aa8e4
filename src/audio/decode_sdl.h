// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Sound files read whole, decoded and resampled where the mixer would change their pitch.

#include <string>

struct Mix_Chunk;

// The file `name` as a sample in the open mixer's format; null, with the
// reason in `why`, when it does not load.
Mix_Chunk *loadChunk(const char *name, std::string &why);
