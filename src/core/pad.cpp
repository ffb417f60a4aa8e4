// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/pad.h"

#include <algorithm>

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
    // The Linux xpad driver names its pads "Microsoft X-Box 360 pad" and the
    // like, and numbers Back 6 and Start 7; most other pads put Select (Share,
    // Back) at 8 and Start (Options) at 9.
    for (std::string_view xbox : {"X-Box", "Xbox", "XBOX", "xbox"})
        if (padName.find(xbox) != std::string_view::npos)
            return {7, 6};
    return {9, 8};
}
