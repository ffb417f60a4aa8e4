// SPDX-License-Identifier: GPL-3.0-or-later
// Online play without a network: who steers player 2, the ticks played on
// a guess and put right, and the digests that keep the two games in step.

#include <gtest/gtest.h>

#include <random>

#include "audio/cues_silent.h"
#include "core/keys.h"
#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "net/online.h"
#include "net/rollback.h"
#include "play_driver.h"
#include "render/view_silent.h"

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

// A session of its own, as each side starts one before they meet.
void startSession(unsigned randSeed, std::FILE *quiet)
{
    resetAll();
    seedGameRand(randSeed);
    ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
    newTerrain(quiet);
    setupPlayers();
}

TEST(Online, PlayerTwoChangesHandsWithNoKeyLeftDownAndTheFriendGivesOnlyItsOwn)
{
    std::FILE *quiet = std::tmpfile();
    startSession(1, quiet);
    std::fclose(quiet);
    game.net.role = NetRole::Host;
    beginTicks(0, 0, 0);
    toggleBot = 1;
    std::vector<NetMessage> reliable;
    playerFrame(17, Events{down(kS)}, 0, reliable);
    friendJoined(1);
    playerFrame(17, Events{down(kF4), down(kW), axis(1, 0, 9000), up(kLeft), down(kUp)}, 0,
                reliable);
    const InputEvent hat{InputKind::PadHat, 1, 0, 0};
    // Player 2 let go of (what the host held) and the bot handed over,
    // first in the friend's first tick and on this side alone (its game
    // came so); the host's own hand on player 2 and the bot are ignored
    // now, and a release without its press is none.
    const RollbackState &r = game.net.rollback;
    const auto on = [&r](std::uint32_t tick) { return r.inputs[tick - r.first]; };
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.sent[0], Events{down(kUp)});
    EXPECT_EQ(on(2).own, (Events{up(kS), axis(1, 0, 0), axis(1, 1, 0), hat, down(kF4), down(kUp)}));

    // The friend's inputs come once each, in order; a tick with anything
    // not the friend's is refused whole and counted.
    const auto inputs = [](std::uint32_t first, std::vector<Events> ticks) {
        return playerReceive({.kind = NetKind::Inputs, .frame = first, .ticks = ticks});
    };
    inputs(2, {{down(kA), down(kF1)}, {down(kD)}});
    const InputEvent start{InputKind::PadButton, 1, 0, 0}; // waits as Space does
    inputs(3, {{down(kD)}, {up(kD), start}});              // tick 3 again
    inputs(6, {{down(kS)}});                               // past a gap: it comes again
    EXPECT_EQ(game.net.dropped, 1u);
    EXPECT_EQ(r.remoteRead, 4u);
    EXPECT_EQ(on(4).remote, Events{down(kD)}); // read at 3, with the friend's delay
    EXPECT_EQ(on(5).remote, Events{up(kD)});
    EXPECT_EQ(on(4 + kSureDelay).remote, Events{start});
    EXPECT_TRUE(on(3).remote.empty());

    // More than a tick carries waits whole for the next.
    playerFrame(17, Events(300, down(kUp)), 0, reliable);
    playerFrame(17, {}, 0, reliable);
    const auto full = std::find_if(r.sent.begin(), r.sent.end(),
                                   [](const Events &t) { return t.size() == kMaxEvents; });
    ASSERT_TRUE(full != r.sent.end() && full + 1 != r.sent.end());
    EXPECT_EQ(full[1].size(), 300 - kMaxEvents);
    game.net.digestsOut = {{60, 77}};
    const auto packet = decodePacket(inputPacket()); // every tick not acknowledged, again
    ASSERT_TRUE(packet && packet->size() == 3);
    EXPECT_EQ((*packet)[1].frame, r.sentFrom);
    EXPECT_EQ((*packet)[1].ticks, r.sent);
    EXPECT_EQ((*packet)[2].digest, 77u); // and the digests made since the last
    playerReceive({.kind = NetKind::Ack, .frame = 3});
    EXPECT_EQ(r.sentFrom, 4u);

    // The clocks kept together. A side behind a tick the other surely
    // played (its last inputs') catches up, at most kMaxTicks more a frame;
    // one behind on the round trip alone does not, or two busy games, each
    // counting its frames in the round trip, would race.
    RollbackState &clock = game.net.rollback;
    clock.tick = clock.confirmed = 100;
    clock.remoteRead = 103;
    EXPECT_EQ(ticksAllowed(1, 0), 3);
    clock.remoteRead = 160;
    EXPECT_EQ(ticksAllowed(1, 0), 1 + kMaxTicks);
    clock.remoteRead = 100;
    EXPECT_EQ(ticksAllowed(1, 1000), 1); // 60 ticks behind, if the round trip were right
    // One ahead holds a tick back now and then, none runs a window past
    // what it knows. The lead is half how much further this side ran past
    // the other's inputs than the other past its own, each when it last
    // sent: both 12 ticks past (a slow line, busy frames) is none, nor is a
    // packet overtaken on the line.
    const auto theyRanTo = [](std::uint32_t ack, std::uint32_t from, std::size_t ticks) {
        playerReceive({.kind = NetKind::Ack, .frame = ack});
        playerReceive(
            {.kind = NetKind::Inputs, .frame = from, .ticks = std::vector<Events>(ticks)});
    };
    clock.lead = 0;
    clock.remoteRead = 86;
    theyRanTo(76, 87, 2);
    inputPacket();
    theyRanTo(99, 80, 1);
    std::vector<int> ahead;
    for (int frame = 0; frame < 60; ++frame)
        ahead.push_back(ticksAllowed(1, 0));
    EXPECT_EQ(std::count(ahead.begin(), ahead.end(), 0), 0);
    theyRanTo(88, 89, 1); // 11 ticks further: 5.5 ahead
    ahead.clear();
    for (int frame = 0; frame < 60; ++frame)
        ahead.push_back(ticksAllowed(1, 0));
    EXPECT_EQ(std::count(ahead.begin(), ahead.end(), 0), 1); // the tick stays 100 here
    EXPECT_EQ(ahead.front(), 1);                             // a lead counts once it lasts
    // A tick is held back only after a frame that ran one, and a lull of
    // the clock after it runs one: never three frames of the same picture.
    clock.tick += kSlowEvery;
    EXPECT_EQ(ticksAllowed(0, 0), 0);
    EXPECT_EQ(ticksAllowed(1, 0), 1);
    EXPECT_EQ(ticksAllowed(1, 0), 0);
    EXPECT_EQ(ticksAllowed(0, 0), 1);
    clock.tick = clock.confirmed + kRollbackWindow;
    EXPECT_EQ(ticksAllowed(3, 1000), 0);

    // Joining, until the friend's first inputs and its clock have come,
    // the host plays on past that window, up to the join's.
    clock = RollbackState{
        .tick = 100, .confirmed = 100, .remoteRead = 100, .joining = true, .linkedAt = 100};
    clock.tick += kJoinWindow - 1;
    EXPECT_EQ(ticksAllowed(2, 0), 1);
    clock.remoteRead = clock.tick - 1; // heard, caught up, but too far ahead of the sure tick
    clock.confirmed = clock.tick - kRollbackWindow;
    EXPECT_EQ(ticksAllowed(2, 0), 2);
    ++clock.confirmed;
    EXPECT_EQ(ticksAllowed(2, 0), 1); // the join is over
    --clock.confirmed;
    EXPECT_EQ(ticksAllowed(2, 0), 0);
    // A friend silent for two join windows is waited for.
    clock.joining = true;
    clock.linkedAt = clock.remoteRead = clock.tick - 2 * kJoinWindow;
    EXPECT_EQ(ticksAllowed(2, 0), 0);
}

