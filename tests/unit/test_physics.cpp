#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "core/state.h"
#include "sim/frags.h"
#include "sim/particle.h"
#include "sim/update.h"

namespace
{

class Physics : public ::testing::Test
{
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
        nextPowerupSpawn = 1000; // keep powerups out of the way
        initPlayer(&players[0], 0, 0, 1, 0.5f, 0.5f, 0.5f, 11.25f, 0, 7.5f);
        initPlayer(&players[1], 1, 0, 0, 1, 0.5f, 0.2f, 3.75f, 0, 7.5f);
        for (Player &p : players) {
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

    Terrain ground{};
};

} // namespace

TEST_F(Physics, StepIsCappedAtATenthAndHalvedInBulletTime)
{
    players[0].grounded = 0;
    players[0].y = 5;
    update(0.25f);
    EXPECT_FLOAT_EQ(gameTime, 0.1f);
    EXPECT_FLOAT_EQ(players[0].velocity.y, -1.0f); // 10 * 0.1
    EXPECT_FLOAT_EQ(players[0].y, 5 - 0.1f);
    EXPECT_EQ(lightTime, 0.0f);
    toggleBulletTime = 1;
    toggleLightMovement = 1;
    update(0.25f);
    EXPECT_FLOAT_EQ(gameTime, 0.15f);
    EXPECT_FLOAT_EQ(lightTime, 0.05f); // light time runs only with light movement
    update(0.04f);
    EXPECT_FLOAT_EQ(gameTime, 0.17f);
}

TEST_F(Physics, TheClockStillRunsAfterHoursAtAThousandFramesASecond)
{
    // Eleven hours in, a millisecond is less than half of a float's last
    // digit there: the clock must not stand still, nor skip ahead.
    gameTime = 40000.0f;
    for (int i = 0; i < 2000; ++i)
        update(0.001f);
    EXPECT_NEAR(gameTime, 40002.0f, 0.004f);
    // Set from outside, it runs on from there.
    gameTime = 3.0f;
    update(0.1f);
    EXPECT_FLOAT_EQ(gameTime, 3.1f);
}

TEST_F(Physics, PauseChangesNothing)
{
    players[0].velocity = {1, 0, 0.5f};
    players[0].pressx = 1;
    players[1].grounded = 0;
    players[1].y = 3;
    addMessage("hello", 0);
    toggleLightMovement = 1;
    createExplosion(5, 1, 5, 0.01f, 1, 1, 1, 1, 1, 1, 1);
    update(0.1f); // a frame in motion first

    const auto playersBefore = players;
    const auto messagesBefore = messages;
    const auto particlesBefore = particles;
    const auto cameraBefore = cameraPos;
    const auto lightBefore = lightPos;
    const float times[] = {gameTime, lightTime, nextPowerupSpawn, trail::remainder};
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
    const float after[] = {gameTime, lightTime, nextPowerupSpawn, trail::remainder};
    EXPECT_EQ(std::memcmp(times, after, sizeof times), 0);
    togglePause = 0;
    update(0.1f);
    EXPECT_FLOAT_EQ(gameTime, times[0] + 0.1f);
}

TEST_F(Physics, CageTurnsByLastFramesMovementAndALandingBallIsDriven)
{
    ground.friction = 0;
    Player &p = players[0];
    p.velocity = {3.14f, 0, 0};
    Player &q = players[1];
    q.grounded = 0;
    q.y = 0;
    q.pressx = 1;
    update(0.05f);
    EXPECT_EQ(p.rot, 0.0f); // still the movement of the frame before
    EXPECT_FLOAT_EQ(p.movement.x, 0.157f);
    EXPECT_EQ(q.grounded, 1);
    EXPECT_FLOAT_EQ(q.velocity.x, 0.6f); // driven in the frame it lands
    EXPECT_FLOAT_EQ(q.x, 3.75f + 0.03f);
    update(0.05f);
    EXPECT_FLOAT_EQ(p.rot, -360 * 0.157f / (6.28f * 0.25f));
}

TEST_F(Physics, DriveSlowsInFullSteersOverTopSpeedAndCapsAtIt)
{
    struct Case {
        const char *what;
        vector velocity;
        int pressx, pressy;
        float mass;
        int frames;
        vector want;
    };
    const float d = 1.2f / std::sqrt(2.0f);
    const Case cases[] = {
        {"push along x", {0, 0, 0}, 1, 0, 1, 1, {1.2f, 0, 0}},
        {"forward is -z", {0, 0, 0}, 0, 1, 1, 1, {0, 0, -1.2f}},
        {"diagonal as strong as straight", {0, 0, 0}, -1, -1, 1, 1, {-d, 0, d}},
        {"heavier answers more slowly", {0, 0, 0}, 1, 0, 1.5f, 1, {1.2f / std::sqrt(1.5f), 0, 0}},
        {"top speed", {0, 0, 0}, 1, 0, 1, 10, {4, 0, 0}},
        {"a slowing push in full", {6, 0, 0}, -1, 0, 1, 1, {4.8f, 0, 0}},
        {"over top speed gains nothing", {6, 0, 0}, 1, 0, 1, 1, {6, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Player &p = players[0];
        p.velocity = c.velocity;
        p.pressx = c.pressx;
        p.pressy = c.pressy;
        p.mass = c.mass;
        for (int i = 0; i < c.frames; ++i)
            applyDrive(&p, 0.1f);
        EXPECT_FLOAT_EQ(p.velocity.x, c.want.x);
        EXPECT_EQ(p.velocity.y, 0.0f);
        EXPECT_FLOAT_EQ(p.velocity.z, c.want.z);
    }
    // Over top speed it still steers, keeping its speed.
    Player &p = players[0];
    p.velocity = {6, 0, 0};
    p.pressx = 0;
    p.pressy = 1;
    applyDrive(&p, 0.1f);
    EXPECT_LT(p.velocity.z, 0.0f);
    EXPECT_FLOAT_EQ(magnitude(p.velocity), 6.0f);
    // In the air it cannot be steered, and falls by its mass with no drag.
    Player &q = players[1];
    q.grounded = 0;
    q.y = 5;
    q.mass = 1.5f;
    q.pressx = 1;
    q.velocity = {0, 0, 1};
    update(0.1f);
    EXPECT_EQ(q.velocity.x, 0.0f);
    EXPECT_EQ(q.velocity.z, 1.0f);
    EXPECT_FLOAT_EQ(q.velocity.y, -1.5f);
    // With no keys a ball at rest stays exactly at rest.
    p.velocity = {0, 0, 0};
    p.pressy = 0;
    p.x = 11.25f;
    p.z = 7.5f;
    for (int i = 0; i < 30; ++i)
        update(1.0f / 60);
    EXPECT_EQ(magnitude(p.velocity), 0.0f);
    EXPECT_EQ(p.x, 11.25f);
    EXPECT_EQ(p.z, 7.5f);
}

TEST_F(Physics, SlopePullsTowardTheLowestSample)
{
    // Flat ground pulls nowhere; at the edge the samples off the field read
    // -1, which is never lower.
    heightmap.fill(50);
    Player &p = players[0];
    p.y = 0.5f;
    applyGravity(&p, 0.1f);
    EXPECT_EQ(magnitude(p.velocity), 0.0f);
    heightmap.fill(0);
    p.x = 0.05f;
    p.z = 14.98f;
    p.y = 0;
    applyGravity(&p, 0.1f);
    EXPECT_EQ(magnitude(p.velocity), 0.0f);

    // Sample 16 points straight down the ramp, 0.01 lower: g m 0.01 / sqrt(0.01^2 + 0.1^2).
    rampAlongX();
    Player &heavy = players[1];
    for (Player *b : {&p, &heavy}) {
        b->x = 7.55f;
        b->z = 7.5f;
        b->y = getRealHeight(heightmap.data(), b->x, b->z);
        b->velocity = {0, 0, 0};
    }
    p.velocity = {-4, 0, 0}; // not capped by top speed
    heavy.mass = 1.5f;
    applyGravity(&p, 0.1f);
    applyGravity(&heavy, 0.1f);
    EXPECT_NEAR(p.velocity.x, -4.0995f, 1e-4);
    EXPECT_NEAR(p.velocity.z, 0.0f, 1e-6);
    EXPECT_EQ(p.velocity.y, 0.0f);
    EXPECT_NEAR(heavy.velocity.x, 1.5f * -0.0995f, 1e-4);

    // Low flat ground for x < 7.4, a wall from column 75 on; the ball sits on
    // the wall's slope. Samples 11 to 21 all land at height 0; the first of
    // them, at 11/32 of a turn, wins the tie.
    for (int row = 0; row < kGridSize; ++row)
        for (int col = 0; col < kGridSize; ++col)
            heightmap[row * kGridSize + col] = col >= 75 ? 100 : 0;
    p.x = 7.45f;
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    p.velocity = {0, 0, 0};
    ASSERT_GT(p.y, 0.4f);
    applyGravity(&p, 0.1f);
    const double angle = 11.0 / 32 * 2 * std::numbers::pi;
    const float length = magnitude(p.velocity);
    ASSERT_GT(length, 0.0f);
    EXPECT_NEAR(p.velocity.x / length, std::cos(angle), 1e-5);
    EXPECT_NEAR(p.velocity.z / length, std::sin(-angle), 1e-5);
    EXPECT_NEAR(length, 10 * p.y / std::sqrt(0.01f + p.y * p.y) * 0.1f, 1e-5);
}

TEST_F(Physics, FrictionSlowsAlongTheVelocityAndNeverReverses)
{
    Player &p = players[0];
    p.velocity = {3, 0, -4};
    applyFriction(&p, 0.1f);
    EXPECT_FLOAT_EQ(p.velocity.x, 3 * 0.96f);
    EXPECT_FLOAT_EQ(p.velocity.z, -4 * 0.96f);
    p.velocity = {0.05f, 0, 0};
    applyFriction(&p, 0.1f);
    EXPECT_EQ(magnitude(p.velocity), 0.0f);
}

TEST_F(Physics, LandsAtExactlyGroundHeightAndFollowsTheSurface)
{
    heightmap.fill(30);
    Player &p = players[0];
    Player &q = players[1];
    p.grounded = q.grounded = 0;
    p.spawning = 1;
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    p.velocity = {0, -2, 0};
    q.y = 0.31f;
    q.velocity = {1, 0, 0};
    update(0.05f);
    EXPECT_EQ(p.grounded, 1);
    EXPECT_EQ(p.spawning, 0);
    EXPECT_EQ(p.velocity.y, 0.0f);
    EXPECT_EQ(p.y, getRealHeight(heightmap.data(), p.x, p.z));
    EXPECT_EQ(q.grounded, 0) << "above the ground it keeps falling";
    EXPECT_LT(q.velocity.y, 0.0f);
    // Sunk below the ground it lands too, keeping its speed along the ground.
    q.y = 0.1f;
    groundContact(1);
    EXPECT_EQ(q.grounded, 1);
    EXPECT_EQ(q.velocity.y, 0.0f);
    EXPECT_EQ(q.velocity.x, 1.0f);

    rampAlongX();
    ground.friction = 0;
    p.x = 5;
    p.y = getRealHeight(heightmap.data(), p.x, p.z);
    p.velocity = {3, 0, 0};
    for (int i = 0; i < 20; ++i) {
        update(1.0f / 60);
        ASSERT_EQ(p.y, getRealHeight(heightmap.data(), p.x, p.z));
        ASSERT_EQ(p.velocity.y, 0.0f);
    }
    EXPECT_GT(p.x, 5.5f);
    EXPECT_EQ(p.grounded, 1);
}

TEST_F(Physics, TrailOfTenParticlesPerSecondAtTwoUnits)
{
    Player &p = players[0];
    p.velocity = {2, 0, 0};
    int emitted = 0, emissions = 0, lastFrame = 0;
    for (int frame = 1; frame <= 600; ++frame) {
        const int before = nextParticle;
        emitTrail(&p, 1.0f / 60);
        const int count = (nextParticle - before + kParticleCount) % kParticleCount;
        if (count > 0) {
            EXPECT_EQ(count, 1) << "one per emission";
            if (emissions++ > 0) {
                EXPECT_GE(frame - lastFrame, 5);
                EXPECT_LE(frame - lastFrame, 7);
            }
            lastFrame = frame;
        }
        emitted += count;
    }
    EXPECT_NEAR(emitted, 100, 1);
}

TEST_F(Physics, TrailLeavesBehindTheBallInItsColours)
{
    Player &p = players[0]; // blue ball
    p.x = 5;
    p.y = 1;
    p.z = 5;
    p.velocity = {0, 0, -4};
    trail::remainder = 0.9f;
    emitTrail(&p, 0.1f); // owes 0.9 + 2 = 2.9: two particles, 0.9 kept
    ASSERT_EQ(nextParticle, 2);
    EXPECT_NEAR(trail::remainder, 0.9f, 1e-5);
    const Particle &q = particles[1];
    // The point straight behind the ball, within the spread of 0.25, moving
    // at -v * |v| * 0.1 lifted by the radius; blue or blue lightened halfway.
    EXPECT_NEAR(q.y, 1.25f, 0.25f);
    EXPECT_NEAR(q.z, 5.25f, 0.25f);
    EXPECT_FLOAT_EQ(q.velocity.y, 0.25f);
    EXPECT_FLOAT_EQ(q.velocity.z, 1.6f);
    EXPECT_TRUE(std::fabs(q.r) <= 0.05f || std::fabs(q.r - 0.5f) <= 0.05f) << q.r;

    // Both balls share the remainder: each owes 0.3 here, player 2 emits
    // what player 1 left. Balls in the air leave no trail.
    SetUp();
    trail::remainder = 0.6f;
    players[0].velocity = {0.6f, 0, 0}; // 3 per second
    players[1].velocity = {0.6f, 0, 0};
    ground.friction = 0;
    update(0.1f);
    ASSERT_EQ(nextParticle, 1);
    EXPECT_GT(particles[0].r, 0.9f); // the red ball's trail
    EXPECT_NEAR(trail::remainder, 0.2f, 1e-5);
    for (Player &b : players) {
        b.grounded = 0;
        b.y = 5;
    }
    update(0.1f);
    EXPECT_EQ(nextParticle, 1);
    EXPECT_NEAR(trail::remainder, 0.2f, 1e-5);
}
