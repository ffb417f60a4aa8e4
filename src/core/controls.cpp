// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/controls.h"

#include <array>
#include <cstdio>

#include "audio/cues.h"
#include "core/keys.h"
#include "core/loop.h"
#include "core/match.h"
#include "core/pad.h"
#include "core/state.h"
#include "render/view.h"

namespace
{

void togglePauseKey()
{
    togglePause = toggled(togglePause);
    if (togglePause)
        pauseAudio();
    else
        resumeAudio();
}

// The steering keys: whose ball each pushes, and which way while it is held.
struct SteeringKey {
    int key;
    int player;
    Push push;
};
constexpr std::array<SteeringKey, 8> kSteeringKeys{{
    {keys::kUp, 0, {0, 1}},
    {keys::kDown, 0, {0, -1}},
    {keys::kRight, 0, {1, 0}},
    {keys::kLeft, 0, {-1, 0}},
    {keys::kW, 1, {0, 1}},
    {keys::kS, 1, {0, -1}},
    {keys::kD, 1, {1, 0}},
    {keys::kA, 1, {-1, 0}},
}};

// Pushes (sign +1, the press) or takes back (-1, the release) a steering
// key's push; false for a key that does not steer.
bool steerByKey(int key, int sign)
{
    for (const SteeringKey &s : kSteeringKeys)
        if (s.key == key) {
            steerKeys(players[s.player], {s.push.x * sign, s.push.y * sign});
            return true;
        }
    return false;
}

void pressKey(int key)
{
    using namespace keys;
    if (steerByKey(key, 1))
        return;
    switch (key) {
    case kEscape:
        quit();
        break;
    case kSpace:
        if (endGame == 1)
            newTerrain();
        else
            togglePauseKey();
        break;
    case kOne:
        toggleCameraMovement = toggled(toggleCameraMovement);
        break;
    case kTwo:
        toggleLightMovement = toggled(toggleLightMovement);
        break;
    case kI:
        lightPos[2] -= 0.5f;
        if (!game.session.quiet) {
            std::printf("%.1f, %.1f, %.1f\n", lightPos[0], lightPos[1], lightPos[2]);
            std::fflush(stdout);
        }
        break;
    case kK:
        lightPos[2] += 0.5f;
        break;
    case kJ:
        lightPos[0] -= 0.5f;
        break;
    case kL:
        lightPos[0] += 0.5f;
        break;
    case kU:
        lightPos[1] += 0.5f;
        break;
    case kM:
        lightPos[1] -= 0.5f;
        break;
    case kP:
        toggleLightView = toggled(toggleLightView);
        break;
    case kKeypadMinus:
        volumeDown();
        break;
    case kKeypadPlus:
        volumeUp();
        break;
    case kF1:
        newTerrain();
        break;
    case kF4:
        toggleBot = toggled(toggleBot);
        if (toggleBot == 0)
            resetSteering(players[1]);
        break;
    case kF5:
        toggleSmooth = toggled(toggleSmooth);
        shadingChanged();
        break;
    case kF6:
        if (shadowsDisabled == 0)
            toggleShadows = toggled(toggleShadows);
        break;
    case kF7:
        toggleMultiShadows = toggled(toggleMultiShadows);
        break;
    case kF8:
        toggleHUD = toggled(toggleHUD);
        break;
    case kF9:
        toggleBulletTime = toggled(toggleBulletTime);
        break;
    case kF10:
        toggleSuperSize();
        break;
    case kF11:
        toggleBoost(kPowerupGrowth);
        break;
    case kF12:
        toggleBoost(kPowerupSpeed);
        break;
    default:
        break; // F2, F3 and every other key do nothing
    }
}

void releaseKey(int key)
{
    steerByKey(key, -1);
}

} // namespace

void applyInput(const InputEvent &input)
{
    switch (input.kind) {
    case InputKind::KeyDown:
        pressKey(input.code);
        break;
    case InputKind::KeyUp:
        releaseKey(input.code);
        break;
    case InputKind::PadAxis:
        padAxis(input.pad, input.code, input.value);
        break;
    case InputKind::PadHat:
        padHat(input.pad, static_cast<unsigned>(input.value));
        break;
    case InputKind::PadButton:
        if (input.pad >= 0 && input.pad < kPadCount && input.code == kPadButtonStart)
            pressKey(keys::kSpace);
        else if (input.pad >= 0 && input.pad < kPadCount && input.code == kPadButtonBack)
            pressKey(keys::kF1);
        break;
    }
}

bool startsMatch(const InputEvent &input)
{
    const bool key = input.kind == InputKind::KeyDown;
    const bool button =
        input.kind == InputKind::PadButton && input.pad >= 0 && input.pad < kPadCount;
    if ((key && input.code == keys::kF1) || (button && input.code == kPadButtonBack))
        return true;
    return endGame == 1 &&
           ((key && input.code == keys::kSpace) || (button && input.code == kPadButtonStart));
}

void keyDown(int key)
{
    applyInput({InputKind::KeyDown, 0, key, 0});
}

void keyUp(int key)
{
    applyInput({InputKind::KeyUp, 0, key, 0});
}
