#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

#include "core/state.h"
#include "sim/particle.h"
#include "sim/update.h"

namespace {

class Physics : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGameState();
        initParticles();
        trail::remainder = 0;
        ground = {};
        ground.gravity = 10;
        ground.friction = 2;
        terrain = &ground;
        heightmap.fill(0);
        nextPowerupSpawn = 1000;  // keep powerups out of the way
        initPlayer(&players[0], 0, 0, 1, 0.5f, 0.5f, 0.5f, 11.25f, 0, 7.5f);
        initPlayer(&players[1], 1, 0, 0, 1, 0.5f, 0.2f, 3.75f, 0, 7.5f);
        for (Player& p : players) {
            p.grounded = 1;
            p.spawning = 0;
        }
    }

    // Grid heights rising by one byte per column: the ground is 0.1 x high.
    static void rampAlongX()
    {
        for (int row = 0; row < kGridSize; ++row)
            for (int col = 0; col < kGridSize; ++col)
                heightmap[row * kGridSize + col] = static_cast<unsigned char>(col);
    }

    static bool same(const vector& a, const vector& b)
    {
        return a.x == b.x && a.y == b.y && a.z == b.z;
    }

    Terrain ground{};
};

} // namespace

// --- time step ---

TEST_F(Physics, LongFramesAreCappedAtATenth)
{
    update(0.25f);
    EXPECT_FLOAT_EQ(gameTime, 0.1f);
    update(0.05f);
    EXPECT_FLOAT_EQ(gameTime, 0.15f);
}

TEST_F(Physics, BulletTimeHalvesTheCappedStep)
{
    toggleBulletTime = 1;
    update(0.25f);
    EXPECT_FLOAT_EQ(gameTime, 0.05f);
    update(0.04f);
    EXPECT_FLOAT_EQ(gameTime, 0.07f);
}

TEST_F(Physics, CappedStepDrivesTheFall)
{
    players[0].grounded = 0;
    players[0].y = 5;
    update(0.25f);
    EXPECT_FLOAT_EQ(players[0].velocity.y, -1.0f);  // 10 * 0.1
    EXPECT_FLOAT_EQ(players[0].y, 5 - 0.1f);
}

TEST_F(Physics, LightTimeRunsOnlyWithLightMovement)
{
    update(0.1f);
    EXPECT_EQ(lightTime, 0.0f);
    toggleLightMovement = 1;
    update(0.1f);
    EXPECT_FLOAT_EQ(lightTime, 0.1f);
}

TEST_F(Physics, PauseChangesNothing)
{
    players[0].velocity = {1, 0, 0.5f};
    players[0].movement = {0.1f, 0, 0.05f};
    players[0].pressx = 1;
    players[1].grounded = 0;
    players[1].y = 3;
    addMessage("hello", 0);
    gameTime = 3;
    lightTime = 2;
    toggleLightMovement = 1;
    createExplosion(5, 1, 5, 0.01f, 1, 1, 1, 1, 1, 1, 1);
    update(0.1f);  // a frame in motion first

    const auto playersBefore = players;
    const auto messagesBefore = messages;
    const auto particlesBefore = particles;
    const auto cameraBefore = cameraPos;
    const auto lightBefore = lightPos;
    const float timeBefore = gameTime;
    const float lightTimeBefore = lightTime;
    const float spawnBefore = nextPowerupSpawn;
    const float remainderBefore = trail::remainder;

    togglePause = 1;
    for (int i = 0; i < 10; ++i)
        update(0.1f);

    EXPECT_EQ(std::memcmp(&players, &playersBefore, sizeof players), 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(messages[i].text, messagesBefore[i].text);
        EXPECT_EQ(messages[i].timeleft, messagesBefore[i].timeleft);
    }
    EXPECT_EQ(std::memcmp(&particles, &particlesBefore, sizeof particles), 0);
    EXPECT_EQ(cameraPos, cameraBefore);
    EXPECT_EQ(lightPos, lightBefore);
    EXPECT_EQ(gameTime, timeBefore);
    EXPECT_EQ(lightTime, lightTimeBefore);
    EXPECT_EQ(nextPowerupSpawn, spawnBefore);
    EXPECT_EQ(trail::remainder, remainderBefore);

    // Unpausing picks up where it stood.
    togglePause = 0;
    update(0.1f);
    EXPECT_FLOAT_EQ(gameTime, timeBefore + 0.1f);
}

// --- order within the frame ---

TEST_F(Physics, CageTurnsByLastFramesMovement)
{
    ground.friction = 0;
    Player& p = players[0];
    p.movement = {0, 0, 0};
    p.velocity = {3.14f, 0, 0};
    update(0.05f);
    EXPECT_EQ(p.rot, 0.0f);  // still the movement of the frame before
    EXPECT_FLOAT_EQ(p.movement.x, 0.157f);
    update(0.05f);
    EXPECT_FLOAT_EQ(p.rot, -360 * 0.157f / (6.28f * 0.25f));
}

