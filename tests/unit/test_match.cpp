#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/match.h"
#include "core/state.h"
#include "sim/particle.h"
#include "sim/update.h"

namespace
{

constexpr float kFrame = 1.0f / 60;
constexpr int kMaxFrames = 60 * 60 * 5; // five minutes of play

int sign(float v)
{
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

// Keys that push player p toward (x, z).
void steerToward(Player &p, float x, float z)
{
    p.pressx = sign(x - p.x);
    p.pressy = sign(p.z - z); // forward is -z
}

// Names the first group holding a number that is not finite, or is empty.
std::string firstNonFinite()
{
    auto finite = [](std::initializer_list<float> values) {
        for (float v : values)
            if (!std::isfinite(v))
                return false;
        return true;
    };
    for (const Player &p : players)
        if (!finite({p.x, p.y, p.z, p.rot, p.rotY, p.rotHY, p.radius, p.mass, p.maxSpeed,
                     p.acceleration, p.resistance, p.powerupStage, p.powerupExpire, p.velocity.x,
                     p.velocity.y, p.velocity.z, p.movement.x, p.movement.y, p.movement.z}))
            return "player " + std::to_string(&p - players.data());
    if (!finite({cameraPos[0], cameraPos[1], cameraPos[2], cameraPosPreferred[0],
                 cameraPosPreferred[1], cameraPosPreferred[2], cameraRot, cameraVelocity.x,
                 cameraVelocity.y, cameraVelocity.z, sceneRot, lightPos[0], lightPos[1],
                 lightPos[2]}))
        return "camera or light";
    if (!finite({powerup.x, powerup.y, powerup.z, powerup.velocity.y, trail::remainder, gameTime}))
        return "powerup or clock";
    for (const Particle &q : particles)
        if (q.active && !finite({q.x, q.y, q.z, q.velocity.x, q.velocity.y, q.velocity.z, q.life,
                                 q.r, q.g, q.b}))
            return "particle";
    return "";
}

class Match : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        resetGameState();
        trail::remainder = 0;
        ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
        ASSERT_STREQ(terrains[0].name.data(), "Rolling Dunes");
        terrain = &terrains[0];
        std::srand(20240611u);
        std::FILE *quiet = std::fopen("/dev/null", "w");
        generateHeightMap(heightmap.data(), *terrain, quiet);
        std::fclose(quiet);
        setupPlayers();
        beginMatch();
    }
    void TearDown() override { destroyTerrains(); }

    // Plays until the match is decided, checking every frame, then 600 frames
    // more in which everyone drives off the edge: nothing scores any more,
    // nothing breaks. Returns the frames played to the decision.
    template <class Script> int play(Script script)
    {
        int decided = kMaxFrames, scores[2] = {0, 0};
        std::string line;
        for (int frame = 0; frame < decided + 600; ++frame) {
            if (frame < decided) {
                script(frame);
            } else {
                players[0].pressx = 1;
                players[0].pressy = 0;
                if (toggleBot == 0) {
                    players[1].pressx = -1;
                    players[1].pressy = 0;
                }
            }
            update(kFrame);
            const std::string bad = firstNonFinite();
            if (!bad.empty()) {
                ADD_FAILURE() << bad << " not finite at frame " << frame;
                return frame;
            }
            for (int i = 0; i < 2; ++i) {
                const int gained = players[i].score - scores[i];
                if (gained < 0 || gained > (frame < decided ? 1 : 0)) {
                    ADD_FAILURE() << "score of " << i << " went to " << players[i].score
                                  << " at frame " << frame;
                    return frame;
                }
                scores[i] = players[i].score;
            }
            if (frame < decided && endGame == 1) {
                decided = frame + 1;
                line = mainMessage.data();
                EXPECT_EQ(std::string(messages[winner].text.data()), "Winner!");
            }
            if (frame >= decided) {
                EXPECT_EQ(endGame, 1);
                EXPECT_EQ(std::string(mainMessage.data()), line);
            }
        }
        EXPECT_LT(decided, kMaxFrames) << "no winner";
        EXPECT_EQ(players[winner].score, 5);
        EXPECT_LT(players[1 - winner].score, 5);
        return decided;
    }
};

} // namespace

TEST_F(Match, TwoScriptedPlayersPlayToAWinner)
{
    // Player 1 hunts player 2; player 2 heads for a new spot every three
    // seconds, some of them beyond the edge.
    const float targets[][2] = {{7.5f, 7.5f}, {-3, 7.5f}, {12, 3},    {7.5f, 18},
                                {3, 12},      {18, 2},    {7.5f, -3}, {10, 10}};
    const int frames = play([&](int frame) {
        steerToward(players[0], players[1].x, players[1].z);
        const auto &t = targets[(frame / 180) % 8];
        steerToward(players[1], t[0], t[1]);
    });
    EXPECT_GT(frames, 600); // five falls take time
    EXPECT_EQ(std::string(mainMessage.data()),
              "Player " + std::to_string(winner + 1) + " is the winner! press space to continue");
}

TEST_F(Match, BotAgainstAPlayerWhoKeepsFallingOff)
{
    toggleBot = 1;
    // The human drives to the middle and then straight off the field.
    play([&](int frame) {
        steerToward(players[0], (frame / 240) % 2 ? 20.0f : 7.5f, (frame / 240) % 2 ? 20.0f : 7.5f);
    });
    EXPECT_EQ(std::string(mainMessage.data()),
              winner == 1 ? "Bot won, you suck bad! press space to continue"
                          : "Player 1 is the winner! press space to continue");
    EXPECT_EQ(players[1].pressx, 0); // the bot lets go once it is over
    EXPECT_EQ(players[1].pressy, 0);
}
