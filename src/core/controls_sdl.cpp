// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/controls.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>

#include "audio/sound.h"
#include "core/game.h"
#include "core/loop.h"
#include "core/match.h"
#include "core/pad.h"
#include "core/state.h"
#include "terrain/mesh_gl.h"
#include "terrain/texture_gl.h"

namespace
{

void startNewTerrain()
{
    destroyHeightMap();
    deleteTexture(textureName);
    newTerrain();
}

void togglePauseKey()
{
    togglePause = toggled(togglePause);
    if (togglePause)
        pauseAudio();
    else
        resumeAudio();
}

} // namespace

void keyDown(int key)
{
    switch (key) {
    case SDLK_ESCAPE:
        quit();
        break;
    case SDLK_SPACE:
        if (endGame == 1)
            startNewTerrain();
        else
            togglePauseKey();
        break;
    case SDLK_1:
        toggleCameraMovement = toggled(toggleCameraMovement);
        break;
    case SDLK_2:
        toggleLightMovement = toggled(toggleLightMovement);
        break;
    case SDLK_UP:
        steerKeys(players[0], {0, 1});
        break;
    case SDLK_DOWN:
        steerKeys(players[0], {0, -1});
        break;
    case SDLK_RIGHT:
        steerKeys(players[0], {1, 0});
        break;
    case SDLK_LEFT:
        steerKeys(players[0], {-1, 0});
        break;
    case SDLK_w:
        steerKeys(players[1], {0, 1});
        break;
    case SDLK_s:
        steerKeys(players[1], {0, -1});
        break;
    case SDLK_d:
        steerKeys(players[1], {1, 0});
        break;
    case SDLK_a:
        steerKeys(players[1], {-1, 0});
        break;
    case SDLK_i:
        lightPos[2] -= 0.5f;
        std::printf("%.1f, %.1f, %.1f\n", lightPos[0], lightPos[1], lightPos[2]);
        std::fflush(stdout);
        break;
    case SDLK_k:
        lightPos[2] += 0.5f;
        break;
    case SDLK_j:
        lightPos[0] -= 0.5f;
        break;
    case SDLK_l:
        lightPos[0] += 0.5f;
        break;
    case SDLK_u:
        lightPos[1] += 0.5f;
        break;
    case SDLK_m:
        lightPos[1] -= 0.5f;
        break;
    case SDLK_p:
        toggleLightView = toggled(toggleLightView);
        break;
    case SDLK_KP_MINUS:
        volumeDown();
        break;
    case SDLK_KP_PLUS:
        volumeUp();
        break;
    case SDLK_F1:
        startNewTerrain();
        break;
    case SDLK_F4:
        toggleBot = toggled(toggleBot);
        if (toggleBot == 0)
            resetSteering(players[1]);
        break;
    case SDLK_F5:
        toggleSmooth = toggled(toggleSmooth);
        glShadeModel(toggleSmooth ? GL_SMOOTH : GL_FLAT);
        break;
    case SDLK_F6:
        if (shadowsDisabled == 0)
            toggleShadows = toggled(toggleShadows);
        break;
    case SDLK_F7:
        toggleMultiShadows = toggled(toggleMultiShadows);
        break;
    case SDLK_F8:
        toggleHUD = toggled(toggleHUD);
        break;
    case SDLK_F9:
        toggleBulletTime = toggled(toggleBulletTime);
        break;
    case SDLK_F10:
        toggleSuperSize();
        break;
    case SDLK_F11:
        toggleBoost(kPowerupGrowth);
        break;
    case SDLK_F12:
        toggleBoost(kPowerupSpeed);
        break;
    default:
        break; // F2, F3 and every other key do nothing
    }
}

void keyUp(int key)
{
    switch (key) {
    case SDLK_UP:
        steerKeys(players[0], {0, -1});
        break;
    case SDLK_DOWN:
        steerKeys(players[0], {0, 1});
        break;
    case SDLK_RIGHT:
        steerKeys(players[0], {-1, 0});
        break;
    case SDLK_LEFT:
        steerKeys(players[0], {1, 0});
        break;
    case SDLK_w:
        steerKeys(players[1], {0, -1});
        break;
    case SDLK_s:
        steerKeys(players[1], {0, 1});
        break;
    case SDLK_d:
        steerKeys(players[1], {-1, 0});
        break;
    case SDLK_a:
        steerKeys(players[1], {1, 0});
        break;
    default:
        break;
    }
}