TEST_F(Physics, BallThatLandsIsDrivenInTheSameFrame)
{
    ground.friction = 0;
    Player& p = players[0];
    p.grounded = 0;
    p.y = 0;
    p.pressx = 1;
    update(0.1f);
    EXPECT_EQ(p.grounded, 1);
    EXPECT_FLOAT_EQ(p.velocity.x, 1.2f);
    EXPECT_FLOAT_EQ(p.x, 11.25f + 0.12f);
}

TEST_F(Physics, MessagesFadeAfterTheFramesEvents)
{
    // A frag's taunt is set in the player step and already counts down
    // at the end of the same frame.
    players[0].x = 16;
    players[0].y = -21;
    players[0].grounded = 0;
    update(0.05f);
    EXPECT_EQ(std::string(messages[0].text.data()), "har har");
    EXPECT_FLOAT_EQ(messages[0].timeleft, 3.95f);
}

// --- drive ---

TEST_F(Physics, NoKeysAtRestStaysExactlyAtRest)
{
    for (int i = 0; i < 30; ++i)
        update(1.0f / 60);
    EXPECT_EQ(players[0].velocity.x, 0.0f);
    EXPECT_EQ(players[0].velocity.y, 0.0f);
    EXPECT_EQ(players[0].velocity.z, 0.0f);
    EXPECT_EQ(players[0].x, 11.25f);
    EXPECT_EQ(players[0].z, 7.5f);
}

TEST_F(Physics, PushAlongTheWorldAxes)
{
    Player& p = players[0];
    p.pressx = 1;
    applyDrive(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.velocity.x, 1.2f);  // 12 * 0.1
    EXPECT_EQ(p.velocity.z, 0.0f);

    p.velocity = {0, 0, 0};
    p.pressx = 0;
    p.pressy = 1;  // forward is -z
    applyDrive(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.velocity.z, -1.2f);
}

