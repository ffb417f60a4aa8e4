// SPDX-License-Identifier: GPL-3.0-or-later
#include "fixture.h"

namespace
{

// One frame of updatePlayer from a fresh player with the given movement,
// keys and angles.
Player after(vector movement, int pressx, int pressy, float seconds, float rotY = 0,
             float rotHY = 0)
{
    Player p{};
    initPlayer(&p, 0, 0, 1, 0.5f, 0.5f, 0.5f, 11.25f, 10, 7.5f);
    p.movement = movement, p.pressx = pressx, p.pressy = pressy, p.rotY = rotY, p.rotHY = rotHY;
    updatePlayer(&p, seconds);
    return p;
}

TEST(Player, HeadingFromTheMovementFacingFromTheKeysAndTheRoll)
{
    struct Case {
        vector movement;
        int pressx, pressy;
        float rotY, rotHY; // after a frame long enough for any turn
    };
    // asin(1) * 180 / 3.14 is a little more than 90; a speck of x alone
    // squares to 0 and still gives a heading.
    const Case cases[] = {
        {{1, 0, 0}, 1, 0, 0, 0},
        {{1e-6f, 0, -1}, 0, 1, 90.0456f, 90},
        {{-1, 0, -0.001f}, -1, 1, 179.9427f, 135},
        {{-1, 0, 0.001f}, -1, -1, -179.9427f, -135},
        {{1, 0, 1}, 1, -1, -45.0228f, -45},
        {{-1, 0, 0}, -1, 0, -180, 180},
        {{1e-30f, 0, 0}, 0, -1, 0, -90},
        {{-1e-30f, 0, 0}, 1, 1, -180, 45},
    };
    for (const Case &c : cases) {
        const Player p = after(c.movement, c.pressx, c.pressy, 100);
        EXPECT_NEAR(p.rotY, c.rotY, 1e-3) << c.movement.x << ", " << c.movement.z;
        EXPECT_EQ(p.rotHY, c.rotHY) << c.pressx << ", " << c.pressy;
    }
    for (float z = 0.001f; z < 4.0f; z *= 1.0137f) // x a speck, as the slope leaves it
        ASSERT_NEAR(after({-6e-17f, 0, z}, 0, 0, 100).rotY, -180 + 90.0456f, 1e-3) << z;

    // At most 180 and 270 degrees a second, the short way round; no movement
    // in x or no key keeps the angle.
    EXPECT_FLOAT_EQ(after({1e-6f, 0, -1}, 0, 1, 0.1f).rotY, 18.0f);
    EXPECT_FLOAT_EQ(after({1e-6f, 0, -1}, 0, 1, 0.1f).rotHY, 27.0f);
    EXPECT_NEAR(after({-0.98480775f, 0, 0.17364818f}, 0, 0, 1, 170).rotY, 190.0f, 0.01f);
    EXPECT_FLOAT_EQ(after({1, 0, 0}, -1, 0, 1, 0, -170).rotHY, -180.0f);
    EXPECT_EQ(after({0, 0, -1}, 1, 1, 0.1f, 12, 34).rotY, 12.0f);
    EXPECT_EQ(after({1, 0, 0}, 0, 0, 0.1f, 0, 33).rotHY, 33.0f);
    // A full turn of the cage for an arc of 6.28 times the radius.
    EXPECT_EQ(after({1.57f, 0, 0}, 0, 0, 0.1f).rot, -360.0f);
}

} // namespace
