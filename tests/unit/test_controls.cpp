// SPDX-License-Identifier: GPL-3.0-or-later
// What each key, stick, d-pad and pad button does: its whole effect on the
// game's record and on the sounds asked for, and nothing more.

#include <algorithm>
#include <functional>
#include <memory>

#include "audio/cues_silent.h"
#include "core/controls.h"
#include "core/loop.h"
#include "core/pad.h"
#include "fixture.h"

namespace
{

using namespace keys;
using enum InputKind;
using Edit = std::function<void()>;

void pauseOrResume()
{
    togglePause ^= 1;
    ++(togglePause ? cueTally.pause : cueTally.resume);
}

// F11 and F12: player 1's boost of `kind` at its first stage, the field's
// powerup held back; or the boost's end, and the next powerup due.
void boost(int kind)
{
    Player &p = players[0];
    p.powerupActive = powerupActive = !p.powerupActive;
    p.powerupStage = !p.powerupActive;
    nextPowerupSpawn = p.powerupActive ? -1 : getNextPowerupSpawn();
    if (p.powerupActive) {
        p.powerup = kind;
        p.powerupExpire = 15;
        powerup.active = 0;
    }
}

// Whose ball each steering key pushes, and which way.
struct Steering {
    int key, player;
    Push push;
};
constexpr Steering kSteering[] = {{kUp, 0, {0, 1}},    {kDown, 0, {0, -1}}, {kRight, 0, {1, 0}},
                                  {kLeft, 0, {-1, 0}}, {kW, 1, {0, 1}},     {kS, 1, {0, -1}},
                                  {kD, 1, {1, 0}},     {kA, 1, {-1, 0}}};

Edit steer(Steering s, int sign)
{
    return [s, sign] {
        Player &p = players[s.player];
        p.keys = {p.keys.x + sign * s.push.x, p.keys.y + sign * s.push.y};
        p.pressx += sign * s.push.x;
        p.pressy += sign * s.push.y;
    };
}

std::array<int, 4> pushes()
{
    return {players[0].pressx, players[0].pressy, players[1].pressx, players[1].pressy};
}

class Controls : public Sim
{
  protected:
    std::FILE *quiet = std::fopen("/dev/null", "w");
    const Edit nothing = [] {}, newMatch = [this] { newTerrain(quiet); };
    void SetUp() override
    {
        Sim::SetUp();
        terrains.assign(3, Terrain{});
        numTerrains = 3;
        cueTally = {};
    }
    void TearDown() override
    {
        std::fclose(quiet);
        destroyTerrains();
    }

