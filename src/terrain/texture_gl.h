// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Uploading the terrain's texture to GL.

struct Terrain;

// The terrain texture's GL name.
extern unsigned int textureName;

// Generates the texels (seeded from the tick count) and uploads them with mipmaps.
unsigned int initTexture(const Terrain *terrain);
// Uploads the texels generated last into a new texture (a new GL context).
unsigned int uploadTexture();
void deleteTexture(unsigned int name);
