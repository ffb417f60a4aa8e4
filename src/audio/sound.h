#pragma once

// Sound effects and the music rotation. Every call is fire-and-forget and a
// harmless no-op while no audio device is open.

struct Mix_Chunk;

// Opens the mixer (22050 Hz, S16LSB, stereo, 512); false if it failed.
bool openAudio();
void closeAudio();
bool audioOpen();

void initSound();
void loadSound(Mix_Chunk **sound, const char *name);
void playMusic();
void playMusic1();
void playMusic2();
void channelDone(int c);
void playBump();
void playBumpSmall();
void playGrowth();
void playSpeed();
void playResistance();
void playBomb();
void playWhee();
void playWin();
void playLose();
// Halts the music channel so no further track starts.
void stopMusic();
void freeSound();

// Pause and volume, as the keys use them (effects and music).
void pauseAudio();
void resumeAudio();
void volumeDown();
void volumeUp();
int effectsVolume();
int musicVolume();
// The music track now playing: 1 (music-1a), 2 (music-1b) or 0 (music-2).
int currentTrack();

// One volume step of 12 on the 0..128 scale, never past the ends.
int volumeStepDown(int volume);
int volumeStepUp(int volume);