    // `in` must leave the game and the sounds just as `edit` leaves them,
    // from the same draws of the game's generator. Returns what it printed.
    std::string expect(InputEvent in, const Edit &edit)
    {
        const auto before = std::make_unique<GameState>(game);
        const CueTally cues = cueTally;
        edit();
        const auto want = std::make_unique<GameState>(game);
        const CueTally wantCues = cueTally;
        game = *before;
        cueTally = cues;
        ::testing::internal::CaptureStdout();
        applyInput(in);
        std::string printed = ::testing::internal::GetCapturedStdout();
        const auto part = [](bool same, const char *name) { return same ? "" : name; };
        EXPECT_TRUE(game == *want && cueTally == wantCues)
            << "input " << int(in.kind) << " " << in.pad << " " << in.code << " " << in.value
            << " differs in" << part(game.match == want->match, " match")
            << part(game.view == want->view, " view")
            << part(game.session == want->session, " session")
            << part(cueTally == wantCues, " sounds");
        return printed;
    }
};

TEST_F(Controls, EveryKeyDoesItsOwnThingAndNothingElse)
{
    // clang-format off
    const std::pair<int, Edit> table[] = {
        {kEscape, [] { quit_flag = 1; }}, {kSpace, pauseOrResume},
        {kOne, [] { toggleCameraMovement ^= 1; }}, {kTwo, [] { toggleLightMovement ^= 1; }},
        {kP, [] { toggleLightView ^= 1; }},
        {kI, [] { lightPos[2] -= 0.5f; }}, {kK, [] { lightPos[2] += 0.5f; }},
        {kJ, [] { lightPos[0] -= 0.5f; }}, {kL, [] { lightPos[0] += 0.5f; }},
        {kU, [] { lightPos[1] += 0.5f; }}, {kM, [] { lightPos[1] -= 0.5f; }},
        {kKeypadMinus, [] { ++cueTally.volumeDown; }}, {kKeypadPlus, [] { ++cueTally.volumeUp; }},
        {kF1, newMatch}, {kF1 + 1, nothing}, {kF1 + 2, nothing},
        {kF4, [] { // the bot handed back leaves player 2 no push at all
             if (!(toggleBot ^= 1))
                 players[1].pressx = players[1].pressy = 0, players[1].keys = players[1].pad = {};
         }},
        {kF5, [] { toggleSmooth ^= 1; }}, {kF6, [] { toggleShadows ^= 1; }},
        {kF7, [] { toggleMultiShadows ^= 1; }}, {kF8, [] { toggleHUD ^= 1; }},
        {kF9, [] { toggleBulletTime ^= 1; }},
        {kF10, [] {
             toggleSuperSizeMe ^= 1;
             for (Player &p : players)
                 p.radius = p.radiusDefault = toggleSuperSizeMe ? 1.0f : 0.25f;
         }},
        {kF11, [] { boost(kPowerupGrowth); }}, {kF12, [] { boost(kPowerupSpeed); }},
        {'q', nothing}, {kKeypadMinus + 2, nothing}};
    // clang-format on
    for (const Named &k : kNames)
        EXPECT_EQ(std::ranges::count(table, k.key, &std::pair<int, Edit>::first) +
                      std::ranges::count(kSteering, k.key, &Steering::key),
                  1)
            << k.name;
    // Both players steer, by key and by pad, so that F4 has something to clear.
    for (InputEvent in :
         {InputEvent{KeyDown, 0, kUp, 0}, {KeyDown, 0, kW, 0}, {PadHat, 1, 0, kHatLeft}})
        applyInput(in);
    for (int round = 0; round < 2; ++round)
        for (const auto &[key, edit] : table) {
            const std::string printed = expect({KeyDown, 0, key, 0}, edit);
            if (key == kI) // where the light is now
                EXPECT_EQ(printed, "15.0, 13.0, 25.0\n");
            else if (key == kF1)
                EXPECT_EQ(printed.rfind("\nLoading Map: \n", 0), 0u) << printed;
            else
                EXPECT_EQ(printed, "") << name(key).value_or("-");
        }
    // F12 on; F6 without shadow mapping; Space once the match is decided.
    expect({KeyDown, 0, kF12, 0}, [] { boost(kPowerupSpeed); });
    shadowsDisabled = 1;
    expect({KeyDown, 0, kF6, 0}, nothing);
    endGame = 1;
    expect({KeyDown, 0, kSpace, 0}, newMatch);
    EXPECT_EQ(players[0].pressy, 1) << "the keys held stay held into the next match";
}

TEST_F(Controls, SteeringKeysPushWhileHeldAndOnlyTheyAnswerARelease)
{
    for (const Steering &s : kSteering)
        expect({KeyDown, 0, s.key, 0}, steer(s, 1));
    for (const Steering &s : kSteering)
        expect({KeyUp, 0, s.key, 0}, steer(s, -1));
    EXPECT_EQ(pushes(), (std::array{0, 0, 0, 0}));
    // Releases whose presses were missed count on past a whole push, as
    // they always have.
    expect({KeyUp, 0, kS, 0}, steer(kSteering[5], -1));
    expect({KeyUp, 0, kS, 0}, steer(kSteering[5], -1));
    EXPECT_EQ(players[1].pressy, 2);
    for (const Named &k : kNames)
        if (std::ranges::count(kSteering, k.key, &Steering::key) == 0)
            expect({KeyUp, 0, k.key, 0}, nothing);
}

TEST_F(Controls, SticksAndDpadsSteerOutsideTheirDeadZoneAndAddUpWithTheKeys)
{
    // clang-format off
    const std::pair<InputEvent, std::array<int, 4>> steps[] = {
        // Each d-pad bit; the stick's dead zone, a push held until well inside it.
        {{PadHat, 0, 0, kHatUp}, {0, 1, 0, 0}}, {{PadHat, 0, 0, kHatRight}, {1, 0, 0, 0}},
        {{PadHat, 0, 0, kHatDown}, {0, -1, 0, 0}}, {{PadHat, 0, 0, kHatLeft}, {-1, 0, 0, 0}},
        {{PadHat, 0, 0, 0}, {0, 0, 0, 0}}, {{PadAxis, 0, 0, 10999}, {0, 0, 0, 0}},
        {{PadAxis, 0, 0, 11000}, {1, 0, 0, 0}}, {{PadAxis, 0, 0, 8000}, {1, 0, 0, 0}},
        {{PadAxis, 0, 0, 7999}, {0, 0, 0, 0}}, {{PadAxis, 0, 0, -10999}, {0, 0, 0, 0}},
        {{PadAxis, 0, 0, -11000}, {-1, 0, 0, 0}}, {{PadAxis, 0, 0, -8000}, {-1, 0, 0, 0}},
        {{PadAxis, 0, 0, 8000}, {0, 0, 0, 0}}, // a held left holds no right
        // Stick up is forward, stick and d-pad add up clamped, pad 2 steers player 2.
        {{PadAxis, 0, 1, -20000}, {0, 1, 0, 0}}, {{PadHat, 0, 0, kHatLeft | kHatUp}, {-1, 1, 0, 0}},
        {{PadAxis, 0, 1, 0}, {-1, 1, 0, 0}}, {{PadHat, 1, 0, kHatRight | kHatDown}, {-1, 1, 1, -1}},
        {{PadHat, 0, 0, 0}, {0, 0, 1, -1}},
        // Keys and pad add up, clamped, and each holds while the other lets go.
        {{KeyDown, 0, kD, 0}, {0, 0, 1, -1}}, {{PadHat, 1, 0, 0}, {0, 0, 1, 0}},
        {{PadAxis, 1, 0, -32768}, {0, 0, 0, 0}}, {{KeyUp, 0, kD, 0}, {0, 0, -1, 0}},
        {{PadAxis, 1, 1, 32767}, {0, 0, -1, -1}}, {{PadAxis, 1, 0, 0}, {0, 0, 0, -1}},
        {{PadAxis, 1, 1, 0}, {0, 0, 0, 0}}};
    // A third pad, a second stick and nonsense steer nobody.
    const InputEvent nobody[] = {{PadAxis, 2, 0, 32767}, {PadAxis, -1, 1, 32767},
        {PadAxis, 0, 2, -32768}, {PadHat, 2, 0, kHatUp}, {PadHat, -1, 0, kHatDown}};
    // clang-format on
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        applyInput(steps[i].first);
        EXPECT_EQ(pushes(), steps[i].second) << "step " << i;
    }
    for (const InputEvent &in : nobody)
        expect(in, nothing);
}

