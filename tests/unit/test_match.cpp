#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "core/match.h"
#include "core/state.h"
#include "sim/particle.h"
#include "sim/update.h"

namespace {

constexpr float kFrame = 1.0f / 60;
constexpr int kMaxFrames = 60 * 60 * 5;  // five minutes of play

// "Rolling Dunes" as the shipped terrains file has it.
Terrain rollingDunes()
{
    Terrain t{};
    const char name[] = "Rolling Dunes";
    for (std::size_t i = 0; i < sizeof name; ++i)
        t.name[i] = name[i];
    t.circlesPerCell = 0.004f;
    t.circleSizeMin = 20;
    t.circleSizeMax = 60;
    t.circleHeight = 80;
    t.circleHeightFactor = 2;
    t.invert = 0;
    t.gravity = 9.81f;
    t.friction = 0.5f;
    t.diffuse = {0.9f, 0.8f, 0.5f, 1};
    t.ambient = {0.35f, 0.3f, 0.15f, 1};
    t.noisePersistence = 0.6f;
    t.noiseRange = 40;
    return t;
}

int sign(float v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// Keys that push player p toward (x, z).
void steerToward(Player& p, float x, float z)
{
    p.pressx = sign(x - p.x);
    p.pressy = sign(p.z - z);  // forward is -z
}

bool finite(float v) { return std::isfinite(v); }
bool finite(const vector& v) { return finite(v.x) && finite(v.y) && finite(v.z); }

// Names the first field that is not a finite number, or is empty.
std::string firstNonFinite()
{
    for (int i = 0; i < 2; ++i) {
        const Player& p = players[i];
        const float fields[] = {p.x,        p.y,        p.z,          p.rot,
                                p.rotY,     p.rotHY,    p.radius,     p.mass,
                                p.maxSpeed, p.acceleration, p.resistance, p.powerupStage,
                                p.powerupExpire};
        for (float f : fields)
            if (!finite(f))
                return "player " + std::to_string(i) + " scalar";
        if (!finite(p.velocity))
            return "player " + std::to_string(i) + " velocity";
        if (!finite(p.movement))
            return "player " + std::to_string(i) + " movement";
    }
    for (float f : cameraPos)
        if (!finite(f))
            return "cameraPos";
    for (float f : cameraPosPreferred)
        if (!finite(f))
            return "cameraPosPreferred";
    if (!finite(cameraRot) || !finite(cameraVelocity) || !finite(sceneRot))
        return "camera";
    for (float f : lightPos)
        if (!finite(f))
            return "lightPos";
    if (!finite(powerup.x) || !finite(powerup.y) || !finite(powerup.z) ||
        !finite(powerup.velocity))
        return "powerup";
    if (!finite(trail::remainder) || !finite(gameTime))
        return "clock";
    for (const Particle& q : particles) {
        if (!q.active)
            continue;
        if (!finite(q.x) || !finite(q.y) || !finite(q.z) || !finite(q.velocity) ||
            !finite(q.life) || !finite(q.r) || !finite(q.g) || !finite(q.b))
            return "particle";
    }
    return "";
}

class Match : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetGameState();
        trail::remainder = 0;
        std::srand(20240611u);
        dunes = rollingDunes();
        terrain = &dunes;
        generateHeightMap(heightmap.data(), dunes);
        setupPlayers();
        beginMatch();
    }

    // Plays until the match is decided; checks every frame as it goes.
    // Returns the number of frames played.
    template <class Script> int playUntilDecided(Script script)
    {
        int lastScores[2] = {0, 0};
        for (int frame = 0; frame < kMaxFrames; ++frame) {
            script(frame);
            update(kFrame);
            const std::string bad = firstNonFinite();
            if (!bad.empty()) {
                ADD_FAILURE() << bad << " not finite at frame " << frame;
                return frame;
            }
            for (int i = 0; i < 2; ++i) {
                const int gained = players[i].score - lastScores[i];
                if (gained < 0 || gained > 1) {
                    ADD_FAILURE() << "score of " << i << " jumped at frame " << frame;
                    return frame;
                }
                lastScores[i] = players[i].score;
            }
            if (endGame == 1)
                return frame + 1;
        }
        ADD_FAILURE() << "no winner after " << kMaxFrames << " frames";
        return kMaxFrames;
    }

    // After the match: the simulation runs on, nothing scores, nothing breaks.
    void playOn(int frames)
    {
        const int scores[2] = {players[0].score, players[1].score};
        const std::string line = mainMessage.data();
        for (int frame = 0; frame < frames; ++frame) {
            // Everyone drives off the edge: falls no longer score.
            players[0].pressx = 1;
            players[0].pressy = 0;
            if (toggleBot == 0) {
                players[1].pressx = -1;
                players[1].pressy = 0;
            }
            update(kFrame);
            const std::string bad = firstNonFinite();
            ASSERT_TRUE(bad.empty()) << bad << " not finite after the match, frame " << frame;
        }
        EXPECT_EQ(players[0].score, scores[0]);
        EXPECT_EQ(players[1].score, scores[1]);
        EXPECT_EQ(endGame, 1);
        EXPECT_EQ(std::string(mainMessage.data()), line);
    }

    Terrain dunes{};
};

} // namespace

TEST_F(Match, TwoScriptedPlayersPlayToAWinner)
{
    // Player 1 hunts player 2; player 2 heads for a new spot every three
    // seconds, some of them beyond the edge.
    const float targets[][2] = {{7.5f, 7.5f}, {-3, 7.5f}, {12, 3},  {7.5f, 18},
                                {3, 12},      {18, 2},    {7.5f, -3}, {10, 10}};
    auto script = [&](int frame) {
        Player& hunter = players[0];
        Player& runner = players[1];
        steerToward(hunter, runner.x, runner.z);
        const auto& t = targets[(frame / 180) % 8];
        steerToward(runner, t[0], t[1]);
    };

    const int frames = playUntilDecided(script);
    ASSERT_EQ(endGame, 1) << "after " << frames << " frames";
    EXPECT_GT(frames, 600);  // five falls take time

    const int loser = 1 - winner;
    EXPECT_EQ(players[winner].score, 5);
    EXPECT_LT(players[loser].score, 5);
    EXPECT_EQ(std::string(messages[winner].text.data()), "Winner!");
    EXPECT_EQ(std::string(mainMessage.data()), "Player " + std::to_string(winner + 1) +
                                                  " is the winner! press space to continue");

    playOn(600);
}

TEST_F(Match, BotAgainstAPlayerWhoKeepsFallingOff)
{
    toggleBot = 1;
    // The human drives to a corner and then straight off the field.
    auto script = [&](int frame) {
        Player& human = players[0];
        if ((frame / 240) % 2 == 0)
            steerToward(human, 7.5f, 7.5f);
        else
            steerToward(human, 20, 20);
    };

    const int frames = playUntilDecided(script);
    ASSERT_EQ(endGame, 1) << "after " << frames << " frames";
    EXPECT_EQ(players[winner].score, 5);
    EXPECT_EQ(std::string(messages[winner].text.data()), "Winner!");
    const std::string expected = winner == 1
                                     ? "Bot won, you suck bad! press space to continue"
                                     : "Player 1 is the winner! press space to continue";
    EXPECT_EQ(std::string(mainMessage.data()), expected);
    EXPECT_EQ(players[1].pressx, 0);  // the bot lets go once it is over
    EXPECT_EQ(players[1].pressy, 0);

    playOn(600);
}
