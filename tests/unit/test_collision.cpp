#include <gtest/gtest.h>

#include <cmath>

#include "core/state.h"
#include "sim/collision.h"
#include "sim/particle.h"
#include "sim/update.h"

namespace {

class Collision : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGameState();
        initParticles();
        setupBall(players[0], 5.0f, 7.5f);
        setupBall(players[1], 5.6f, 7.5f);
        // Well past the quarter-second cool-down of the start.
        gameTime = 10;
        lastCollisionTime = 0;
    }

    static void setupBall(Player& p, float x, float z)
    {
        initPlayer(&p, 0, 0, 1, 0.5f, 0.5f, 0.5f, x, 0, z);
        p.grounded = 1;
        p.spawning = 0;
    }

    static int emitted(int before)
    {
        return (nextParticle - before + kParticleCount) % kParticleCount;
    }
};

} // namespace

// --- detection ---

TEST_F(Collision, HitHalfwayAlongTheMovement)
{
    players[0].movement = {0.2f, 0, 0};
    players[1].movement = {0, 0, 0};
    EXPECT_NEAR(collision(&players[0], &players[1]), 0.5f, 1e-5);
    EXPECT_EQ(lastCollisionTime, 10.0f);
}

TEST_F(Collision, MovingAwayIsNoHit)
{
    players[0].movement = {-0.2f, 0, 0};
    players[0].velocity = {-2, 0, 0};
    EXPECT_EQ(collision(&players[0], &players[1]), -1.0f);
    EXPECT_EQ(players[0].velocity.x, -2.0f);
    EXPECT_EQ(players[0].grounded, 1);
    EXPECT_EQ(lastCollisionTime, 0.0f);
}

TEST_F(Collision, TooShortToCloseTheGapIsNoHit)
{
    players[0].movement = {0.09f, 0, 0};
    EXPECT_EQ(collision(&players[0], &players[1]), -1.0f);
}

TEST_F(Collision, SameMovementIsNoHit)
{
    players[0].x = 5.4f;  // overlapping, yet not closing
    players[0].movement = {0.2f, 0, 0};
    players[1].movement = {0.2f, 0, 0};
    EXPECT_EQ(collision(&players[0], &players[1]), -1.0f);
}

TEST_F(Collision, ExactGrazingPassIsAHit)
{
    // Centres 3 apart along x and 4 across; radii sum to 4: the path
    // passes b's centre at exactly the radius sum.
    Player& a = players[0];
    Player& b = players[1];
    a.radius = 2;
    b.radius = 2;
    a.x = 0;
    a.z = 0;
    b.x = 3;
    b.z = 4;
    a.movement = {4, 0, 0};
    b.movement = {0, 0, 0};
    EXPECT_FLOAT_EQ(collision(&a, &b), 0.75f);
}

TEST_F(Collision, HairWiderPassIsNoHit)
{
    Player& a = players[0];
    Player& b = players[1];
    a.radius = 2;
    b.radius = 2;
    a.x = 0;
    a.z = 0;
    b.x = 3;
    b.z = std::nextafter(4.0f, 5.0f);
    a.movement = {4, 0, 0};
    b.movement = {0, 0, 0};
    EXPECT_EQ(collision(&a, &b), -1.0f);
}

TEST_F(Collision, ContactAfterThisFrameIsNoHit)
{
    // Passing b off-centre: the gap (0.1) is shorter than the movement, but
    // the spheres would touch only further along the path.
    players[1].z = 7.5f + 0.45f;
    // Gap 0.25, first touch 0.382 along the path.
    players[0].movement = {0.3f, 0, 0};
    EXPECT_EQ(collision(&players[0], &players[1]), -1.0f);
    players[0].movement = {0.6f, 0, 0};
    const float t = collision(&players[0], &players[1]);
    EXPECT_GT(t, 0.2f);
    EXPECT_LE(t, 1.0f);
}

