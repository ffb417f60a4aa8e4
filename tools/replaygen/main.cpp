// SPDX-License-Identifier: GPL-3.0-or-later
// quorbly-replaygen DATADIR OUTDIR: plays the golden matches, short scripted
// sessions that between them touch every rule of play, on the headless game
// and writes each as a replay (OUTDIR/NAME.qrp) with the game's own recorder.
// The scripts steer by keys and pads the way a player does: keys go down and
// come up, sticks move, and the frame clock ticks in whole milliseconds like
// the game's loop. Each script says what it must cover; the first rand seed
// from its own on whose session the coverage holds is the one written, so a
// change of the rules that loses a powerup kind or a win is found here.

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "audio/cues_silent.h"
#include "core/frame.h"
#include "core/keys.h"
#include "core/loop.h"
#include "core/match.h"
#include "core/options.h"
#include "core/pad.h"
#include "core/random.h"
#include "core/state.h"
#include "replay/replay.h"
#include "terrain/texture.h"

namespace
{

// What a session did, beside the cues the rules played.
struct Seen {
    std::set<float> massesAtHits;
    int hits = 0, frags = 0, hitsInBulletTime = 0, hitsSuperSized = 0, hitsWithBot = 0;
    int hitsWithResistance = 0, hitsBoosted = 0;
};

struct Driver {
    Recorder *recorder = nullptr; // null while a seed is tried
    std::array<Push, 2> keys{};   // the steering keys each player holds
    std::array<Push, 2> sticks{}; // where each pad's stick is
    std::uint32_t ticks = 0;
    int frame = 0;
    Seen seen;

    void input(const InputEvent &e)
    {
        takeInput(e, ticks);
        if (recorder)
            recordInput(*recorder, &e);
    }
    void key(int k, bool down) { input({down ? InputKind::KeyDown : InputKind::KeyUp, 0, k, 0}); }
    void tap(int k)
    {
        key(k, true);
        key(k, false);
    }
    void button(int pad, int code) { input({InputKind::PadButton, pad, code, 0}); }

    // Holds the keys of player p that push toward `want`, and no others.
    void steer(int p, Push want)
    {
        static constexpr int kKeys[2][4] = {{keys::kLeft, keys::kRight, keys::kDown, keys::kUp},
                                            {keys::kA, keys::kD, keys::kS, keys::kW}};
        const auto change = [&](int &held, int to, int minus, int plus) {
            if (held == to)
                return;
            if (held != 0)
                key(held < 0 ? minus : plus, false);
            if (to != 0)
                key(to < 0 ? minus : plus, true);
            held = to;
        };
        change(keys[p].x, want.x, kKeys[p][0], kKeys[p][1]);
        change(keys[p].y, want.y, kKeys[p][2], kKeys[p][3]);
    }
    // Pad p's stick pushed all the way toward `want` (the stick's y is down).
    void stick(int p, Push want)
    {
        if (want.x != sticks[p].x)
            input({InputKind::PadAxis, p, 0, want.x * 32767});
        if (want.y != sticks[p].y)
            input({InputKind::PadAxis, p, 1, want.y > 0 ? -32768 : want.y < 0 ? 32767 : 0});
        sticks[p] = want;
    }
    void hat(int p, Push want)
    {
        input({InputKind::PadHat, p, 0,
               static_cast<int>((want.x > 0 ? kHatRight : 0) | (want.x < 0 ? kHatLeft : 0) |
                                (want.y > 0 ? kHatUp : 0) | (want.y < 0 ? kHatDown : 0))});
    }

