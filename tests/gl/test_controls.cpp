#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cstdlib>
#include <string>

#include "audio/sound.h"
#include "core/controls.h"
#include "core/game.h"
#include "core/loop.h"
#include "core/match.h"
#include "core/state.h"
#include "gl/gl_context.h"
#include "sim/update.h"
#include "terrain/mesh_gl.h"
#include "terrain/texture_gl.h"

namespace
{

// The keys act on a real match: a window, the shipped terrains and a mixer
// on SDL's dummy driver.
class Keys : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_AUDIODRIVER", "dummy", 1); // no sound card needed, none disturbed
        ASSERT_TRUE(gltest::openWindow());
        SDL_InitSubSystem(SDL_INIT_AUDIO);
        openAudio();
        ::testing::internal::CaptureStdout();
        ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
        ::testing::internal::GetCapturedStdout();
    }

    void SetUp() override
    {
        resetGameState();
        resetTerrainChoice();
        quit_flag = 0;
        ::testing::internal::CaptureStdout();
        newTerrain();
        setupPlayers();
        ::testing::internal::GetCapturedStdout();
    }

    void TearDown() override
    {
        destroyHeightMap();
        deleteTexture(textureName);
    }

    // Presses a key that starts a new terrain, swallowing the progress output.
    void pressQuietly(int key)
    {
        ::testing::internal::CaptureStdout();
        keyDown(key);
        ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(Keys, SteeringCountersPairUp)
{
    keyDown(SDLK_LEFT);
    keyDown(SDLK_RIGHT);
    EXPECT_EQ(players[0].pressx, 0);
    keyUp(SDLK_LEFT);
    EXPECT_EQ(players[0].pressx, 1);
    keyUp(SDLK_RIGHT);
    keyDown(SDLK_UP);
    EXPECT_EQ(players[0].pressy, 1);
    keyDown(SDLK_DOWN);
    EXPECT_EQ(players[0].pressy, 0);
    keyUp(SDLK_UP);
    EXPECT_EQ(players[0].pressy, -1);
    keyUp(SDLK_DOWN);
    EXPECT_EQ(players[0].pressy, 0);

    keyDown(SDLK_w);
    keyDown(SDLK_a);
    EXPECT_EQ(players[1].pressy, 1);
    EXPECT_EQ(players[1].pressx, -1);
    keyDown(SDLK_s);
    keyDown(SDLK_d);
    EXPECT_EQ(players[1].pressy, 0);
    EXPECT_EQ(players[1].pressx, 0);
    EXPECT_EQ(players[0].pressx, 0); // player 2's keys leave player 1 alone
}

TEST_F(Keys, BotOffClearsPlayerTwosKeys)
{
    keyDown(SDLK_w);
    keyDown(SDLK_F4);
    EXPECT_EQ(toggleBot, 1);
    EXPECT_EQ(players[1].pressy, 1);
    keyDown(SDLK_F4);
    EXPECT_EQ(toggleBot, 0);
    EXPECT_EQ(players[1].pressy, 0);
    EXPECT_EQ(players[1].pressx, 0);
    keyUp(SDLK_w);
    EXPECT_EQ(players[1].pressy, -1); // until another press balances it
}

TEST_F(Keys, SpacePausesDuringPlayAndStartsAfterAMatch)
{
    keyDown(SDLK_SPACE);
    EXPECT_EQ(togglePause, 1);
    keyDown(SDLK_SPACE);
    EXPECT_EQ(togglePause, 0);

    endGame = 1;
    players[0].score = 5;
    keyDown(SDLK_RIGHT);
    pressQuietly(SDLK_SPACE);
    EXPECT_EQ(endGame, 0);
    EXPECT_EQ(togglePause, 0);
    EXPECT_EQ(players[0].score, 0);
    EXPECT_EQ(players[0].pressx, 1); // keys held across a new terrain stay
    EXPECT_STREQ(mainMessage.data(), "First to 5 frags wins !");
}

TEST_F(Keys, NewTerrainKeyKeepsThePause)
{
    keyDown(SDLK_SPACE);
    int before = terrainCurrent;
    float time = gameTime = 12.5f;
    pressQuietly(SDLK_F1);
    EXPECT_EQ(togglePause, 1);
    EXPECT_NE(terrainCurrent, before);
    EXPECT_EQ(gameTime, time);
    EXPECT_EQ(cameraPos, (std::array<float, 3>{7.5f, 5.0f, 15.0f}));
}

TEST_F(Keys, VolumeStepsStopAtTheEnds)
{
    ASSERT_TRUE(audioOpen());
    for (int i = 0; i < 20; ++i)
        keyDown(SDLK_KP_MINUS);
    EXPECT_EQ(effectsVolume(), 0);
    for (int i = 0; i < 20; ++i)
        keyDown(SDLK_KP_PLUS);
    EXPECT_EQ(effectsVolume(), 128);
    keyDown(SDLK_KP_MINUS);
    EXPECT_EQ(effectsVolume(), 116);
}

TEST_F(Keys, LightNudgesAndTheirReport)
{
    lightPos = {7.5f, 15.0f, 22.5f, 1.0f};
    ::testing::internal::CaptureStdout();
    keyDown(SDLK_i);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "7.5, 15.0, 22.0\n");
    keyDown(SDLK_l);
    keyDown(SDLK_u);
    keyDown(SDLK_k);
    keyDown(SDLK_k);
    EXPECT_EQ(lightPos, (std::array<float, 4>{8.0f, 15.5f, 23.0f, 1.0f}));
    keyDown(SDLK_j);
    keyDown(SDLK_m);
    EXPECT_EQ(lightPos[0], 7.5f);
    EXPECT_EQ(lightPos[1], 15.0f);

    // Running, the next frame puts the light back on its circle.
    keyDown(SDLK_j);
    update(0.016f);
    EXPECT_FLOAT_EQ(lightPos[0], 7.5f);
    EXPECT_FLOAT_EQ(lightPos[2], 22.5f);
    // Paused, it stays where the keys put it.
    keyDown(SDLK_SPACE);
    keyDown(SDLK_j);
    update(0.016f);
    EXPECT_FLOAT_EQ(lightPos[0], 7.0f);
}

