// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/cues_silent.h"

// Nothing is played; each cue is only counted.

CueTally cueTally;

void playBumpSound(int which)
{
    cueTally.bump[which] += !cueTally.muted;
}
void playBumpSmall()
{
    cueTally.bumpSmall += !cueTally.muted;
}
void playGrowth()
{
    cueTally.growth += !cueTally.muted;
}
void playSpeed()
{
    cueTally.speed += !cueTally.muted;
}
void playResistance()
{
    cueTally.resistance += !cueTally.muted;
}
void playBomb()
{
    cueTally.bomb += !cueTally.muted;
}
void playWhee()
{
    cueTally.whee += !cueTally.muted;
}
void playWin()
{
    cueTally.win += !cueTally.muted;
}
void playLose()
{
    cueTally.lose += !cueTally.muted;
}
void playMusic1()
{
    ++cueTally.music1;
}
void playMusic2()
{
    ++cueTally.music2;
}
void pauseAudio()
{
    ++cueTally.pause;
}
void resumeAudio()
{
    ++cueTally.resume;
}
void volumeDown()
{
    ++cueTally.volumeDown;
}
void volumeUp()
{
    ++cueTally.volumeUp;
}
void muteEffects(bool muted)
{
    cueTally.muted = muted;
}
