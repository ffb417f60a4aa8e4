// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/view_gl.h"

#include "render/view.h"

#include <GL/gl.h>
#include <SDL.h>

#include "core/game.h"
#include "core/state.h"
#include "render/glext_gl.h"
#include "terrain/mesh_gl.h"
#include "terrain/texture_gl.h"

namespace
{

// Without a window there is no GL context to change.
bool noWindow()
{
    return SDL_GetVideoSurface() == nullptr;
}

} // namespace

void shadingChanged()
{
    if (noWindow())
        return;
    glShadeModel(toggleSmooth ? GL_SMOOTH : GL_FLAT);
}

void terrainChanged()
{
    if (noWindow())
        return;
    destroyHeightMap();
    deleteTexture(textureName);
    textureName = uploadTexture();
    terrainDisplayList = glGenLists(1);
    buildDisplayList(heightmap.data(), textureName);
    setupShadowMap();
}

void setupShadowMap()
{
    if (toggleShadows) {
        qglActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, shadowMapTexture);
        glEnable(GL_TEXTURE_2D);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, 2048, 2048, 0, GL_DEPTH_COMPONENT,
                     GL_UNSIGNED_BYTE, nullptr);
    }
}