    // One frame of the loop: 16 or 17 ms, a slow one now and then, and a
    // rare hitch that the update cuts to a tenth of a second.
    void step()
    {
        const std::uint32_t ms = frame % 1013 == 500 ? 250
                                 : frame % 97 == 40  ? 33
                                                     : 16 + frame % 3 / 2;
        const float seconds = elapsedSeconds(ticks + ms, ticks);
        ticks += ms;
        const float bumpedAt = lastCollisionTime;
        const int scores = players[0].score + players[1].score;
        runFrame(seconds);
        if (recorder)
            recordFrame(*recorder, seconds);
        if (lastCollisionTime != bumpedAt) {
            ++seen.hits;
            seen.massesAtHits.insert(players[0].mass);
            seen.hitsInBulletTime += toggleBulletTime;
            seen.hitsSuperSized += toggleSuperSizeMe;
            seen.hitsWithBot += toggleBot;
            seen.hitsWithResistance += players[0].resistance > 0 || players[1].resistance > 0;
            seen.hitsBoosted += players[0].powerupActive || players[1].powerupActive;
        }
        seen.frags += players[0].score + players[1].score > scores;
        ++frame;
    }
};

// The push from player p toward (x, z); forward is -z.
Push toward(int p, float x, float z)
{
    const auto sign = [](float d) { return d > 0.3f ? 1 : d < -0.3f ? -1 : 0; };
    return {sign(x - players[p].x), sign(players[p].z - z)};
}
Push toward(int p, int q)
{
    return toward(p, players[q].x, players[q].z);
}
bool powerupLanded()
{
    return powerup.active == 1 && powerup.grounded == 1;
}

// Player p's errand while no powerup lies on the field: one of four corners
// in turn, every few seconds.
Push wander(int p, int frame)
{
    static constexpr float kCorners[4][2] = {{3, 3}, {12, 4}, {11, 12}, {4, 11}};
    const float *c = kCorners[(frame / 240 + p * 2) % 4];
    return toward(p, c[0], c[1]);
}

void duel(Driver &d)
{
    const int f = d.frame;
    if (f == 500 || f == 1700 || f == 2300)
        d.tap(f == 2300 ? keys::kF12 : keys::kF11); // growth on and off, then speed
    d.steer(0, toward(0, 1));
    d.steer(1, f % 600 < 420 ? toward(1, 0) : wander(1, f));
}

void edge(Driver &d)
{
    // Player 2 runs off the west edge again and again while player 1 hunts
    // it; once the match is decided, Space starts the next.
    if (endGame == 1 && d.frame % 120 == 0)
        d.tap(keys::kSpace);
    d.steer(0, toward(0, 1));
    d.steer(1, toward(1, -5, 7.5f));
}

void powerups(Driver &d)
{
    // Both go for a powerup that landed; while a boost is in force they go
    // for each other.
    const bool boosted = players[0].powerupActive || players[1].powerupActive;
    for (int p = 0; p < 2; ++p) {
        if (powerupLanded())
            d.steer(p, toward(p, powerup.x, powerup.z));
        else
            d.steer(p, p == 0 || boosted ? toward(p, 1 - p) : wander(p, d.frame));
    }
}

void bulletAndSuperSize(Driver &d)
{
    const int f = d.frame;
    if (f == 300 || f == 1100)
        d.tap(keys::kF9);
    if (f == 1300 || f == 2400)
        d.tap(keys::kF10);
    if (f == 1900)
        d.tap(keys::kF9); // both at once for a while
    d.steer(0, toward(0, 1));
    d.steer(1, f % 500 < 350 ? toward(1, 0) : wander(1, f));
}

void pauseAndLight(Driver &d)
{
    const int f = d.frame;
    if (f == 400 || f == 700 || f == 1500 || f == 1520)
        d.tap(keys::kSpace);                // a long pause, then a short one
    if (f >= 450 && f < 650 && f % 25 == 0) // the light nudged while paused
        d.tap(std::array{keys::kI, keys::kK, keys::kJ, keys::kL, keys::kU, keys::kM}[f / 25 % 6]);
    if (f == 900 || f == 1800)
        d.tap(keys::kTwo); // the light circles, then stays
    if (f == 1000 || f == 1300)
        d.tap(keys::kOne); // the camera stands still, then moves again
    if (f == 2000)
        d.tap(keys::kF1);
    d.steer(0, toward(0, 1));
    d.steer(1, wander(1, f));
}

void bot(Driver &d)
{
    const int f = d.frame;
    // The bot drives player 2, hands it back while its keys are held, and
    // takes it again.
    if (f == 0 || f == 1400 || f == 2100)
        d.tap(keys::kF4);
    if (f < 1400 || f >= 2100)
        d.steer(1, {0, 0});
    else
        d.steer(1, toward(1, 0));
    d.steer(0, f % 700 < 500 ? toward(0, 1) : wander(0, f));
}

void pads(Driver &d)
{
    const int f = d.frame;
    // Player 1 by the stick of pad 1, player 2 by the d-pad of pad 2; the
    // keys join in for a while. Start pauses, Back brings a new match.
    d.stick(0, f % 800 < 600 ? toward(0, 1) : wander(0, f));
    if (f % 4 == 0)
        d.hat(1, toward(1, 0));
    if (f >= 1000 && f < 1300)
        d.steer(0, toward(0, 1));
    if (f == 1300)
        d.steer(0, {0, 0});
    if (f == 1500 || f == 1600)
        d.button(0, kPadButtonStart);
    if (f == 2200)
        d.button(1, kPadButtonBack);
}

struct Golden {
    const char *name;
    std::uint32_t firstSeed;
    int frames;
    void (*script)(Driver &);
    const char *covers;
    bool (*covered)(const Seen &);
};

// clang-format off
const Golden kGoldens[] = {
    {"duel", 11, 3000, duel, "hits at three masses or more (F11's growth), F12's speed",
     [](const Seen &s) { return s.massesAtHits.size() >= 3; }},
    {"edge", 21, 3300, edge, "five frags and respawns, a win, the next match",
     [](const Seen &s) { return s.frags >= 5 && cueTally.win > 0 && game.session.matchesStarted >= 2; }},
    {"powerups-bomb", 31, 3400, powerups, "a bomb, a resistance boost and a hit with it",
     [](const Seen &s) { return cueTally.bomb > 0 && s.hitsWithResistance > 0; }},
    {"powerups-boost", 41, 3400, powerups, "a growth and a speed boost collected, hits with them",
     [](const Seen &s) { return cueTally.growth > 0 && cueTally.speed > 0 && s.hitsBoosted > 1; }},
    {"bullet-super", 51, 3000, bulletAndSuperSize, "hits in bullet time and super sized",
     [](const Seen &s) { return s.hitsInBulletTime > 0 && s.hitsSuperSized > 0; }},
    {"pause-light", 61, 2800, pauseAndLight, "pauses, light nudges, camera and light toggles, F1",
     [](const Seen &) { return cueTally.pause == 2 && game.session.matchesStarted == 2; }},
    {"bot", 71, 3000, bot, "hits against the bot, the bot handed back and taken again",
     [](const Seen &s) { return s.hitsWithBot > 0 && s.hits > s.hitsWithBot; }},
    {"pads", 81, 3000, pads, "steering by stick and d-pad, Start and Back",
     [](const Seen &s) { return s.hits > 0 && cueTally.pause == 1 && game.session.matchesStarted == 2; }},
};
// clang-format on

// Plays one session from program start; records it when `recorder` is set.
Seen play(const Golden &g, std::uint32_t randSeed, Recorder *recorder)
{
    resetGameState();
    cueTally = {};
    seedGameRand(randSeed);
    fixNoiseSeed(randSeed);
    Driver d;
    d.recorder = recorder;
    queueNoiseSeed(nextNoiseSeed(0));
    beginSession();
    if (recorder)
        recordInput(*recorder, nullptr);
    while (d.frame < g.frames) {
        g.script(d);
        d.step();
    }
    return d.seen;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 || chdir(argv[1]) != 0) {
        std::fprintf(stderr, "usage: quorbly-replaygen DATADIR OUTDIR (DATADIR holds terrains)\n");
        return 2;
    }
    const std::string out = argv[2];
    if (!out.starts_with('/')) {
        std::fprintf(stderr, "quorbly-replaygen: OUTDIR must be an absolute path\n");
        return 2;
    }
    // The matches report their terrains on standard output; the report here
    // is what each golden covers.
    std::FILE *report = fdopen(dup(1), "w");
    std::FILE *quiet = std::fopen("/dev/null", "w");
    if (!report || !quiet || dup2(fileno(quiet), 1) < 0)
        return 1;
    int status = 0;
    for (const Golden &g : kGoldens) {
        std::uint32_t randSeed = g.firstSeed;
        while (randSeed < g.firstSeed + 200 && !g.covered(play(g, randSeed, nullptr)))
            ++randSeed;
        if (randSeed == g.firstSeed + 200) {
            std::fprintf(stderr, "%s: no seed from %u covers %s\n", g.name, g.firstSeed, g.covers);
            status = 1;
            continue;
        }
        Recorder r;
        const std::string path = out + "/" + g.name + ".qrp";
        if (!startRecording(r, path, {gameVersion(), randSeed, false, -1})) {
            std::perror(path.c_str());
            return 1;
        }
        play(g, randSeed, &r);
        const std::uint64_t digest = finishRecording(r);
        std::fprintf(report, "%-15s seed %3u, %d frames, %s: %s\n", g.name, randSeed, g.frames,
                     digestText(digest).c_str(), g.covers);
    }
    return status;
}