TEST_F(Collision, MovementAlongTheLineOfCentresGetsAProperTime)
{
    // Coordinates whose line of centres leaves distance^2 - closest^2 just
    // below zero in float.
    Player& a = players[0];
    Player& b = players[1];
    a.x = 2.93f;
    a.z = 8.35f;
    b.x = 3.29f;
    b.z = 8.77f;
    const vector ab = getVector(a.x, a.y + a.radius, a.z, b.x, b.y + b.radius, b.z);
    a.movement = multiply(ab, 0.5f);
    b.movement = {0, 0, 0};
    const float distance = magnitude(ab);
    const float closest = dotProduct(normalise(a.movement), ab);
    ASSERT_LT(distance * distance - closest * closest, 0.0f) << "case no longer rounds below zero";

    const float t = collision(&a, &b);
    ASSERT_FALSE(std::isnan(t));
    EXPECT_NEAR(t, (distance - 0.5f) / magnitude(a.movement), 1e-4);
}

// --- cool-down ---

TEST_F(Collision, CoolDownOfAQuarterSecond)
{
    players[0].movement = {0.2f, 0, 0};
    players[0].velocity = {2, 0, 0};
    ASSERT_GE(collision(&players[0], &players[1]), 0.0f);

    // Overlapping and closing, yet within 0.25 s of game time: ignored.
    players[0].x = 5.3f;
    players[0].velocity = {2, 0, 0};
    players[1].velocity = {0, 0, 0};
    gameTime = 10.2f;
    EXPECT_EQ(collision(&players[0], &players[1]), -1.0f);
    EXPECT_EQ(players[0].velocity.x, 2.0f);
    EXPECT_EQ(lastCollisionTime, 10.0f);

    gameTime = 10.25f;
    EXPECT_NE(collision(&players[0], &players[1]), -1.0f);
    EXPECT_EQ(lastCollisionTime, 10.25f);
}

// --- response ---

TEST_F(Collision, HeadOnExchangeDoublesTheRebound)
{
    players[0].movement = {0.2f, 0, 0};
    players[0].velocity = {3, 0, 0};
    players[1].velocity = {0, 0, 0};
    ASSERT_NEAR(collision(&players[0], &players[1]), 0.5f, 1e-5);
    EXPECT_FLOAT_EQ(players[0].velocity.x, 0.0f);
    EXPECT_FLOAT_EQ(players[1].velocity.x, 6.0f);
    EXPECT_FLOAT_EQ(players[1].velocity.y, 0.0f);
    EXPECT_FLOAT_EQ(players[1].velocity.z, 0.0f);
    EXPECT_EQ(players[0].grounded, 0);
    EXPECT_EQ(players[1].grounded, 0);
}

TEST_F(Collision, FullResistanceTakesTheHitWithoutDoubling)
{
    players[0].movement = {0.2f, 0, 0};
    players[0].velocity = {3, 0, 0};
    players[1].resistance = 0.5f;
    ASSERT_GE(collision(&players[0], &players[1]), 0.0f);
    EXPECT_FLOAT_EQ(players[1].velocity.x, 3.0f);
}

TEST_F(Collision, CrossSpeedIsDoubledToo)
{
    // Whole velocity doubles after the exchange, across the line of centres as well.
    players[0].movement = {0.2f, 0, 0};
    players[0].velocity = {3, 0, 1};
    players[1].velocity = {0, 0, -0.5f};
    ASSERT_GE(collision(&players[0], &players[1]), 0.0f);
    EXPECT_FLOAT_EQ(players[0].velocity.x, 0.0f);
    EXPECT_FLOAT_EQ(players[0].velocity.z, 2.0f);
    EXPECT_FLOAT_EQ(players[1].velocity.x, 6.0f);
    EXPECT_FLOAT_EQ(players[1].velocity.z, -1.0f);
}

TEST_F(Collision, HeavierBallPushesHarder)
{
    // Masses 1.5 and 1: optimisedP = 2 * 4 / 2.5 = 3.2.
    players[0].mass = 1.5f;
    players[0].movement = {0.2f, 0, 0};
    players[0].velocity = {4, 0, 0};
    ASSERT_GE(collision(&players[0], &players[1]), 0.0f);
    EXPECT_FLOAT_EQ(players[0].velocity.x, 2 * (4 - 3.2f));
    EXPECT_FLOAT_EQ(players[1].velocity.x, 2 * 1.5f * 3.2f);
}

