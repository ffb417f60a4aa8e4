#include <gtest/gtest.h>

#include <cmath>

#include "core/state.h"
#include "sim/camera.h"

namespace
{

constexpr double kSqrt3 = 1.7320508075688772;

class Camera : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetGameState();
        cameraPos = {7.5f, 5.0f, 15.0f};
        putPlayers(5, 5, 6, 5);
    }
    static void putPlayers(float x0, float z0, float x1, float z1)
    {
        players[0].x = x0;
        players[0].z = z0;
        players[1].x = x1;
        players[1].z = z1;
        players[0].radius = players[1].radius = 0.25f;
    }
    static float speed() { return magnitude(cameraVelocity); }
};

TEST_F(Camera, LightCirclesTheSquareOncePerTenSeconds)
{
    updateLight();
    EXPECT_FLOAT_EQ(lightPos[0], 7.5f);
    EXPECT_FLOAT_EQ(lightPos[1], 15.0f);
    EXPECT_FLOAT_EQ(lightPos[2], 22.5f);
    lightTime = 2.5f;
    updateLight();
    EXPECT_FLOAT_EQ(lightPos[0], 22.5f);
    EXPECT_FLOAT_EQ(lightPos[1], 15.0f);
    EXPECT_NEAR(lightPos[2], 7.5f, 1e-5);
    EXPECT_EQ(lightPos[3], 1.0f);
    lightTime = 12.5f; // a full turn later: same place
    updateLight();
    EXPECT_NEAR(lightPos[0], 22.5f, 1e-4);
    EXPECT_NEAR(lightPos[2], 7.5f, 1e-4);
}

TEST_F(Camera, HeightGrowsWithTheDistanceBetweenBallsWithinItsBounds)
{
    averageHeight = 1.25f;
    updateCamera(0.1f); // 1 apart
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 1.25f + 3.0f);
    putPlayers(1, 5, 7, 5);
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 1.25f + 6.0f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[0], 4.0f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[2], static_cast<float>(5 + 2.5 + 6 / kSqrt3));
    putPlayers(0, 0, 12, 16); // 20 apart
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 1.25f + 10.0f);
}

TEST_F(Camera, PowerupOnTheFieldRaisesTheMinimumAndJoinsTheMidpoint)
{
    powerup.active = 1;
    powerup.x = 8;
    powerup.z = 11;
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 5.0f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[0], (5.0f + 6.0f + 8.0f) / 3.0f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[2], static_cast<float>(7 + 2.5 + 5 / kSqrt3));
}

TEST_F(Camera, DistanceIncludesTheHeights)
{
    putPlayers(5, 5, 5, 5);
    players[1].y = 4;
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 4.0f);
}

TEST_F(Camera, AtItsPlaceAndAtRestItStays)
{
    cameraRot = -60;
    updateCamera(0.1f);
    cameraPos = cameraPosPreferred;
    cameraVelocity = {0, 0, 0};
    const auto before = cameraPos;
    updateCamera(0.1f);
    EXPECT_EQ(cameraPos, before);
    EXPECT_EQ(speed(), 0.0f);
    EXPECT_EQ(cameraRot, -60.0f);
}

TEST_F(Camera, FarAwayItAcceleratesGentlyUpToFiveUnitsPerSecond)
{
    cameraPos = {7.5f, 5.0f, 115.0f};
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(speed(), 0.5f); // gains 1, brakes 0.5
    float maxSpeed = 0;
    for (int frame = 0; frame < 200; ++frame) {
        const float before = speed();
        const auto pos = cameraPos;
        updateCamera(0.1f);
        EXPECT_LE(speed(), before + 10 * 0.1f + 1e-5f);
        EXPECT_LE(speed(), 5.0f + 1e-5f);
        const float moved =
            magnitude(getVector(pos[0], pos[1], pos[2], cameraPos[0], cameraPos[1], cameraPos[2]));
        EXPECT_LE(moved, 0.5f + 1e-5f);
        maxSpeed = std::max(maxSpeed, speed());
    }
    // It gets going, held just under 5 u/s by its braking.
    EXPECT_NEAR(maxSpeed, 4.5f, 1e-4);
}

TEST_F(Camera, TwoUnitsAwayItMovesAtMostTwoUnitsPerSecond)
{
    updateCamera(0.1f);
    cameraPos = cameraPosPreferred;
    cameraPos[0] -= 2.0f;
    cameraVelocity = {0, 0, 0};
    const float start = cameraPos[0];
    for (int frame = 0; frame < 20; ++frame) {
        const float before = cameraPos[0];
        updateCamera(0.1f);
        EXPECT_LE(speed(), 2.0f + 1e-5f);
        EXPECT_LE(cameraPos[0] - before, 0.2f + 1e-5f);
        EXPECT_GE(cameraPos[0], before); // never backs off
    }
    EXPECT_GT(cameraPos[0], start + 0.5f);
    EXPECT_LE(cameraPos[0], cameraPosPreferred[0] + 1e-4f);
}

TEST_F(Camera, PitchClosesItsGapAtMostFifteenDegreesPerSecond)
{
    cameraRot = 0;
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraRot, -1.5f);
    cameraRot = -59;
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraRot, -59.1f);
    cameraRot = -80;
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraRot, -78.5f);
    EXPECT_EQ(cameraRotPreferred, -60.0f);
}

TEST_F(Camera, FrozenWhileCameraMovementIsOff)
{
    toggleCameraMovement = 0;
    cameraVelocity = {1, 2, 3};
    cameraRot = -10;
    const auto pos = cameraPos;
    updateCamera(0.1f);
    EXPECT_EQ(cameraPos, pos);
    EXPECT_EQ(cameraRot, -10.0f);
    EXPECT_EQ(cameraVelocity.y, 2.0f);
    EXPECT_EQ(cameraPosPreferred[1], 0.0f);
}

TEST_F(Camera, WinnerViewOrbitsTheWinner)
{
    endGame = 1;
    winner = 1;
    players[1].radius = 0.5f;
    cameraVelocity = {1, 2, 3};
    sceneRot = 7;
    updateCamera(0.1f);
    EXPECT_EQ(cameraPos[0], 0.0f);
    EXPECT_EQ(cameraPos[1], 1.0f);
    EXPECT_EQ(cameraPos[2], 1.0f);
    EXPECT_EQ(cameraRot, -30.0f);
    EXPECT_FLOAT_EQ(sceneRot, 9.0f);
    EXPECT_EQ(cameraVelocity.z, 3.0f);

    winner = 0;
    toggleCameraMovement = 0;
    updateCamera(0.1f);
    EXPECT_EQ(cameraPos[1], 0.5f);
    EXPECT_EQ(cameraPos[2], 0.5f);
    EXPECT_FLOAT_EQ(sceneRot, 9.0f);
}

} // namespace