TEST_F(Physics, DiagonalIsAsStrongAsStraight)
{
    Player& p = players[0];
    p.pressx = -1;
    p.pressy = -1;
    applyDrive(&p, 0.1f);
    EXPECT_FLOAT_EQ(magnitude(p.velocity), 1.2f);
    EXPECT_FLOAT_EQ(p.velocity.x, -1.2f / std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(p.velocity.z, 1.2f / std::sqrt(2.0f));
}

TEST_F(Physics, TopSpeedCapsTheDrive)
{
    Player& p = players[0];
    p.pressx = 1;
    for (int i = 0; i < 10; ++i)
        applyDrive(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.velocity.x, 4.0f);
    EXPECT_LE(magnitude(p.velocity), 4.0f);
}

TEST_F(Physics, PushThatSlowsIsAppliedInFull)
{
    Player& p = players[0];
    p.velocity = {6, 0, 0};
    p.pressx = -1;
    applyDrive(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.velocity.x, 4.8f);
}

TEST_F(Physics, OverSpeedBallSteersButGainsNothing)
{
    Player& p = players[0];
    p.velocity = {6, 0, 0};
    p.pressx = 1;
    applyDrive(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.velocity.x, 6.0f);
    EXPECT_LE(magnitude(p.velocity), 6.0f);

    p.pressx = 0;
    p.pressy = 1;
    applyDrive(&p, 0.1f);
    EXPECT_LT(p.velocity.z, 0.0f);  // turned toward -z
    EXPECT_FLOAT_EQ(magnitude(p.velocity), 6.0f);
    EXPECT_GT(magnitude(p.velocity), 4.0f);  // not cut back to top speed
}

TEST_F(Physics, HeavierBallAnswersTheKeysMoreSlowly)
{
    Player& p = players[0];
    p.mass = 1.5f;
    p.pressx = 1;
    applyDrive(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.velocity.x, 1.2f / std::sqrt(1.5f));
}

TEST_F(Physics, AirborneBallCannotBeSteered)
{
    Player& p = players[0];
    p.grounded = 0;
    p.y = 5;
    p.pressx = 1;
    update(0.1f);
    EXPECT_EQ(p.velocity.x, 0.0f);
}

// --- slope gravity ---

TEST_F(Physics, FlatGroundPullsNowhere)
{
    heightmap.fill(50);
    Player& p = players[0];
    p.y = 0.5f;
    applyGravity(&p, 0.1f);
    EXPECT_EQ(p.velocity.x, 0.0f);
    EXPECT_EQ(p.velocity.y, 0.0f);
    EXPECT_EQ(p.velocity.z, 0.0f);
}

TEST_F(Physics, OffFieldSamplesAreNeverLower)
{
    // At the very edge the samples beyond it read -1.
    Player& p = players[0];
    p.x = 0.05f;
    p.z = 14.98f;
    p.y = 0;
    applyGravity(&p, 0.1f);
    EXPECT_EQ(p.velocity.x, 0.0f);
    EXPECT_EQ(p.velocity.z, 0.0f);
}

TEST_F(Physics, PullTowardTheLowestSample)
{
    rampAlongX();
    Player& p = players[0];
    p.x = 7.55f;
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    applyGravity(&p, 0.1f);
    // Sample 16 points straight down the ramp, 0.01 lower: the sine of that
    // slope is 0.01 / sqrt(0.01^2 + 0.1^2).
    const float drop = p.y - getRealHeight(heightmap.data(), 7.45f, p.z);
    const float expected = 10 * drop / std::sqrt(0.01f + drop * drop) * 0.1f;
    EXPECT_NEAR(p.velocity.x, -expected, 1e-4);
    EXPECT_NEAR(p.velocity.x, -0.0995f, 1e-4);
    EXPECT_NEAR(p.velocity.z, 0.0f, 1e-6);
    EXPECT_EQ(p.velocity.y, 0.0f);
}

TEST_F(Physics, TiesKeepTheEarlierSample)
{
    // Low flat ground for x < 7.4, a wall from column 75 on; the ball sits
    // on the wall's slope. Samples 11 to 21 all land on the low ground at
    // height 0; the first of them, at 123.75 degrees, wins.
    for (int row = 0; row < kGridSize; ++row)
        for (int col = 0; col < kGridSize; ++col)
            heightmap[row * kGridSize + col] = col >= 75 ? 100 : 0;
    Player& p = players[0];
    p.x = 7.45f;
    p.z = 7.5f;
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    ASSERT_GT(p.y, 0.4f);
    applyGravity(&p, 0.1f);
    const double angle = 11.0 / 32 * 2 * std::numbers::pi;
    const float length = magnitude(p.velocity);
    ASSERT_GT(length, 0.0f);
    EXPECT_NEAR(p.velocity.x / length, std::cos(angle), 1e-5);
    EXPECT_NEAR(p.velocity.z / length, std::sin(-angle), 1e-5);
    // drop = y, pull = g * m * y / sqrt(0.01 + y^2) per second.
    EXPECT_NEAR(length, 10 * p.y / std::sqrt(0.01f + p.y * p.y) * 0.1f, 1e-5);
}

TEST_F(Physics, SlopePullGrowsWithMass)
{
    rampAlongX();
    Player& light = players[0];
    Player& heavy = players[1];
    light.x = heavy.x = 7.55f;
    light.z = heavy.z = 7.5f;
    light.y = heavy.y = getRealHeight(heightmap.data(), 7.55f, 7.5f);
    heavy.mass = 1.5f;
    applyGravity(&light, 0.1f);
    applyGravity(&heavy, 0.1f);
    EXPECT_FLOAT_EQ(heavy.velocity.x, 1.5f * light.velocity.x);
}

TEST_F(Physics, SlopePullIsNotCappedByTopSpeed)
{
    rampAlongX();
    Player& p = players[0];
    p.x = 7.55f;
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    p.velocity = {-4, 0, 0};
    applyGravity(&p, 0.1f);
    EXPECT_LT(p.velocity.x, -4.0f);
}

// --- free fall ---

TEST_F(Physics, FreeFallByMass)
{
    Player& light = players[0];
    Player& heavy = players[1];
    light.grounded = heavy.grounded = 0;
    heavy.mass = 1.5f;
    light.velocity = heavy.velocity = {1, 0, 0};
    applyGravity(&light, 0.1f);
    applyGravity(&heavy, 0.1f);
    EXPECT_FLOAT_EQ(light.velocity.y, -1.0f);
    EXPECT_FLOAT_EQ(heavy.velocity.y, -1.5f);
    EXPECT_EQ(light.velocity.x, 1.0f);  // no drag
}

// --- friction ---

TEST_F(Physics, FrictionStopsWithoutReversing)
{
    Player& p = players[0];
    p.velocity = {0.05f, 0, 0};
    applyFriction(&p, 0.1f);
    EXPECT_TRUE(same(p.velocity, {0, 0, 0}));
}

TEST_F(Physics, FrictionSlowsAlongTheVelocity)
{
    Player& p = players[0];
    p.velocity = {3, 0, -4};
    applyFriction(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.velocity.x, 3 * 0.96f);
    EXPECT_FLOAT_EQ(p.velocity.z, -4 * 0.96f);
}

// --- landing and ground following ---

TEST_F(Physics, BallExactlyAtGroundHeightLands)
{
    heightmap.fill(30);
    Player& p = players[0];
    p.grounded = 0;
    p.spawning = 1;
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    p.velocity = {0, -2, 0};
    update(0.05f);
    EXPECT_EQ(p.grounded, 1);
    EXPECT_EQ(p.spawning, 0);
    EXPECT_EQ(p.velocity.y, 0.0f);
    EXPECT_EQ(p.y, getRealHeight(heightmap.data(), p.x, p.z));
}

TEST_F(Physics, BallAboveGroundKeepsFalling)
{
    heightmap.fill(30);
    Player& p = players[0];
    p.grounded = 0;
    p.y = 0.31f;
    update(0.05f);
    EXPECT_EQ(p.grounded, 0);
    EXPECT_LT(p.velocity.y, 0.0f);
}

TEST_F(Physics, GroundedBallFollowsTheSurface)
{
    rampAlongX();
    ground.friction = 0;
    Player& p = players[0];
    p.x = 5;
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    p.velocity = {3, 0, 0};
    for (int i = 0; i < 20; ++i) {
        update(1.0f / 60);
        EXPECT_EQ(p.y, getRealHeight(heightmap.data(), p.x, p.z));
        EXPECT_EQ(p.velocity.y, 0.0f);
    }
    EXPECT_GT(p.x, 5.5f);
    EXPECT_EQ(p.grounded, 1);
}

// --- trail ---

TEST_F(Physics, TrailOfTenParticlesPerSecondAtTwoUnits)
{
    Player& p = players[0];
    p.velocity = {2, 0, 0};
    int emitted = 0;
    int emissions = 0;
    int lastFrame = 0;
    for (int frame = 1; frame <= 600; ++frame) {
        const int before = nextParticle;
        emitTrail(&p, 1.0f / 60);
        const int count = (nextParticle - before + kParticleCount) % kParticleCount;
        if (count > 0) {
            EXPECT_EQ(count, 1) << "one per emission";
            if (emissions > 0) {
                EXPECT_GE(frame - lastFrame, 5);
                EXPECT_LE(frame - lastFrame, 7);
            }
            ++emissions;
            lastFrame = frame;
        }
        emitted += count;
    }
    EXPECT_NEAR(emitted, 100, 1);
    EXPECT_GE(trail::remainder, 0.0f);
    EXPECT_LT(trail::remainder, 1.0f);
}

TEST_F(Physics, TrailLeavesBehindTheBallAndRisesInItsColours)
{
    Player& p = players[0];  // blue ball
    p.x = 5;
    p.y = 1;
    p.z = 5;
    p.velocity = {0, 0, -4};
    trail::remainder = 0.9f;
    emitTrail(&p, 0.1f);  // owes 0.9 + 2 = 2.9: two particles, 0.9 kept
    ASSERT_EQ(nextParticle, 2);
    EXPECT_NEAR(trail::remainder, 0.9f, 1e-5);
    for (int i = 0; i < 2; ++i) {
        const Particle& q = particles[i];
        // The point straight behind the ball, within the spread of 0.25.
        EXPECT_NEAR(q.x, 5.0f, 0.25f);
        EXPECT_NEAR(q.y, 1.25f, 0.25f);
        EXPECT_NEAR(q.z, 5.25f, 0.25f);
        // -v * |v| * 0.1, lifted by the radius.
        EXPECT_FLOAT_EQ(q.velocity.x, 0.0f);
        EXPECT_FLOAT_EQ(q.velocity.y, 0.25f);
        EXPECT_FLOAT_EQ(q.velocity.z, 1.6f);
        // Either blue (0, 0, 1) or blue lightened halfway (0.5, 0.5, 1), +-0.05.
        const bool plain = std::fabs(q.r) <= 0.05f && std::fabs(q.g) <= 0.05f;
        const bool light = std::fabs(q.r - 0.5f) <= 0.05f && std::fabs(q.g - 0.5f) <= 0.05f;
        EXPECT_TRUE(plain || light) << q.r << " " << q.g;
        EXPECT_NEAR(q.b, 1.0f, 0.05f);
    }
}

TEST_F(Physics, TrailRemainderIsSharedByBothBalls)
{
    // Each ball owes 0.3 this frame; player 2 emits what player 1 left.
    trail::remainder = 0.6f;
    players[0].velocity = {0.6f, 0, 0};  // 3 per second
    players[1].velocity = {0.6f, 0, 0};
    ground.friction = 0;
    update(0.1f);
    ASSERT_EQ(nextParticle, 1);
    EXPECT_GT(particles[0].r, 0.9f);  // the red ball's trail
    EXPECT_NEAR(trail::remainder, 0.2f, 1e-5);
}

TEST_F(Physics, NoTrailInTheAir)
{
    players[0].grounded = 0;
    players[0].y = 5;
    players[0].velocity = {4, 0, 0};
    update(0.1f);
    EXPECT_EQ(nextParticle, 0);
    EXPECT_EQ(trail::remainder, 0.0f);
}