TEST(Online, AFriendTakesPlayerTwoFromTheBotWithItsGameAndSteersFromItsFirstTick)
{
    std::FILE *quiet = std::tmpfile();
    startSession(3, quiet);
    game.net.role = NetRole::Host;
    toggleBot = 1;
    beginTicks(0, 0, 0);
    std::vector<NetMessage> reliable;
    for (int frame = 0; frame < 10; ++frame)
        playerFrame(17, {}, 0, reliable);
    friendJoined(0);
    const std::vector<NetMessage> welcomed = welcome();
    for (int frame = 0; frame < 12; ++frame)
        playerFrame(17, {}, 0, reliable);
    const auto packet = decodePacket(inputPacket());
    ASSERT_TRUE(packet);

    // The friend's press in its first tick holds until its release, on its
    // screen: the bot's hand-over came before it and let go of nothing
    // of the friend's.
    startSession(4, quiet);
    game.net.role = NetRole::Join;
    shownTerrainOf = 99; // the picture of its own match, which it leaves
    for (const NetMessage &m : welcomed)
        ASSERT_EQ(playerReceive(m), -1);
    ASSERT_TRUE(game.net.linked);
    EXPECT_EQ(shownTerrainOf, game.session.matchesStarted);
    EXPECT_EQ(toggleBot, 0);
    playerFrame(17, Events{down(kDown)}, 0, reliable);
    for (const NetMessage &m : *packet)
        playerReceive(m);
    for (int frame = 0; frame < 15; ++frame)
        playerFrame(17, {}, 0, reliable);
    EXPECT_GT(game.net.rollback.confirmed, welcomed[2].frame + kSureDelay);
    EXPECT_EQ(players[1].keys.y, -1);
    playerFrame(17, Events{up(kDown)}, 0, reliable);
    EXPECT_EQ(players[1].keys.y, 0);

    // A watcher takes the host's game and plays the sure ticks as they come.
    startSession(6, quiet);
    std::fclose(quiet);
    game.net.role = NetRole::Watch;
    ASSERT_EQ(watcherReceive(welcomed[2]), -1);
    const std::uint32_t next = game.net.rollback.tick + 1;
    const NetMessage ticks{.kind = NetKind::Inputs, .frame = next, .ticks = {{down(kDown)}, {}}};
    watcherReceive(ticks);
    EXPECT_EQ(watcherFrame({}), 2);
    EXPECT_EQ(players[0].keys.y, -1);
    watcherReceive(ticks); // again: played already
    EXPECT_EQ(watcherFrame({}), 0);
}

