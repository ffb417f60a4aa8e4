#include <gtest/gtest.h>

#include <cmath>

#include "core/state.h"
#include "sim/collision.h"
#include "sim/particle.h"
#include "sim/update.h"

namespace
{

class Collision : public ::testing::Test
{
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

    static void setupBall(Player &p, float x, float z)
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

TEST_F(Collision, SweptHitTimes)
{
    struct Case {
        const char *what;
        float ax, az, bx, bz, radius;
        float moveA, moveB; // along x
        float want;         // -1: no hit
    };
    const float wider = std::nextafter(4.0f, 5.0f);
    const Case cases[] = {
        {"halfway along the movement", 5, 7.5f, 5.6f, 7.5f, 0.25f, 0.2f, 0, 0.5f},
        {"moving away", 5, 7.5f, 5.6f, 7.5f, 0.25f, -0.2f, 0, -1},
        {"too short to close the gap", 5, 7.5f, 5.6f, 7.5f, 0.25f, 0.09f, 0, -1},
        {"overlapping, same movement", 5.4f, 7.5f, 5.6f, 7.5f, 0.25f, 0.2f, 0.2f, -1},
        // Centres 3 apart along x and 4 across, radii summing to 4: the path
        // passes b's centre at exactly the radius sum.
        {"exact grazing pass", 0, 0, 3, 4, 2, 4, 0, 0.75f},
        {"a hair wider", 0, 0, 3, wider, 2, 4, 0, -1},
        // Gap 0.25 along the path, but the spheres first touch 0.382 along it.
        {"contact after this frame", 5, 7.5f, 5.6f, 7.95f, 0.25f, 0.3f, 0, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        Player &a = players[0];
        Player &b = players[1];
        a.x = c.ax;
        a.z = c.az;
        b.x = c.bx;
        b.z = c.bz;
        a.radius = b.radius = c.radius;
        a.movement = {c.moveA, 0, 0};
        b.movement = {c.moveB, 0, 0};
        a.velocity = {c.moveA * 10, 0, 0};
        EXPECT_NEAR(collision(&a, &b), c.want, 1e-5);
        EXPECT_EQ(lastCollisionTime, c.want < 0 ? 0.0f : 10.0f);
        if (c.want < 0) {
            EXPECT_EQ(a.velocity.x, c.moveA * 10); // untouched
            EXPECT_EQ(a.grounded, 1);
        }
    }
}

TEST_F(Collision, MovementAlongTheLineOfCentresGetsAProperTime)
{
    // Coordinates whose line of centres leaves distance^2 - closest^2 just
    // below zero in float.
    Player &a = players[0];
    Player &b = players[1];
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

TEST_F(Collision, HeadOnExchangeDoublesTheWholeVelocity)
{
    // Across the line of centres as well.
    players[0].movement = {0.2f, 0, 0};
    players[0].velocity = {3, 0, 1};
    players[1].velocity = {0, 0, -0.5f};
    ASSERT_NEAR(collision(&players[0], &players[1]), 0.5f, 1e-5);
    EXPECT_FLOAT_EQ(players[0].velocity.x, 0.0f);
    EXPECT_FLOAT_EQ(players[0].velocity.z, 2.0f);
    EXPECT_FLOAT_EQ(players[1].velocity.x, 6.0f);
    EXPECT_FLOAT_EQ(players[1].velocity.y, 0.0f);
    EXPECT_FLOAT_EQ(players[1].velocity.z, -1.0f);
    EXPECT_EQ(players[0].grounded, 0);
    EXPECT_EQ(players[1].grounded, 0);
}

TEST_F(Collision, ResistanceMassAndOverlap)
{
    struct Case {
        const char *what;
        float mass0, resistance1, x0, move, speed;
        float time, v0, v1;
    };
    const Case cases[] = {
        {"full resistance takes the hit without doubling", 1, 0.5f, 5, 0.2f, 3, 0.5f, 0, 3},
        // Masses 1.5 and 1: optimisedP = 2 * 4 / 2.5 = 3.2.
        {"heavier pushes harder", 1.5f, 0, 5, 0.2f, 4, 0.5f, 2 * (4 - 3.2f), 2 * 1.5f * 3.2f},
        // Centres 0.4 apart, 0.1 inside each other: the response, at time -1.
        {"overlapping", 1, 0, 5.2f, 0.1f, 1, -1, 0, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        players[0].mass = c.mass0;
        players[1].resistance = c.resistance1;
        players[0].x = c.x0;
        players[0].movement = {c.move, 0, 0};
        players[0].velocity = {c.speed, 0, 0};
        EXPECT_NEAR(collision(&players[0], &players[1]), c.time, 1e-4);
        EXPECT_FLOAT_EQ(players[0].velocity.x, c.v0);
        EXPECT_FLOAT_EQ(players[1].velocity.x, c.v1);
    }
}

TEST_F(Collision, SparksAtTheMidpointSizedByTheExchangeAndTheBumpThreshold)
{
    // Closing at 6 along the line: optimisedP 6, size (6/15)^2 = 0.16, 400
    // sparks; at exactly 5, (5/15)^2 * 2500 = 277 sparks and the soft bump.
    for (const auto &[speed, sparks] : {std::pair{6.0f, 400}, {5.0f, 277}}) {
        SetUp();
        players[0].y = players[1].y = 1;
        players[0].movement = {0.2f, 0, 0};
        players[0].velocity = {speed, 0, 0};
        const int before = nextParticle;
        ASSERT_GE(collision(&players[0], &players[1]), 0.0f);
        EXPECT_EQ(emitted(before), sparks) << speed;
        EXPECT_FLOAT_EQ(players[1].velocity.x, 2 * speed); // b took optimisedP, doubled
        const Particle &spark = particles[before];
        EXPECT_EQ(spark.active, 1);
        EXPECT_FLOAT_EQ(spark.x, 5.3f);
        EXPECT_FLOAT_EQ(spark.y, 1.25f);
        EXPECT_FLOAT_EQ(spark.z, 7.5f);
    }
    EXPECT_FALSE(loudBump(5.0f));
    EXPECT_FALSE(loudBump(-6.0f));
    EXPECT_TRUE(loudBump(std::nextafter(5.0f, 6.0f)));
}

// --- in the frame update ---

class CollisionInFrame : public Collision
{
  protected:
    void SetUp() override
    {
        Collision::SetUp();
        flat = {};
        flat.gravity = 9.8f;
        flat.friction = 0;
        terrain = &flat;
        heightmap.fill(0);
        nextPowerupSpawn = 100; // no powerup drops in
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
