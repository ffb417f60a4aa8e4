// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/game.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>

#include "audio/sound.h"
#include "core/match.h"
#include "core/state.h"
#include "render/figures.h"
#include "render/glext_gl.h"
#include "render/model.h"
#include "render/shader.h"
#include "terrain/mesh_gl.h"
#include "terrain/texture_gl.h"

unsigned int programBall = 0, programTerrain = 0, programPowerup = 0;
unsigned int shadowMapTexture = 0;
unsigned int shadowMapFBO = 0;

void setupCapabilities(ProcLookup lookup)
{
    const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
    std::printf("Using OpenGL %s\n", version ? version : "(unknown)");

    const char *extensions = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    probeCapabilities(extensions);
    const GlEntryPoints found = loadGlExtensions(lookup);
    applyEntryPoints(found.shaders, found.framebuffers);
    std::printf("Shaders: %s", shadersSupported ? "Supported\n" : "Not supported. Booo\n");
    std::printf("Shadows: %s", shadowsDisabled == 0 ? "Supported\n" : "Not supported. Booo\n");
}

void setupGl()
{
    programBall = programTerrain = programPowerup = 0;
    if (shadersSupported) {
        programBall = compile_program("ball.vert", "ball.frag");
        programTerrain = compile_program("terrain.vert", "terrain.frag");
        programPowerup = compile_program("powerup.vert", "powerup.frag");
    }

    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmb.data());
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiff.data());
    glLightfv(GL_LIGHT0, GL_SPECULAR, lightSpec.data());
    glClearColor(0, 0, 0, 0);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(toggleSmooth ? GL_SMOOTH : GL_FLAT);

    if (shadowsDisabled == 0) {
        glGenTextures(1, &shadowMapTexture);
        qglGenFramebuffersEXT(1, &shadowMapFBO);
    }
}

void init()
{
    SDL_WM_SetCaption("Quorbly", nullptr);
    setupCapabilities(nullptr);

    setupGl();

    initModel();
    initPower();
    prepareFigures(); // the models are drawn from display lists from now on
    initSound();
    playMusic();

    beginSession();
}

void cleanup()
{
    destroyHeightMap();
    deleteTexture(textureName);
    textureName = 0;
    destroyTerrains();
    releaseFigures();
    freeModel();
    freePower();
    stopMusic();
    freeSound();
    closeAudio();
    glDeleteTextures(1, &shadowMapTexture);
    shadowMapTexture = 0;
    if (shadowsDisabled == 0) {
        qglDeleteFramebuffersEXT(1, &shadowMapFBO);
        shadowMapFBO = 0;
    }
}