TEST_F(Collision, OverlappingBallsGetTheResponseWithNegativeTime)
{
    players[0].x = 5.2f;  // centres 0.4 apart, 0.1 inside each other
    players[0].movement = {0.1f, 0, 0};
    players[0].velocity = {1, 0, 0};
    const float t = collision(&players[0], &players[1]);
    EXPECT_NEAR(t, -1.0f, 1e-4);
    EXPECT_FLOAT_EQ(players[1].velocity.x, 2.0f);
}

TEST_F(Collision, SparksAtTheMidpointSizedByTheExchange)
{
    // Closing at 6 along the line: optimisedP 6, size (6/15)^2 = 0.16, 400 sparks.
    players[0].y = 1;
    players[1].y = 1;
    players[0].movement = {0.2f, 0, 0};
    players[0].velocity = {6, 0, 0};
    const int before = nextParticle;
    ASSERT_GE(collision(&players[0], &players[1]), 0.0f);
    EXPECT_EQ(emitted(before), 400);
    const Particle& spark = particles[before];
    EXPECT_EQ(spark.active, 1);
    EXPECT_FLOAT_EQ(spark.x, 5.3f);
    EXPECT_FLOAT_EQ(spark.y, 1.25f);
    EXPECT_FLOAT_EQ(spark.z, 7.5f);
}

// --- bump sound ---

TEST(Bump, LoudOnlyAboveFive)
{
    EXPECT_FALSE(loudBump(5.0f));
    EXPECT_FALSE(loudBump(-6.0f));
    EXPECT_TRUE(loudBump(std::nextafter(5.0f, 6.0f)));
    EXPECT_TRUE(loudBump(12.0f));
}

TEST_F(Collision, ClosingAtFiveIsTheSoftBump)
{
    // Equal unit masses closing at 5 along the line: optimisedP exactly 5,
    // the soft side of the threshold, and (5/15)^2 * 2500 = 277 sparks.
    players[0].movement = {0.2f, 0, 0};
    players[0].velocity = {5, 0, 0};
    const int before = nextParticle;
    ASSERT_GE(collision(&players[0], &players[1]), 0.0f);
    EXPECT_EQ(emitted(before), 277);
    EXPECT_FLOAT_EQ(players[1].velocity.x, 10.0f);  // b took optimisedP, doubled
}

// --- in the frame update ---

class CollisionInFrame : public Collision {
protected:
    void SetUp() override
    {
        Collision::SetUp();
        flat = {};
        flat.gravity = 9.8f;
        flat.friction = 0;
        terrain = &flat;
        heightmap.fill(0);
        nextPowerupSpawn = 100;  // no powerup drops in
    }
    Terrain flat{};
};

TEST_F(CollisionInFrame, BothBallsStopAtTheMomentOfContact)
{
    // Gap 0.1, relative movement 0.25 in a 0.1 s frame: contact at 40 %.
    players[0].velocity = {2, 0, 0};
    players[1].velocity = {-0.5f, 0, 0};
    update(0.1f);
    EXPECT_NEAR(players[0].x, 5.0f + 0.4f * 0.2f, 1e-5);
    EXPECT_NEAR(players[1].x, 5.6f - 0.4f * 0.05f, 1e-5);
    EXPECT_EQ(players[0].grounded, 0);
}

TEST_F(CollisionInFrame, OverlappingBallsMoveTheirWholeMovement)
{
    players[0].x = 5.2f;
    players[0].velocity = {1, 0, 0};
    update(0.1f);
    EXPECT_NEAR(players[0].x, 5.3f, 1e-5);
    EXPECT_FLOAT_EQ(players[1].velocity.x, 2.0f);
}

TEST_F(CollisionInFrame, HitAlongTheLineOfCentresShortensTheMovement)
{
    Player& a = players[0];
    Player& b = players[1];
    a.x = 2.93f;
    a.z = 8.35f;
    b.x = 3.29f;
    b.z = 8.77f;
    const vector ab = getVector(a.x, 0, a.z, b.x, 0, b.z);
    a.velocity = multiply(ab, 5.0f);  // half the distance in 0.1 s
    b.velocity = {0, 0, 0};
    update(0.1f);
    ASSERT_FALSE(std::isnan(a.x));
    ASSERT_FALSE(std::isnan(a.z));
    const float gap = magnitude(getVector(a.x, 0, a.z, b.x, 0, b.z));
    EXPECT_NEAR(gap, 0.5f, 1e-4);  // touching, not overlapping
}
