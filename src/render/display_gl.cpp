// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/display.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "core/game.h"
#include "core/state.h"
#include "render/figures.h"
#include "render/glext_gl.h"
#include "render/hud.h"
#include "render/particles_gl.h"
#include "sim/particle.h"
#include "terrain/heightmap.h"
#include "terrain/mesh_gl.h"

namespace
{

constexpr int kShadowMapSize = 2048;

// Eye-linear planes: with the camera view on the modelview when they are
// given, they hand each vertex's world position to the texture matrix.
constexpr GLfloat kPlaneS[4] = {1.0f, 0.0f, 0.0f, 0.0f};
constexpr GLfloat kPlaneT[4] = {0.0f, 1.0f, 0.0f, 0.0f};
constexpr GLfloat kPlaneR[4] = {0.0f, 0.0f, 1.0f, 0.0f};
constexpr GLfloat kPlaneQ[4] = {0.0f, 0.0f, 0.0f, 1.0f};

// Shaders are in play only if the driver has them and we got the entry points.
bool useShaders()
{
    return shadersSupported == 1 && qglUseProgram != nullptr;
}

bool useShadowPass()
{
    return toggleShadows == 1 && qglBindFramebufferEXT && qglFramebufferTexture2DEXT &&
           qglActiveTexture;
}

void activeTexture(GLenum unit)
{
    if (qglActiveTexture)
        qglActiveTexture(unit);
}

void setUniform(GLuint program, const char *name, int value)
{
    qglUniform1i(qglGetUniformLocation(program, name), value);
}

void setUniform(GLuint program, const char *name, float value)
{
    qglUniform1f(qglGetUniformLocation(program, name), value);
}

void lightProjection()
{
    gluPerspective(70.0, 1.0, 10.0, 100.0);
}

void lightView()
{
    gluLookAt(lightPos[0], lightPos[1], lightPos[2], 7.5, 0.0, 7.5, 0.0, 1.0, 0.0);
}

void cameraView()
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(360.0f - cameraRot, 1.0f, 0.0f, 0.0f);
    glTranslatef(-cameraPos[0], -cameraPos[1], -cameraPos[2]);
    if (endGame == 1) {
        const Player &p = players[winner];
        glRotatef(sceneRot, 0.0f, 1.0f, 0.0f);
        glTranslatef(-p.x, -p.y, -p.z);
    }
    // Given under the camera view, so the light stays put in the world.
    glLightfv(GL_LIGHT0, GL_POSITION, lightPos.data());
    glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmb.data());
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiff.data());
    glLightfv(GL_LIGHT0, GL_SPECULAR, lightSpec.data());
}

void lightPass()
{
    const bool intoMap = toggleLightView == 0;
    if (intoMap) {
        qglBindFramebufferEXT(GL_FRAMEBUFFER_EXT, shadowMapFBO);
        qglFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D,
                                   shadowMapTexture, 0);
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
        glPushAttrib(GL_VIEWPORT_BIT);
        glViewport(0, 0, kShadowMapSize, kShadowMapSize);
    }
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_DEPTH_BUFFER_BIT);
    if (intoMap)
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    lightProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    lightView();

    glPolygonOffset(4.0f, 4.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);
    if (intoMap) {
        glDisable(GL_LIGHTING);
        DrawScene(1);
        glEnable(GL_LIGHTING);
    } else {
        DrawScene(0);
    }
    glDisable(GL_POLYGON_OFFSET_FILL);

    if (intoMap) {
        glPopAttrib();
        qglBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, w, h);
}

void shadowedCameraPass()
{
    glClear(GL_DEPTH_BUFFER_BIT);
    cameraView();

    qglActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, shadowMapTexture);

    // World position -> light clip space -> [0, 1] shadow-map coordinates.
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.5f);
    glScalef(0.5f, 0.5f, 0.5f);
    lightProjection();
    lightView();
    glMatrixMode(GL_MODELVIEW);

    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_S, GL_EYE_PLANE, kPlaneS);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_T, GL_EYE_PLANE, kPlaneT);
    glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_R, GL_EYE_PLANE, kPlaneR);
    glTexGeni(GL_Q, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glTexGenfv(GL_Q, GL_EYE_PLANE, kPlaneQ);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_R);
    glEnable(GL_TEXTURE_GEN_Q);

    // A lookup gives 1 where the point is no farther than what the light saw.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC_ARB, GL_LEQUAL);
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE_ARB, GL_INTENSITY);

    DrawScene(0);

    qglActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    glDisable(GL_TEXTURE_2D);
}

// 1 at height 0, 0 ten units below; not clamped.
float fallenVisibility(float y)
{
    return (y + 10.0f) / 10.0f;
}

// 0 five units above the ground, 1 on it; not clamped.
float droppingVisibility(float y, float ground)
{
    return (5.0f - (y - ground)) / 5.0f;
}

} // namespace

void display(SDL_Surface *)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    if (!useShadowPass()) {
        cameraView();
        DrawScene(0);
    } else {
        lightPass();
        if (toggleLightView == 0)
            shadowedCameraPass();
    }

    if (toggleLightView == 0)
        drawParticles(endGame == 1 ? 5 : 2);
    if (toggleHUD == 1)
        drawHUD();

    // Errors of the frame (a uniform set with no program bound, say) are dropped.
    glGetError();
}

void DrawScene(int casters)
{
    const bool shaders = useShaders();
    const bool shadowed = shaders && useShadowPass() && toggleLightView == 0;

    if (casters == 1) {
        drawHeightMap(heightmap.data());
    } else {
        if (shaders && toggleLightView == 0) {
            if (shadowed) {
                qglUseProgram(programTerrain);
                setUniform(programTerrain, "multiShadows", toggleMultiShadows);
                setUniform(programTerrain, "ShadowMap", 1);
            }
            // The terrain list binds its texture on the active unit.
            activeTexture(GL_TEXTURE0);
            if (shadowed)
                setUniform(programTerrain, "Texture", 0);
        }
        drawHeightMap(heightmap.data());
        if (shadowed)
            qglUseProgram(0);
    }

    if (shaders)
        qglUseProgram(programBall);
    for (Player &p : players) {
        if (shaders) {
            float visibility = 1.0f;
            if (p.y < 0.0f)
                visibility = fallenVisibility(p.y);
            else if (p.spawning)
                visibility = droppingVisibility(p.y, getRealHeight(heightmap.data(), p.x, p.z));
            setUniform(programBall, "visibility", visibility);
            // At stage 1 and beyond the uniform keeps its last value.
            if (p.powerupStage < 1.0f)
                setUniform(programBall, "wobblePhase", p.powerupStage);
        }
        drawPlayer(&p);
    }
    if (shaders)
        qglUseProgram(0);

    if (shaders) {
        qglUseProgram(programPowerup);
        const float ground = getRealHeight(heightmap.data(), powerup.x, powerup.z);
        setUniform(programPowerup, "visibility", droppingVisibility(powerup.y, ground));
    }
    drawPowerup(&powerup);
    if (shaders)
        qglUseProgram(0);
}
