// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/figures.h"

#include <GL/gl.h>

#include <array>
#include <cmath>

#include "core/state.h"
#include "render/model.h"
#include "sim/player.h"
#include "sim/powerup.h"

namespace
{

// A boost brightens the figure: halfway to white at full stage.
std::array<GLfloat, 4> lighten(const std::array<float, 4> &c, float stage)
{
    return {c[0] + stage * (1 - c[0]) / 2, c[1] + stage * (1 - c[1]) / 2,
            c[2] + stage * (1 - c[2]) / 2, 1.0f};
}

void setMaterial(const std::array<float, 4> &ambient, const std::array<float, 4> &diffuse,
                 float stage)
{
    const std::array<GLfloat, 4> a = lighten(ambient, stage);
    const std::array<GLfloat, 4> d = lighten(diffuse, stage);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, a.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, d.data());
}

// A model compiled into a display list, and the triangle array it was
// compiled from.
struct CompiledModel {
    const ObjModel *model = nullptr;
    const ObjTriangle *triangles = nullptr;
    std::size_t count = 0;
    unsigned int list = 0;
};

// The models' display lists: a model whose triangles were replaced or
// resized since it was compiled is drawn from its triangles again, not
// from a stale list.
std::array<CompiledModel, 6> compiled{};

} // namespace

unsigned int modelList(const ObjModel *obj)
{
    if (!obj)
        return 0;
    for (const CompiledModel &c : compiled)
        if (c.list != 0 && c.model == obj && c.triangles == obj->TriangleArray.data() &&
            c.count == obj->TriangleArray.size())
            return c.list;
    return 0;
}

void drawObjImmediate(const ObjModel *obj)
{
    if (!obj)
        return;
    // The loader only keeps faces whose indices are in range; checking again
    // costs little and keeps a hand-made model from reading outside its arrays.
    const int nv = static_cast<int>(obj->VertexArray.size());
    const int nn = static_cast<int>(obj->NormalArray.size());
    glBegin(GL_TRIANGLES);
    for (const ObjTriangle &t : obj->TriangleArray) {
        bool inside = true;
        for (int j = 0; j < 3; ++j)
            inside = inside && t.Vertex[j] >= 1 && t.Vertex[j] <= nv && t.Normal[j] >= 1 &&
                     t.Normal[j] <= nn;
        if (!inside)
            continue;
        for (int j = 0; j < 3; ++j) {
            const ObjNormal &n = obj->NormalArray[t.Normal[j] - 1];
            const ObjVertex &v = obj->VertexArray[t.Vertex[j] - 1];
            glNormal3f(n.x, n.y, n.z);
            glVertex3f(v.x, v.y, v.z);
        }
    }
    glEnd();
}

void drawObj(const ObjModel *obj)
{
    if (!obj)
        return;
    if (const GLuint list = modelList(obj))
        glCallList(list);
    else
        drawObjImmediate(obj);
}

void prepareFigures()
{
    releaseFigures();
    const std::array<const ObjModel *, 6> models{head.get(),  body.get(), ffoot.get(),
                                                 bfoot.get(), ball.get(), item.get()};
    for (std::size_t k = 0; k < models.size(); ++k) {
        const ObjModel *m = models[k];
        if (!m)
            continue;
        const GLuint list = glGenLists(1);
        if (list == 0)
            continue; // drawn one triangle at a time, as before
        glNewList(list, GL_COMPILE);
        drawObjImmediate(m);
        glEndList();
        compiled[k] = {m, m->TriangleArray.data(), m->TriangleArray.size(), list};
    }
}

void releaseFigures()
{
    for (CompiledModel &c : compiled) {
        if (c.list != 0)
            glDeleteLists(c.list, 1);
        c = {};
    }
}

void drawModelH()
{
    glPushMatrix();
    drawRat(head.get(), body.get(), ffoot.get(), bfoot.get(), scale);
    glPopMatrix();
}

void drawModelB()
{
    glPushMatrix();
    drawCage(ball.get(), scale);
    glPopMatrix();
}

void drawModelI()
{
    glPushMatrix();
    drawItem(item.get(), scale);
    glPopMatrix();
}

void drawRat(const ObjModel *headModel, const ObjModel *bodyModel, const ObjModel *ffootModel,
             const ObjModel *bfootModel, float gscale)
{
    const float nod = -30 * std::sin(rate / 50);
    const float step = 30 * std::sin(rate / 25);

    glPushMatrix();
    glScalef(gscale, gscale, gscale);
    glTranslatef(-0.2f, -0.4f, 0.0f);
    glScalef(0.25f, 0.25f, 0.25f);
    drawObj(bodyModel);

    glPushMatrix();
    glTranslatef(2.0f, 0.0f, 0.0f);
    glRotatef(nod, 0, 0, 1);
    drawObj(headModel);
    glPopMatrix();

    // Front pair in step with each other, opposite to the back pair.
    for (float side : {1.0f, -1.0f}) {
        glPushMatrix();
        glTranslatef(0.9f, -0.8f, side);
        glRotatef(step, 0, 0, 1);
        drawObj(ffootModel);
        glPopMatrix();
    }
    for (float side : {1.0f, -1.0f}) {
        glPushMatrix();
        glTranslatef(-0.8f, -0.8f, side);
        glRotatef(-step, 0, 0, 1);
        drawObj(bfootModel);
        glPopMatrix();
    }
    glPopMatrix();
}

void drawCage(const ObjModel *cage, float cageScale)
{
    glPushMatrix();
    glScalef(cageScale, cageScale, cageScale);
    drawObj(cage);
    glPopMatrix();
}

void drawItem(const ObjModel *itemModel, float /*scale*/)
{
    const float pulse = 0.25f * 0.5f * (1 + std::sin(rate / 1000 * 4));
    glPushMatrix();
    glRotatef(rate / 1000 * 360, 0, 1, 0);
    const float s = 1 - pulse;
    glScalef(s, s, s);
    drawObj(itemModel);
    glPopMatrix();
}

void drawPlayer(const Player *player)
{
    const Player &p = *player;
    glPushMatrix();
    // The figures are drawn scaled far down: without shaders the fixed pipeline
    // must renormalise their normals or the light saturates.
    glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT);
    glEnable(GL_NORMALIZE);
    glTranslatef(p.x, p.y + p.radius, p.z);

    glPushMatrix();
    glScalef(p.radius, p.radius, p.radius);
    setMaterial(p.ambientHamster, p.diffuseHamster, p.powerupStage);

    // The hamster stays upright and only turns about the vertical.
    glPushMatrix();
    glRotatef(p.rotHY, 0, 1, 0);
    drawModelH();
    glPopMatrix();

    glPushMatrix();
    glRotatef(p.rotY, 0, 1, 0);
    glRotatef(p.rot, 0, 0, 1);
    setMaterial(p.ambient, p.diffuse, p.powerupStage);
    drawModelB();
    glPopMatrix();

    glPopMatrix();
    glPopAttrib();
    glPopMatrix();
}

void drawPowerup(const Powerup *drop)
{
    const std::array<GLfloat, 4> colour = {rgb[0], rgb[1], rgb[2], 1.0f};
    if (drop->active == 0)
        return;
    glPushMatrix();
    glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT);
    glEnable(GL_NORMALIZE);
    glTranslatef(drop->x, drop->y + 0.5f, drop->z);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, colour.data());
    glScalef(0.4f, 0.4f, 0.4f);
    drawModelI();
    glPopAttrib();
    glPopMatrix();
}
