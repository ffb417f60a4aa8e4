// SPDX-License-Identifier: GPL-3.0-or-later
#include "terrain/texture_gl.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include "terrain/terrain.h"
#include "terrain/texture.h"

unsigned int textureName = 0;

unsigned int initTexture(const Terrain *terrain)
{
    if (!terrain)
        return 0;
    // A new seed each time: the same terrain never looks quite the same twice.
    generateTexture(*terrain, nextNoiseSeed(SDL_GetTicks()));
    return uploadTexture();
}

unsigned int uploadTexture()
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE8, kTextureSize, kTextureSize, 0, GL_LUMINANCE,
                 GL_UNSIGNED_BYTE, texture.data());
    gluBuild2DMipmaps(GL_TEXTURE_2D, 1, kTextureSize, kTextureSize, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                      texture.data());
    return name;
}

void deleteTexture(unsigned int name)
{
    const GLuint glName = name;
    glDeleteTextures(1, &glName);
}