TEST_F(Controls, StartAndBackActAsSpaceAndF1AndStartTheirMatches)
{
    expect({PadButton, 0, kPadButtonStart, 0}, pauseOrResume);
    expect({PadButton, 1, kPadButtonStart, 0}, pauseOrResume);
    EXPECT_EQ(expect({PadButton, 1, kPadButtonBack, 0}, newMatch).rfind("\nLoading Map", 0), 0u);
    for (const InputEvent &in : {InputEvent{PadButton, 2, kPadButtonStart, 0},
                                 {PadButton, -1, kPadButtonBack, 0},
                                 {PadButton, 0, 2, 0}})
        expect(in, nothing);
    // What the shell hands a fresh noise seed to: F1 and Back at any time,
    // Space and Start once the match is decided.
    // clang-format off
    const std::tuple<InputEvent, bool, bool> starts[] = { // mid-match, decided
        {{KeyDown, 0, kF1, 0}, true, true}, {{PadButton, 1, kPadButtonBack, 0}, true, true},
        {{KeyDown, 0, kSpace, 0}, false, true}, {{PadButton, 0, kPadButtonStart, 0}, false, true},
        {{KeyUp, 0, kF1, 0}, false, false}, {{PadButton, 2, kPadButtonBack, 0}, false, false}};
    // clang-format on
    for (std::size_t i = 0; i < std::size(starts); ++i) {
        const auto &[in, mid, decided] = starts[i];
        endGame = 0;
        EXPECT_EQ(startsMatch(in), mid) << "input " << i;
        endGame = 1;
        EXPECT_EQ(startsMatch(in), decided) << "input " << i;
    }
    expect({PadButton, 0, kPadButtonStart, 0}, newMatch);
}

} // namespace
