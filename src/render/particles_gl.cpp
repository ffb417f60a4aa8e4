// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/particles_gl.h"

#include <GL/gl.h>

#include "sim/particle.h"

void drawParticles(int particlesize)
{
    // Point state too, so the smoothing and size stay with the sparks.
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_LIGHTING_BIT | GL_POINT_BIT);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    // One batch in slot order: the points are blended in the same order, with
    // the same size and smoothing, as one begin/end pair each would be.
    bool begun = false;
    for (const Particle &p : particles) {
        if (p.active != 1)
            continue;
        if (!begun) {
            glPointSize(static_cast<float>(particlesize));
            glEnable(GL_POINT_SMOOTH);
            glBegin(GL_POINTS);
            begun = true;
        }
        glColor4f(p.r, p.g, p.b, p.life);
        glVertex3f(p.x, p.y, p.z);
    }
    if (begun)
        glEnd();

    glPopAttrib();
}

void drawParticlesOneByOne(int particlesize)
{
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_LIGHTING_BIT | GL_POINT_BIT);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    for (const Particle &p : particles) {
        if (p.active != 1)
            continue;
        glColor4f(p.r, p.g, p.b, p.life);
        glPointSize(static_cast<float>(particlesize));
        glEnable(GL_POINT_SMOOTH);
        glBegin(GL_POINTS);
        glVertex3f(p.x, p.y, p.z);
        glEnd();
    }

    glPopAttrib();
}
