// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/cues_silent.h"

// Nothing is played; each cue is only counted.

CueTally cueTally;

void playBumpSound(int which)
{
    ++cueTally.bump[which];
}
void playBumpSmall()
{
    ++cueTally.bumpSmall;
}
void playGrowth()
{
    ++cueTally.growth;
}
void playSpeed()
{
    ++cueTally.speed;
}
void playResistance()
{
    ++cueTally.resistance;
}
void playBomb()
{
    ++cueTally.bomb;
}
void playWhee()
{
    ++cueTally.whee;
}
void playWin()
{
    ++cueTally.win;
}
void playLose()
{
    ++cueTally.lose;
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
