#include <cmath>

#include "fixture.h"
#include "sim/camera.h"

namespace
{

using Camera = Sim;

TEST_F(Camera, LightCirclesTheSquareOncePerTenSeconds)
{
    for (auto [time, x, z] :
         {std::tuple{0.0f, 7.5f, 22.5f}, {2.5f, 22.5f, 7.5f}, {12.5f, 22.5f, 7.5f}}) {
        lightTime = time;
        updateLight();
        expectNear({lightPos[0], lightPos[1], lightPos[2]}, {x, 15, z}, 1e-4f);
    }
}

TEST_F(Camera, FollowsTheBallsAndThePowerupFromAHeightWithinBounds)
{
    struct Case {
        float x0, z0, y1, x1, z1;
        int drop; // a powerup at (8, 0, 11)
        vector want;
    };
    const double root3 = std::sqrt(3.0);
    // 1 apart: 3 up, the least; 6; 20 apart: 10, the most; heights count; a
    // powerup raises the least to 5 and joins the midpoint.
    const Case cases[] = {
        {5, 5, 0, 6, 5, 0, {5.5f, 1.25f + 3, static_cast<float>(5 + 2.5 + 3 / root3)}},
        {1, 5, 0, 7, 5, 0, {4, 1.25f + 6, static_cast<float>(5 + 2.5 + 6 / root3)}},
        {0, 0, 0, 12, 16, 0, {6, 1.25f + 10, static_cast<float>(8 + 2.5 + 10 / root3)}},
        {5, 5, 4, 5, 5, 0, {5, 1.25f + 4, static_cast<float>(5 + 2.5 + 4 / root3)}},
        {5, 5, 0, 6, 5, 1, {19 / 3.0f, 1.25f + 5, static_cast<float>(7 + 2.5 + 5 / root3)}},
    };
    averageHeight = 1.25f;
    for (const Case &c : cases) {
        players[0].x = c.x0, players[0].z = c.z0;
        players[1].x = c.x1, players[1].z = c.z1, players[1].y = c.y1;
        powerup = {0, c.drop, 8, 0, 11, {}, {}, {}};
        updateCamera(0.1f);
        expectNear({cameraPosPreferred[0], cameraPosPreferred[1], cameraPosPreferred[2]}, c.want);
    }
}

TEST_F(Camera, GlidesAtMostFiveUnitsASecondAndPitchesAtMostFifteenDegrees)
{
    // Far away: gains 1 per tenth of a second, brakes 0.5, levels off at 4.5.
    cameraPos = {7.5f, 5.0f, 115.0f};
    for (float want : {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f, 4.5f, 4.5f}) {
        updateCamera(0.1f);
        EXPECT_NEAR(magnitude(cameraVelocity), want, 1e-4);
    }
    // Two away: never faster than 2 units/s, never backing off or overshooting.
    cameraPos = cameraPosPreferred;
    cameraPos[0] -= 2;
    cameraVelocity = {};
    for (int frame = 0; frame < 20; ++frame) {
        const float before = cameraPos[0];
        updateCamera(0.1f);
        EXPECT_LE(magnitude(cameraVelocity), 2.0f + 1e-5f);
        EXPECT_GE(cameraPos[0], before);
    }
    EXPECT_GT(cameraPos[0], cameraPosPreferred[0] - 1.5f);
    EXPECT_LE(cameraPos[0], cameraPosPreferred[0] + 1e-4f);
    for (auto [from, to] : {std::pair{0.0f, -1.5f}, {-59.0f, -59.1f}, {-80.0f, -78.5f}}) {
        cameraRot = from;
        updateCamera(0.1f);
        EXPECT_FLOAT_EQ(cameraRot, to) << from;
    }
    // Still camera: nothing moves.
    toggleCameraMovement = 0;
    const auto before = std::make_tuple(cameraPos, cameraRot, cameraVelocity.x);
    cameraPosPreferred[1] = 0;
    updateCamera(0.1f);
    EXPECT_EQ(std::make_tuple(cameraPos, cameraRot, cameraVelocity.x), before);
}

TEST_F(Camera, WinnerViewOrbitsTheWinner)
{
    endGame = winner = 1;
    players[1].radius = 0.5f;
    sceneRot = 7;
    updateCamera(0.1f);
    EXPECT_EQ(cameraPos, (std::array<float, 3>{0, 1, 1}));
    EXPECT_EQ(cameraRot, -30.0f);
    EXPECT_FLOAT_EQ(sceneRot, 9.0f);
    toggleCameraMovement = 0;
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(sceneRot, 9.0f);
}

} // namespace
