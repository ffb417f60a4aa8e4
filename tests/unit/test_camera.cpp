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
    const std::array<float, 3> cases[] = {
        {0, 7.5f, 22.5f}, {2.5f, 22.5f, 7.5f}, {12.5f, 22.5f, 7.5f}};
    for (const auto &[time, x, z] : cases) {
        lightTime = time;
        updateLight();
        EXPECT_NEAR(lightPos[0], x, 1e-4) << time;
        EXPECT_FLOAT_EQ(lightPos[1], 15.0f);
        EXPECT_NEAR(lightPos[2], z, 1e-4) << time;
        EXPECT_EQ(lightPos[3], 1.0f);
    }
}

TEST_F(Camera, PreferredPlaceFollowsTheBallsAndThePowerupWithinItsHeightBounds)
{
    averageHeight = 1.25f;
    updateCamera(0.1f); // 1 apart: the minimum, 3 above the mean height
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 1.25f + 3.0f);
    putPlayers(1, 5, 7, 5);
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[0], 4.0f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 1.25f + 6.0f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[2], static_cast<float>(5 + 2.5 + 6 / kSqrt3));
    putPlayers(0, 0, 12, 16); // 20 apart: the maximum
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 1.25f + 10.0f);
    // The distance includes the heights.
    averageHeight = 0;
    putPlayers(5, 5, 5, 5);
    players[1].y = 4;
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 4.0f);
    // A powerup on the field raises the minimum to 5 and joins the midpoint.
    players[1].y = 0;
    putPlayers(5, 5, 6, 5);
    powerup.active = 1;
    powerup.x = 8;
    powerup.z = 11;
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[1], 5.0f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[0], (5.0f + 6.0f + 8.0f) / 3.0f);
    EXPECT_FLOAT_EQ(cameraPosPreferred[2], static_cast<float>(7 + 2.5 + 5 / kSqrt3));
}

TEST_F(Camera, StaysAtRestInPlaceAndFrozenWhileCameraMovementIsOff)
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

    toggleCameraMovement = 0;
    cameraVelocity = {1, 2, 3};
    cameraRot = -10;
    cameraPosPreferred[1] = 0;
    updateCamera(0.1f);
    EXPECT_EQ(cameraPos, before);
    EXPECT_EQ(cameraRot, -10.0f);
    EXPECT_EQ(cameraVelocity.y, 2.0f);
    EXPECT_EQ(cameraPosPreferred[1], 0.0f);
}

TEST_F(Camera, AcceleratesGentlyUpToFiveUnitsPerSecondAndTwoWhenTwoAway)
{
    cameraPos = {7.5f, 5.0f, 115.0f};
    updateCamera(0.1f);
    EXPECT_FLOAT_EQ(speed(), 0.5f); // gains 1, brakes 0.5
    float maxSpeed = 0;
    for (int frame = 0; frame < 200; ++frame) {
        const float before = speed();
        updateCamera(0.1f);
        EXPECT_LE(speed(), before + 10 * 0.1f + 1e-5f);
        maxSpeed = std::max(maxSpeed, speed());
    }
    EXPECT_NEAR(maxSpeed, 4.5f, 1e-4); // held just under 5 u/s by its braking

    cameraPos = cameraPosPreferred;
    cameraPos[0] -= 2.0f;
    cameraVelocity = {0, 0, 0};
    const float start = cameraPos[0];
    for (int frame = 0; frame < 20; ++frame) {
        const float before = cameraPos[0];
        updateCamera(0.1f);
        EXPECT_LE(speed(), 2.0f + 1e-5f);
        EXPECT_GE(cameraPos[0], before); // never backs off
    }
    EXPECT_GT(cameraPos[0], start + 0.5f);
    EXPECT_LE(cameraPos[0], cameraPosPreferred[0] + 1e-4f);
}

TEST_F(Camera, PitchClosesItsGapAtMostFifteenDegreesPerSecond)
{
    for (const auto &[from, to] : {std::pair{0.0f, -1.5f}, {-59.0f, -59.1f}, {-80.0f, -78.5f}}) {
        cameraRot = from;
        updateCamera(0.1f);
        EXPECT_FLOAT_EQ(cameraRot, to) << from;
    }
    EXPECT_EQ(cameraRotPreferred, -60.0f);
}

TEST_F(Camera, WinnerViewOrbitsTheWinner)
{
    endGame = 1;
    winner = 1;
    players[1].radius = 0.5f;
    cameraVelocity = {1, 2, 3};
    sceneRot = 7;
    updateCamera(0.1f);
    EXPECT_EQ(cameraPos, (std::array<float, 3>{0, 1, 1}));
    EXPECT_EQ(cameraRot, -30.0f);
    EXPECT_FLOAT_EQ(sceneRot, 9.0f);
    EXPECT_EQ(cameraVelocity.z, 3.0f);
    winner = 0;
    toggleCameraMovement = 0;
    updateCamera(0.1f);
    EXPECT_EQ(cameraPos, (std::array<float, 3>{0, 0.5f, 0.5f}));
    EXPECT_FLOAT_EQ(sceneRot, 9.0f);
}

} // namespace
