// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/camera.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/clock.h"
#include "core/state.h"
#include "core/vector.h"

namespace
{

constexpr double kSqrt3 = 1.7320508075688772;

void followPlay(float seconds)
{
    const float cameraMinDistance = powerup.active == 1 ? 5.0f : 3.0f;
    constexpr float offset = 2.5f;

    const Player &a = players[0];
    const Player &b = players[1];
    const float distance = magnitude(getVector(a.x, a.y, a.z, b.x, b.y, b.z));
    const float height = std::min(std::max(distance, cameraMinDistance), 10.0f);

    float midx, midz;
    if (powerup.active == 1) {
        midx = (a.x + b.x + powerup.x) / 3.0f;
        midz = (a.z + b.z + powerup.z) / 3.0f;
    } else {
        midx = (a.x + b.x) / 2.0f;
        midz = (a.z + b.z) / 2.0f;
    }
    cameraPosPreferred[0] = midx;
    cameraPosPreferred[1] = averageHeight + height;
    cameraPosPreferred[2] = static_cast<float>(midz + offset + height / kSqrt3);

    vector power = getVector(cameraPos[0], cameraPos[1], cameraPos[2], cameraPosPreferred[0],
                             cameraPosPreferred[1], cameraPosPreferred[2]);
    const float cameraDistance = magnitude(power);
    power = limit(power, seconds * 10.0f);

    // Never faster than 5 units/s, nor faster than the distance left per second.
    const float cap = cameraDistance / 5.0f < 1.0f ? cameraDistance : 5.0f;
    cameraVelocity = limit(sumVectors(cameraVelocity, power), cap);

    const vector friction = limit(cameraVelocity, seconds * 5.0f);
    cameraVelocity = subVectors(cameraVelocity, friction);

    cameraPos[0] += cameraVelocity.x * seconds;
    cameraPos[1] += cameraVelocity.y * seconds;
    cameraPos[2] += cameraVelocity.z * seconds;

    cameraRotPreferred = -60.0f;
    const float rotationSpeed = std::clamp(cameraRotPreferred - cameraRot, -15.0f, 15.0f);
    cameraRot += rotationSpeed * seconds;
}

} // namespace

void updateLight()
{
    const double angle = 2.0 * lightTime * std::numbers::pi / 10.0;
    lightPos[0] = static_cast<float>(7.5 + 0.1 * 150 * std::sin(angle));
    lightPos[1] = 15.0f;
    lightPos[2] = static_cast<float>(7.5 + 0.1 * 150 * std::cos(angle));
}

void updateCamera(float seconds)
{
    if (endGame == 1) {
        // Winner view: relative to the winner, whom the renderer puts at the origin.
        const float r = players[winner].radius;
        cameraPos = {0.0f, 2.0f * r, 2.0f * r};
        cameraRot = -30.0f;
        if (toggleCameraMovement == 1)
            addTime(sceneRot, game.view.sceneClock, seconds * 20.0f);
        return;
    }
    if (toggleCameraMovement == 1)
        followPlay(seconds);
}
