// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "fixture.h"
#include "sim/camera.h"

namespace
{

using Camera = Sim;

TEST_F(Camera, LightCirclesOncePerTenSecondsAndTheCameraFollowsWithinItsHeightBounds)
{
    for (auto [time, x, z] :
         {std::tuple{0.0f, 7.5f, 22.5f}, {2.5f, 22.5f, 7.5f}, {12.5f, 22.5f, 7.5f}}) {
        lightTime = time;
        updateLight();
        expectNear({lightPos[0], lightPos[1], lightPos[2]}, {x, 15, z}, 1e-4f);
    }
    // Above the middle of the balls (and of a powerup on the field), as high
    // as they are apart but at least 3 (5 with a powerup) and at most 10,
    // heights counted, and 2.5 + height / sqrt 3 behind.
    const float r3 = std::sqrt(3.0f);
    const std::array<float, 9> cases[] = {
        // ball 1 x, z; ball 2 y, x, z; powerup; the place wanted
        {5, 5, 0, 6, 5, 0, 5.5f, 1.25f + 3, 5 + 2.5f + 3 / r3},
        {1, 5, 0, 7, 5, 0, 4, 1.25f + 6, 5 + 2.5f + 6 / r3},
        {0, 0, 0, 12, 16, 0, 6, 1.25f + 10, 8 + 2.5f + 10 / r3},
        {5, 5, 4, 5, 5, 0, 5, 1.25f + 4, 5 + 2.5f + 4 / r3},
        {5, 5, 0, 6, 5, 1, 19 / 3.0f, 1.25f + 5, 7 + 2.5f + 5 / r3}, // powerup at (8, 0, 11)
    };
    averageHeight = 1.25f;
    for (const auto &[x0, z0, y1, x1, z1, drop, x, y, z] : cases) {
        players[0].x = x0, players[0].z = z0;
        players[1].x = x1, players[1].z = z1, players[1].y = y1;
        powerup = {0, static_cast<int>(drop), 8, 0, 11, {}, {}, {}};
        updateCamera(0.1f);
        expectNear({cameraPosPreferred[0], cameraPosPreferred[1], cameraPosPreferred[2]},
                   {x, y, z});
    }
}

TEST_F(Camera, GlidesAtMostFiveUnitsASecondPitchesAtMostFifteenDegreesAndOrbitsTheWinner)
{
    // Far away: gains 1 per tenth of a second, brakes 0.5, levels off at 4.5.
    cameraPos = {7.5f, 5.0f, 115.0f};
    for (float want : {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f, 4.5f, 4.5f}) {
        updateCamera(0.1f);
        EXPECT_NEAR(magnitude(cameraVelocity), want, 1e-4);
    }
    for (auto [from, to] : {std::pair{0.0f, -1.5f}, {-59.0f, -59.1f}, {-80.0f, -78.5f}}) {
        cameraRot = from;
        updateCamera(0.1f);
        EXPECT_FLOAT_EQ(cameraRot, to) << from;
    }
    // The still camera stays still.
    toggleCameraMovement = 0;
    const auto before = std::make_tuple(cameraPos, cameraRot, cameraVelocity.x);
    updateCamera(0.1f);
    EXPECT_EQ(std::make_tuple(cameraPos, cameraRot, cameraVelocity.x), before);
    // Once the match is decided: the winner, drawn at the origin, orbited.
    toggleCameraMovement = endGame = winner = 1;
    players[1].radius = 0.5f;
    sceneRot = 7;
    updateCamera(0.1f);
    EXPECT_EQ(std::make_tuple(cameraPos, cameraRot),
              std::make_tuple(std::array{0.0f, 1.0f, 1.0f}, -30.0f));
    EXPECT_FLOAT_EQ(sceneRot, 9.0f);
    toggleCameraMovement = 0;
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(sceneRot, 9.0f);
}

} // namespace
