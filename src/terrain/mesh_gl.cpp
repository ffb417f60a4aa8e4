// SPDX-License-Identifier: GPL-3.0-or-later
#include "terrain/mesh_gl.h"

#include <GL/gl.h>

#include "terrain/heightmap.h"
#include "terrain/terrain.h"

unsigned int terrainDisplayList = 0;

namespace
{

// Hands the walked mesh straight to GL while the list compiles.
struct ListSink {
    void begin() { glBegin(GL_QUADS); }
    void end() { glEnd(); }
    void texCoord(double s, double t) { glTexCoord2d(s, t); }
    void normal(vector n) { glNormal3f(n.x, n.y, n.z); }
    void vertex(vector p) { glVertex3f(p.x, p.y, p.z); }
};

const Terrain *currentTerrain()
{
    if (terrainCurrent < 0 || terrainCurrent >= static_cast<int>(terrains.size()))
        return nullptr;
    return &terrains[terrainCurrent];
}

} // namespace

void initHeightMap(unsigned char *grid, unsigned int texName)
{
    const Terrain *t = currentTerrain();
    if (!t)
        return;
    generateHeightMap(grid, *t);
    terrainDisplayList = glGenLists(1);
    buildDisplayList(grid, texName);
}

void buildDisplayList(const unsigned char *grid, unsigned int texName)
{
    const Terrain *t = currentTerrain();
    if (!t)
        return;
    glNewList(terrainDisplayList, GL_COMPILE);
    glPushMatrix();
    glPushAttrib(GL_LIGHTING_BIT | GL_POLYGON_BIT);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glMaterialfv(GL_FRONT, GL_AMBIENT, t->ambient.data());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, t->diffuse.data());
    glEnable(GL_CULL_FACE);

    ListSink sink;
    walkSurface(grid, sink);
    // The block below the surface is plain material colour.
    glDisable(GL_TEXTURE_2D);
    walkBottom(sink);
    walkWalls(grid, sink);

    glPopAttrib();
    glPopMatrix();
    glEndList();
}

void drawHeightMapVertex(const unsigned char *grid, int i, int j)
{
    const vector n = heightMapNormal(grid, i, j);
    const vector p = gridPoint(grid, i, j);
    glNormal3f(n.x, n.y, n.z);
    glVertex3f(p.x, p.y, p.z);
}

void drawHeightMap(const unsigned char *)
{
    glCallList(terrainDisplayList);
}

void destroyHeightMap()
{
    glDeleteLists(terrainDisplayList, 1);
    terrainDisplayList = 0;
}