// What the screen says of the line: waiting, watching, or how many watch.
TEST(Online, TheNoticeSaysWhoWaitsAndWhoWatches)
{
    resetGameState();
    game.net.port = 27015;
    game.net.role = NetRole::Join;
    EXPECT_STREQ(netNotice(0), ""); // on its way to the host
    game.net.role = NetRole::Host;
    EXPECT_STREQ(netNotice(0), "Waiting for a friend on UDP port 27015");
    game.net.linked = true;
    EXPECT_STREQ(netNotice(0), "");
    game.net.watchers = 3;
    EXPECT_STREQ(netNotice(0), "3 watching");
    game.net.role = NetRole::Join;
    playerReceive({.kind = NetKind::Watching, .frame = 2}); // the host tells its friend
    EXPECT_STREQ(netNotice(0), "2 watching");
    game.net.role = NetRole::Watch;
    EXPECT_STREQ(netNotice(0), "Watching");
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

TEST(Online, AnotherDigestForTheSameTickAsksForTheWholeGameAndAnotherVersionIsRefused)
{
    resetGameState();
    game.net.role = NetRole::Host;
    game.net.linked = true;
    // This side's digests.
    for (const auto &[tick, digest] : {std::pair{60u, 77ul}, {120u, 5ul}, {180u, 9ul}})
        game.net.digests[tick / 60] = {tick, digest};
    const auto theirs = [](std::uint32_t tick, std::uint64_t digest) {
        playerReceive({.kind = NetKind::Digest, .frame = tick, .digest = digest});
    };
    theirs(60, 77);
    theirs(120, 5);
    theirs(61, 0); // never made here
    EXPECT_FALSE(game.net.resend);
    game.net.sentWhole = 60; // the friend's answer came after the whole game went
    theirs(60, 78);
    EXPECT_FALSE(game.net.resend);
    game.net.sentWhole = 59;
    theirs(60, 78);
    EXPECT_TRUE(game.net.resend);
    // The whole game goes at tick 130: the friend's digest of tick 120 may
    // have been made before it came, that of tick 180 not.
    game.net.resend = false;
    game.net.rollback.tick = 130;
    game.net.rollback.confirmed = 100;
    welcome();
    theirs(120, 6);
    EXPECT_FALSE(game.net.resend);
    theirs(180, 10);
    EXPECT_TRUE(game.net.resend);
    // A watcher out of step asks for the whole game, once until it comes.
    game.net.role = NetRole::Watch;
    game.net.resend = false;
    watcherReceive({.kind = NetKind::Digest, .frame = 120, .digest = 6});
    EXPECT_TRUE(std::exchange(game.net.resend, false));
    watcherReceive({.kind = NetKind::Digest, .frame = 120, .digest = 7});
    EXPECT_FALSE(game.net.resend);

    NetMessage newer = hello(), other = hello();
    newer.protocol += 1;
    other.text += "+";
    EXPECT_TRUE(!checkHello(hello()) && checkHello(newer) && checkHello(other));
}

// One side's session of `ticks` ticks against the other's inputs, each
// tick's arriving `lag(t)` ticks late (nothing late: at once), as packets
// repeating earlier ticks and now and then an older one again. Returns
// the digest of the last tick, sure on both sides, and that of the play
// on this screen.
struct Script {
    std::vector<Events> host, joiner; // by the tick read
};

int effects(const CueTally &t)
{
    return t.bump[0] + t.bump[1] + t.bump[2] + t.bumpSmall + t.growth + t.speed + t.resistance +
           t.bomb + t.whee + t.win + t.lose;
}

std::pair<std::uint64_t, std::uint64_t> playSide(NetRole role, const Script &script,
                                                 std::mt19937 *lateness, std::FILE *quiet)
{
    startSession(5, quiet);
    // A ball near the edge, rolling out once it landed: a frag in the first
    // seconds, with its whee; and a powerup on its way.
    players[1].x = 2.0f;
    players[1].velocity = {-1, 0, 0};
    nextPowerupSpawn = 0.5f;
    game.net.role = role;
    game.net.linked = true;
    beginTicks(0, 1, 1); // both sides play their own inputs a tick late
    const std::vector<Events> &own = role == NetRole::Host ? script.host : script.joiner;
    const std::vector<Events> &other = role == NetRole::Host ? script.joiner : script.host;
    const auto ticks = static_cast<std::uint32_t>(own.size());
    std::uniform_int_distribution<std::uint32_t> lag(0, 9), coin(0, 3);
    std::uint32_t arrived = 0; // the other's ticks sent up to here
    cueTally = {};
    int rerunHeard = 0;
    const auto deliver = [&](std::uint32_t from, std::uint32_t to) {
        NetMessage m{.kind = NetKind::Inputs, .frame = from};
        for (std::uint32_t t = from; t <= to; ++t)
            m.ticks.push_back(other[t - 1]);
        playerReceive(m);
    };
    for (std::uint32_t t = 1; t <= ticks; ++t) {
        const std::uint32_t upTo = lateness ? t - std::min(t, lag(*lateness)) : t;
        if (upTo > arrived && (!lateness || coin(*lateness) != 0)) { // some packets are lost
            const std::uint32_t from = lateness ? 1 + game.net.rollback.remoteRead / 2 : upTo;
            deliver(std::max(from, 1u), upTo);
            arrived = upTo;
        }
        if (lateness && coin(*lateness) == 0 && t > 20) // an old one again
            deliver(t - 20, t - 15);
        const int heard = effects(cueTally);
        settleTicks(); // ticks run again make no sound
        rerunHeard += effects(cueTally) - heard;
        EXPECT_EQ(shownTerrainOf, game.session.matchesStarted); // nor leave another terrain shown
        runTick(own[t - 1]);
    }
    EXPECT_EQ(rerunHeard, 0);
    deliver(1 + game.net.rollback.remoteRead, ticks); // the rest, to end on a sure tick
    settleTicks();
    EXPECT_EQ(game.net.rollback.confirmed, ticks);
    const std::uint64_t live = onlineDigest();
    endOnBase();
    return {onlineDigest(), live};
}

TEST(Online, TicksPlayedOnAGuessAndPutRightEndOnTheGameOfTheInputsInOrder)
{
    std::FILE *quiet = std::tmpfile();
    // Both sides steer; the friend pauses and goes on, the host starts the
    // next match after the frag (F1), and F9 boosts the host's ball.
    Script script{std::vector<Events>(420), std::vector<Events>(420)};
    std::mt19937 keys(3);
    std::uniform_int_distribution<int> arrow(0, 3), hold(5, 40);
    for (std::uint32_t t = 1; t + 40 < 420; t += static_cast<std::uint32_t>(hold(keys))) {
        constexpr int kArrows[] = {kUp, kDown, kLeft, kRight};
        const int host = kArrows[arrow(keys)], joiner = std::array{kW, kS, kA, kD}[arrow(keys)];
        script.host[t].push_back(down(host));
        script.host[t + 4].push_back(up(host));
        script.joiner[t + 2].push_back(down(joiner));
        script.joiner[t + 9].push_back(up(joiner));
    }
    script.host[30].push_back(down(kF9));
    script.joiner[100].push_back(down(kSpace));
    script.joiner[130].push_back(down(kSpace));
    script.host[350].push_back(down(kF1));
    for (const NetRole role : {NetRole::Host, NetRole::Join}) {
        const auto inOrder = playSide(role, script, nullptr, quiet);
        EXPECT_EQ(inOrder.first, inOrder.second);
        EXPECT_EQ(game.net.rollback.rollbacks, 0u); // nothing came late
        EXPECT_EQ(game.session.matchesStarted, 2u);
        EXPECT_GT(effects(cueTally), 0);
        for (const unsigned seed : {1u, 2u, 3u}) {
            std::mt19937 lateness(seed);
            const auto late = playSide(role, script, &lateness, quiet);
            EXPECT_GT(game.net.rollback.rollbacks, 10u);
            EXPECT_EQ(late, inOrder) << "seed " << seed;
        }
    }
    std::fclose(quiet);
}

} // namespace
