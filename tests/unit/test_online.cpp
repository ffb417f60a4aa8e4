// SPDX-License-Identifier: GPL-3.0-or-later
// Online play without a network: who steers player 2, what the host
// streams, and the digests that keep the two games in step.

#include <gtest/gtest.h>

#include <random>

#include "core/keys.h"
#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "net/online.h"
#include "play_driver.h"

namespace
{

using Events = std::vector<InputEvent>;
using namespace keys;

InputEvent down(int key)
{
    return {InputKind::KeyDown, 0, key, 0};
}
InputEvent up(int key)
{
    return {InputKind::KeyUp, 0, key, 0};
}
InputEvent axis(int pad, int which, int value)
{
    return {InputKind::PadAxis, pad, which, value};
}

// Runs one host frame on `own`; returns what the game applies and checks
// that the stream is that less the local keys.
Events frame(const Events &own)
{
    Events run, stream;
    hostFrameInputs(own, run, stream);
    Events shared;
    std::copy_if(run.begin(), run.end(), std::back_inserter(shared),
                 [](const InputEvent &e) { return !isLocalInput(e); });
    EXPECT_EQ(stream, shared);
    return run;
}

TEST(Online, PlayerTwoChangesHandsWithNoKeyLeftDown)
{
    resetGameState();
    game.net.role = NetRole::Host;
    toggleBot = 1;
    EXPECT_EQ(frame({down(kW), up(kD)}), Events{down(kW)}); // a release without its press
    friendJoined();
    const InputEvent hat{InputKind::PadHat, 1, 0, 0};
    EXPECT_EQ(frame({down(kF4), down(kS), down(kUp), axis(1, 0, 9000), down(kF5)}),
              (Events{down(kUp), down(kF5), up(kW), axis(1, 0, 0), axis(1, 1, 0), hat, down(kF4)}));

    // The friend's own keys only; a message with anything else goes whole.
    hostReceive({.kind = NetKind::Input, .events = {down(kA), down(kF1)}, .frame = 1});
    hostReceive(
        {.kind = NetKind::Input, .events = {down(kA), up(kS), axis(1, 1, 20000)}, .frame = 2});
    for (const std::uint32_t again : {2u, 4u}) // taken already; past a missing one
        hostReceive({.kind = NetKind::Input, .events = {down(kD)}, .frame = again});
    hostReceive({.kind = NetKind::Frame});
    EXPECT_EQ(game.net.dropped, 2u);
    EXPECT_EQ(frame({up(kW)}), (Events{down(kA), axis(1, 1, 20000)}));

    toggleBot = 0;
    friendLeft(); // and the bot back
    EXPECT_EQ(frame({}), (Events{up(kA), axis(1, 0, 0), axis(1, 1, 0), hat, down(kF4)}));
    EXPECT_STREQ(netNotice(4.0f), "Player 2 left");
    EXPECT_STREQ(netNotice(1.5f), "Player 2 left");
    game.net.port = 27016;
    EXPECT_STREQ(netNotice(0.1f), "Waiting for a friend on UDP port 27016");
    EXPECT_EQ(frame({down(kS)}), Events{down(kS)}); // the host's again
}

TEST(Online, AFrameStreamsWhatTheWireCarriesAndTheRestWaitsWhole)
{
    resetGameState();
    game.net.role = NetRole::Host;
    friendJoined();
    frame({});
    Events taps; // the friend's D, tapped as fast as one message holds
    for (std::size_t i = 0; i < kMaxEvents; ++i)
        taps.push_back(i % 2 ? up(kD) : down(kD));
    hostReceive({.kind = NetKind::Input, .events = taps, .frame = 1});
    hostReceive(
        {.kind = NetKind::Input, .events = {down(kA)}, .frame = 2}); // past a frame: refused
    EXPECT_EQ(game.net.dropped, 1u);
    Events first = frame({down(kF1), down(kSpace), down(kF5)}), all = first;
    EXPECT_EQ(first.size(), kMaxEvents + 1); // F5 is this screen's: not streamed
    for (Events next = frame({}); !next.empty(); next = frame({}))
        all.insert(all.end(), next.begin(), next.end());
    Events expected{down(kF1), down(kSpace), down(kF5)};
    expected.insert(expected.end(), taps.begin(), taps.end());
    EXPECT_EQ(all, expected);
    EXPECT_EQ(game.net.held, (std::array<std::uint8_t, 4>{0, 0, 0, 1}));
}

TEST(Online, TheJoinerGivesOnlyPlayerTwosInputs)
{
    const std::vector<std::pair<InputEvent, std::optional<InputEvent>>> cases{
        {down(kUp), down(kW)},
        {up(kLeft), up(kA)},
        {down(kDown), down(kS)},
        {up(kRight), up(kD)},
        {down(kSpace), down(kSpace)},
        {down(kF1), std::nullopt},
        {down(kF4), std::nullopt},
        {down(kF5), std::nullopt}, // the joiner's own view
        {axis(0, 1, -20000), axis(1, 1, -20000)},
        {axis(1, 0, 20000), std::nullopt},
        {{InputKind::PadButton, 0, 0, 0}, InputEvent{InputKind::PadButton, 1, 0, 0}},
        {{InputKind::PadButton, 0, 1, 0}, std::nullopt}, // Back is F1
    };
    for (const auto &[mine, sent] : cases)
        EXPECT_EQ(joinerSends(mine), sent) << mine.code;
}

TEST(Online, AnotherDigestForTheSameFrameAsksForTheWholeGameAndAnotherVersionIsRefused)
{
    resetGameState();
    game.net.linked = true;
    game.net.frame = 60;
    const bool early = digestDue(0.75f);
    EXPECT_TRUE(!early && digestDue(0.25f));
    EXPECT_EQ(digestMark(77), (NetMessage{.kind = NetKind::Digest, .frame = 60, .digest = 77}));
    game.net.frame = 120;
    EXPECT_TRUE(digestDue(1.0f));
    digestMark(5);
    for (const auto &[frame, digest] :
         {std::pair{60u, 77ul}, {120u, 5ul}, {61u, 0ul}}) // 61: never sent
        hostReceive({.kind = NetKind::Digest, .frame = frame, .digest = digest});
    EXPECT_FALSE(game.net.resend);
    game.net.sentWhole = 60; // the friend's answer came after the whole game went
    hostReceive({.kind = NetKind::Digest, .frame = 60, .digest = 78});
    EXPECT_FALSE(game.net.resend);
    game.net.sentWhole = 59;
    hostReceive({.kind = NetKind::Digest, .frame = 60, .digest = 78});
    EXPECT_TRUE(game.net.resend);

    NetMessage newer = hello(), other = hello();
    newer.protocol += 1;
    other.text += "+";
    EXPECT_TRUE(!checkHello(hello()) && checkHello(newer) && checkHello(other));
}

// A session of its own, as each side starts one before they meet.
void startSession(unsigned randSeed, std::FILE *quiet)
{
    resetAll();
    seedGameRand(randSeed);
    ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
    newTerrain(quiet);
    setupPlayers();
}

// The stream goes unreliably: a quarter of its packets and of the joiner's
// acknowledgements are lost, every packet repeats what is not acknowledged,
// and the joiner plays each frame once, to the host's game.
TEST(Online, AStreamWithLostPacketsPlaysEachFrameOnceToTheSameGame)
{
    std::FILE *quiet = std::fopen("/dev/null", "w");
    startSession(5, quiet);
    game.net.role = NetRole::Host;
    friendJoined();
    std::vector<std::vector<NetMessage>> delivered{welcome()};
    std::minstd_rand lose(11);
    std::uint32_t played = 0;
    for (std::uint32_t f = 0; f < 240; ++f) {
        if (f % 50 == 7)
            hostReceive(
                {.kind = NetKind::Input, .events = {down(f % 100 ? kA : kW)}, .frame = f / 50 + 1});
        const Events own = f % 30 == 3   ? Events{down(kUp)}
                           : f % 30 == 9 ? Events{up(kUp)}
                                         : Events{};
        hostFrame(1 / 60.0f, own, 1000 + f, delivered.back());
        if (lose() % 4 != 0) // the joiner's word on the last frame it had
            hostReceive({.kind = NetKind::Ack, .frame = played});
        if (lose() % 4 == 0)
            continue;
        const auto packet = decodePacket(streamPacket());
        ASSERT_TRUE(packet) << f;
        delivered.push_back(*packet);
        played = std::find_if(delivered.back().rbegin(), delivered.back().rend(), [](auto &m) {
                     return m.kind == NetKind::Tick;
                 })->frame;
    }
    const std::uint64_t digest = onlineDigest();
    const std::size_t repeated = std::count_if(delivered.begin(), delivered.end(), [](auto &p) {
        return std::count_if(p.begin(), p.end(), [](auto &m) { return m.kind == NetKind::Tick; }) >
               1;
    });
    startSession(99, quiet);
    game.net.role = NetRole::Join;
    std::vector<NetMessage> answers;
    for (const std::vector<NetMessage> &packet : delivered)
        ASSERT_EQ(joinerPlay(packet, answers), -1);
    EXPECT_EQ(game.net.frame, 240u);
    EXPECT_EQ(onlineDigest(), digest);
    EXPECT_GT(repeated, 20u);
    std::fclose(quiet);
    destroyTerrains();
}

TEST(Online, TheJoinerPlaysTheHostsStreamIntoTheSameGameAndIsBroughtBackInStep)
{
    std::FILE *quiet = std::fopen("/dev/null", "w");
    startSession(5, quiet);
    game.net.role = NetRole::Host;
    friendJoined();
    std::vector<NetMessage> stream = welcome();
    for (std::uint32_t f = 0; f < 240; ++f) {
        if (f == 10)
            hostReceive({.kind = NetKind::Input, .events = {down(kA), down(kSpace)}, .frame = 1});
        if (f == 12)
            hostReceive({.kind = NetKind::Input, .events = {down(kSpace)}, .frame = 2});
        game.net.resend = f == 150; // as if the friend's digest had differed
        const Events own = f == 30 ? Events{down(kUp)} : f == 90 ? Events{down(kF1)} : Events{};
        hostFrame(1 / 60.0f, own, 1000 + f, stream);
        const auto packet = decodePacket(streamPacket());
        stream.insert(stream.end(), packet->begin(), packet->end());
        hostReceive({.kind = NetKind::Ack, .frame = game.net.frame});
    }
    const std::uint64_t digest = onlineDigest();
    std::vector<std::uint64_t> digests;
    for (const NetMessage &m : stream)
        if (m.kind == NetKind::Digest)
            digests.push_back(m.digest);

    startSession(99, quiet);
    game.net.role = NetRole::Join;
    toggleCameraMovement = 0; // this screen's own
    std::vector<NetMessage> answers;
    // Out of step before the digest after frame 100, back in with the state after 150.
    const auto nudge = std::find_if(stream.begin(), stream.end(), [](const NetMessage &m) {
        return m.kind == NetKind::Digest && m.frame > 100;
    });
    ASSERT_LT(nudge->frame, 150u);
    ASSERT_EQ(joinerPlay({stream.begin(), nudge}, answers), -1);
    players[0].x += 0.25f;
    ASSERT_EQ(joinerPlay({nudge, stream.end()}, answers), -1);
    ASSERT_EQ(answers.size(), digests.size());
    for (std::size_t i = 0; i < digests.size(); ++i)
        EXPECT_EQ(answers[i].digest == digests[i], answers[i].frame != nudge->frame) << i;
    EXPECT_EQ(onlineDigest(), digest);
    EXPECT_EQ(game.net.frame, 240u);
    EXPECT_EQ(toggleCameraMovement, 0);

    startSession(99, quiet); // with terrains of its own: no game to follow
    for (Terrain &t : terrains)
        t.gravity += 1;
    game.net.role = NetRole::Join;
    EXPECT_EQ(joinerPlay({stream.begin(), 2}, answers), 1); // the welcome

    // A whole game on no terrain of the table (index -1) is refused, never played.
    startSession(5, quiet);
    game.net.role = NetRole::Host;
    terrain = nullptr;
    const NetMessage onNone = welcome().back();
    startSession(99, quiet);
    game.net.role = NetRole::Join;
    testing::internal::CaptureStdout();
    EXPECT_EQ(joinerPlay({&onNone, 1}, answers), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Online: cannot take over the host's game (frame 0)\n");
    std::fclose(quiet);
    destroyTerrains();
}

} // namespace