TEST_F(Keys, SuperSizeTwiceRestoresTheBalls)
{
    keyDown(SDLK_F10);
    EXPECT_EQ(players[0].radius, 1.0f);
    EXPECT_EQ(players[1].radiusDefault, 1.0f);
    keyDown(SDLK_F11); // a growth boost in the middle
    keyDown(SDLK_F10);
    EXPECT_EQ(players[0].radius, 0.25f);
    EXPECT_EQ(players[1].radius, 0.25f);
    EXPECT_EQ(players[0].radiusDefault, 0.25f);
}

TEST_F(Keys, BoostKeysToggleAndTakeTheFieldsPowerup)
{
    powerup.active = 1;
    keyDown(SDLK_F11);
    EXPECT_EQ(players[0].powerupActive, 1);
    EXPECT_EQ(powerupActive, 1);
    EXPECT_EQ(players[0].powerup, 1);
    EXPECT_EQ(players[0].powerupExpire, 15.0f);
    EXPECT_EQ(players[0].powerupStage, 0.0f);
    EXPECT_EQ(nextPowerupSpawn, -1.0f);
    EXPECT_EQ(powerup.active, 0);

    keyDown(SDLK_F12); // any boost held: this ends it
    EXPECT_EQ(players[0].powerupActive, 0);
    EXPECT_EQ(powerupActive, 0);
    EXPECT_EQ(players[0].powerupStage, 1.0f);
    EXPECT_GE(nextPowerupSpawn, 15.0f);
    EXPECT_LE(nextPowerupSpawn, 24.0f);

    keyDown(SDLK_F12);
    EXPECT_EQ(players[0].powerup, 2);
    EXPECT_EQ(players[0].powerupActive, 1);
}

TEST_F(Keys, TogglesAndTheirGuards)
{
    keyDown(SDLK_F5);
    GLint model = 0;
    glGetIntegerv(GL_SHADE_MODEL, &model);
    EXPECT_EQ(model, GL_FLAT);
    keyDown(SDLK_F5);
    glGetIntegerv(GL_SHADE_MODEL, &model);
    EXPECT_EQ(model, GL_SMOOTH);

    shadowsDisabled = 1;
    toggleShadows = 0;
    keyDown(SDLK_F6);
    EXPECT_EQ(toggleShadows, 0);
    shadowsDisabled = 0;
    keyDown(SDLK_F6);
    EXPECT_EQ(toggleShadows, 1);

    keyDown(SDLK_1);
    keyDown(SDLK_2);
    keyDown(SDLK_p);
    keyDown(SDLK_F7);
    keyDown(SDLK_F8);
    keyDown(SDLK_F9);
    EXPECT_EQ(toggleCameraMovement, 0);
    EXPECT_EQ(toggleLightMovement, 1);
    EXPECT_EQ(toggleLightView, 1);
    EXPECT_EQ(toggleMultiShadows, 0);
    EXPECT_EQ(toggleHUD, 0);
    EXPECT_EQ(toggleBulletTime, 1);

    keyDown(SDLK_F2);
    keyDown(SDLK_F3);
    keyDown(SDLK_q);
    keyUp(SDLK_F4);
    EXPECT_EQ(toggleBot, 0);
    EXPECT_EQ(quit_flag, 0);
    keyDown(SDLK_ESCAPE);
    EXPECT_EQ(quit_flag, 1);
}

} // namespace
