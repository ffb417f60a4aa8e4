// SPDX-License-Identifier: GPL-3.0-or-later
// Whole matches through the shared driver, seeded and scripted, against the
// record of what happened: every rule of play leaves its mark on when the
// balls hit, who collects what, who falls and who wins, and on the exact
// state at the end. On a mismatch the test prints what it saw; a deliberate
// change of the rules updates the record with it.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "audio/cues_silent.h"
#include "core/random.h"
#include "play_driver.h"
#include "replay/snapshot.h"

namespace
{

int sign(float v)
{
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

// Holds the keys that push player p toward (x, z), as a player's hands
// would: the arrows for player 1, W, A, S and D for player 2.
std::array<Push, 2> held{};
void steerToward(int p, float x, float z)
{
    using namespace play;
    static constexpr Key kKeys[2][4] = {{kLeft, kRight, kDown, kUp}, {kA, kD, kS, kW}};
    const Push want{sign(x - players[p].x), sign(players[p].z - z)}; // forward is -z
    const auto change = [](int &now, int to, Key minus, Key plus) {
        if (now != 0 && now != to)
            keyUp(now < 0 ? minus : plus);
        if (to != 0 && now != to)
            keyDown(to < 0 ? minus : plus);
        now = to;
    };
    change(held[p].x, want.x, kKeys[p][0], kKeys[p][1]);
    change(held[p].y, want.y, kKeys[p][2], kKeys[p][3]);
}

} // namespace

TEST(Match, ScriptedSessionLeavesTheRecordedTrail)
{
    std::FILE *quiet = std::fopen("/dev/null", "w");
    ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
    play::start(quiet, 2024);
    cueTally = {};
    // Frames at which a key goes down: the bot, a pause, the light, bullet
    // time, a growth and a speed boost of the F keys, super size and the still camera.
    const std::pair<int, play::Key> keys[] = {
        {0, play::kF4},     {700, play::kSpace}, {760, play::kSpace}, {100, play::kTwo},
        {1500, play::kF9},  {1800, play::kF9},   {2200, play::kF11},  {2500, play::kF11},
        {3000, play::kF4},  {4000, play::kF12},  {5000, play::kF10},  {5300, play::kF10},
        {5500, play::kOne}, {5600, play::kOne},  {6000, play::kF4}};
    // Player 2's aims while the bot is off, some beyond the edge.
    const float aims[][2] = {{7.5f, 7.5f}, {-3, 7.5f}, {12, 3}, {7.5f, 18}, {3, 12}, {18, 2}};
    std::string trail, mains;
    int decidedAt = -1, pauses = 0;
    for (int frame = 0; frame < 12000; ++frame) {
        for (const auto &[at, key] : keys)
            if (at == frame) {
                play::keyDown(key);
                if (key == play::kF4)
                    held[1] = {}; // the bot takes over or lets go of player 2's keys
            }
        if (endGame == 1 && frame - decidedAt == 300) {
            play::keyDown(play::kSpace);
            trail += std::to_string(frame) + "m ";
        }
        // Player 1 goes for a landed powerup, else hunts player 2 or wanders.
        const float *aim = aims[frame / 150 % 6];
        if (powerup.active == 1 && powerup.grounded == 1)
            steerToward(0, powerup.x, powerup.z);
        else if (frame / 700 % 3 == 0)
            steerToward(0, players[1].x, players[1].z);
        else
            steerToward(0, aim[0], aim[1]);
        if (toggleBot == 0)
            steerToward(1, aims[frame / 200 % 6][0], aims[frame / 200 % 6][1]);

        if (cueTally.pause + cueTally.resume > pauses) // the sound paused (p) or resumed (r)
            trail += std::to_string(frame) + (cueTally.pause > cueTally.resume ? "p " : "r ");
        pauses = cueTally.pause + cueTally.resume;
        if (frame == 5100) // super size: the balls' radius
            trail += std::to_string(players[0].radius).substr(0, 4) + "r ";
        const float bumpedAt = lastCollisionTime;
        const std::array<float, 2> timers{messages[0].timeleft, messages[1].timeleft};
        const int ended = endGame;
        runFrame(frame % 50 == 49 ? 0.3f : 1.0f / 60);
        ASSERT_EQ(play::firstFault(), nullptr) << "frame " << frame;

        if (lastCollisionTime != bumpedAt)
            trail += std::to_string(frame) + "b ";
        for (int p = 0; p < 2; ++p)
            if (messages[p].timeleft > timers[p])
                trail += std::to_string(frame) + messages[p].text[0] + std::to_string(p + 1) + " ";
        if (endGame != ended) {
            decidedAt = frame;
            mains += std::string(mainMessage.data()) + "|";
        }
    }
    std::fclose(quiet);
    destroyTerrains();
    // Frames of a bump (b), of a message's first letter to player 1 or 2
    // (h: har har, W: Winner!, G, S, R, B: a powerup) and of a new map (m).
    EXPECT_EQ(
        trail,
        "141b 246b 330b 466b 578b 696b 700p 760r 914h2 927h1 1279h1 1299h2 1562h1 1727G2 1999b "
        "2114h2 "
        "2133h1 2282b 2491b 2636h2 2772h1 2772W2 2937h2 3072m 3397h1 3636h1 3975h1 3992h2 "
        "4297h1 4563h1 4563W2 4827b 4863m 1.00r 5197h1 5239h2 5698h2 5761h1 6016h2 6283S1 6471b "
        "6553b 6621b 6761h2 6812h1 7012b 7178h1 7235W1 7235h2 7535m 7900b 8025h1 8477h1 "
        "8521h2 8635b 8852S2 8877b 9013h1 9362h1 9372h2 9693h1 9693W2 9966h2 9993m 10168b "
        "10485h2 10634b 10950h1 11152b 11326B1 11609h1 ");
    EXPECT_EQ(mains, "Bot won, you suck bad! press space to continue|Player 2 is the winner! press "
                     "space to continue|Player 1 is the winner! press space to continue|Bot won, "
                     "you suck bad! press space to continue|");
    EXPECT_EQ(players[0].score, 1);
    EXPECT_EQ(players[1].score, 2);
    EXPECT_STREQ(mainMessage.data(), "3 frags left !");
    EXPECT_EQ(digestText(stateDigest()), "b1bf685cc54500f9") << "the exact state at the end";
    // What the rules asked the sound to play: the three bumps, then small
    // bump, growth, speed, resistance, bomb, whee, win, lose and the frames
    // that asked for the theme or the boost music.
    const CueTally &t = cueTally;
    std::string sounds;
    for (int n : {t.bump[0], t.bump[1], t.bump[2], t.bumpSmall, t.growth, t.speed, t.resistance,
                  t.bomb, t.whee, t.win, t.lose, t.music1, t.music2})
        sounds += std::to_string(n) + " ";
    EXPECT_EQ(sounds, "3 4 9 4 1 2 0 1 36 2 2 10390 1610 ");
}
