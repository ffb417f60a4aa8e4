// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/pad.h"

#include <algorithm>
#include <initializer_list>

#include "core/state.h"

namespace
{

int clampPush(int v)
{
    return std::clamp(v, -1, 1);
}

// Without a pad push the keys' counter stands as it always has, even off
// its range after a release whose press was missed.
int sum(int keys, int pad)
{
    return pad == 0 ? keys : clampPush(keys + pad);
}

void steer(Player &player, Push keys, Push pad)
{
    player.pressx += sum(keys.x, pad.x) - sum(player.keys.x, player.pad.x);
    player.pressy += sum(keys.y, pad.y) - sum(player.keys.y, player.pad.y);
    player.keys = keys;
    player.pad = pad;
}

void steerPad(int pad)
{
    const PadState &p = pads[pad];
    steer(players[pad], players[pad].keys,
          {clampPush(p.stick.x + p.hat.x), clampPush(p.hat.y - p.stick.y)});
}

} // namespace

int axisPush(int value, int held)
{
    if (value >= kPadPushAt || (held > 0 && value >= kPadReleaseBelow))
        return 1;
    if (value <= -kPadPushAt || (held < 0 && value <= -kPadReleaseBelow))
        return -1;
    return 0;
}

Push hatPush(unsigned hat)
{
    return {((hat & kHatRight) ? 1 : 0) - ((hat & kHatLeft) ? 1 : 0),
            ((hat & kHatUp) ? 1 : 0) - ((hat & kHatDown) ? 1 : 0)};
}

void steerKeys(Player &player, Push delta)
{
    steer(player, {player.keys.x + delta.x, player.keys.y + delta.y}, player.pad);
}

void padAxis(int pad, int axis, int value)
{
    if (pad < 0 || pad >= kPadCount || axis < 0 || axis > 1)
        return;
    int &held = axis == 0 ? pads[pad].stick.x : pads[pad].stick.y;
    held = axisPush(value, held);
    steerPad(pad);
}

void padHat(int pad, unsigned hat)
{
    if (pad < 0 || pad >= kPadCount)
        return;
    pads[pad].hat = hatPush(hat);
    steerPad(pad);
}

void resetSteering(Player &player)
{
    player.pressx = 0;
    player.pressy = 0;
    player.keys = {};
    player.pad = {};
}

void resetPads()
{
    pads = {};
}

PadButtons padButtons(std::string_view padName)
{
    // SDL numbers a pad's buttons in the order of the kernel's codes for
    // them, so Back (Select, Share, Minus) and Start (Options, Plus) fall
    // where the pad's driver puts the buttons before them. The names are the
    // kernel's (SDL 1.2) and SDL2's (sdl12-compat) for the same pads.
    const auto named = [padName](std::initializer_list<std::string_view> parts) {
        return std::any_of(parts.begin(), parts.end(), [padName](std::string_view part) {
            return padName.find(part) != std::string_view::npos;
        });
    };
    // Xbox pads and those that pass for one (xpad): A B X Y, the shoulders.
    if (named({"X-Box", "Xbox", "XBOX", "xbox", "X360"}))
        return {7, 6};
    // hid-nintendo puts Capture and the four shoulders before them.
    if (named({"Switch Pro Controller"}))
        return {10, 9};
    // 8BitDo's own modes number every button of the HID gamepad, C and Z
    // and both triggers included.
    if (named({"8BitDo", "8Bitdo"}))
        return {11, 10};
    // PlayStation pads and most others: the face buttons, the shoulders and
    // the triggers.
    return {9, 8};
}
