// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The game's sound module on SDL_mixer: the mixer, the fourteen samples,
// the music rotation and the keys' pause and volume. Every call is a
// harmless no-op while no audio device is open. The rules reach it only
// through audio/cues.h.

#include "audio/cues.h"

struct Mix_Chunk;

// Opens the mixer (22050 Hz, S16LSB, stereo, 512); false if it failed.
bool openAudio();
void closeAudio();
bool audioOpen();

void initSound();
// Decodes a file whole into a sample in the mixer's format, resampled where
// the mixer could not keep its pitch; a file that does not load is a null
// sample and one line on standard error.
void loadSound(Mix_Chunk **sound, const char *name);
void playMusic();
// The mixer's notification that channel c finished; it never waits.
void channelDone(int c);
// Halts the music channel so no further track starts.
void stopMusic();
void freeSound();

int effectsVolume();
int musicVolume();
// The music track now playing: 1 (music-1a), 2 (music-1b) or 0 (music-2).
int currentTrack();

// One volume step of 12 on the 0..128 scale, never past the ends.
int volumeStepDown(int volume);
int volumeStepUp(int volume);
