// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the rules and the keys ask of the sound module. Every call is fire and
// forget: the game plays them through the mixer (sound_sdl.cpp), the pure
// core's tests, the soak and the fuzzers through silence (cues_silent.cpp).

#include "core/random.h"

// 0, 1 or 2: bump, bump2 or bump3.
void playBumpSound(int which);
// A hard hit: one of three bumps. The draw is made with or without a sound
// card, so the game's random sequence is the same either way.
inline void playBump()
{
    playBumpSound(gameRand() % 3);
}
void playBumpSmall();
void playGrowth();
void playSpeed();
void playResistance();
void playBomb();
void playWhee();
void playWin();
void playLose();
// Called every frame: the next music track is the theme's (playMusic1) or
// the boost theme (playMusic2).
void playMusic1();
void playMusic2();
// Pause and volume, as the keys use them (effects and music).
void pauseAudio();
void resumeAudio();
void volumeDown();
void volumeUp();
