// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/hud.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glut.h>

#include <cstdio>
#include <cstring>

#include "core/loop.h"
#include "core/state.h"
#include "render/utilities.h"

namespace
{

// Copies a fixed-size text field, which may lack its terminator, into `out`.
template <std::size_t N, std::size_t M>
void copyField(char (&out)[M], const std::array<char, N> &field)
{
    static_assert(M > N);
    const std::size_t n = strnlen(field.data(), N);
    std::memcpy(out, field.data(), n);
    out[n] = '\0';
}

// Frame-rate text: "%4d fps"; wider rates grow to the left by whole
// digits, so the text still ends where a four-digit rate ends.
int digitCount(int value)
{
    int digits = 1;
    for (int v = value; v >= 10; v /= 10)
        ++digits;
    return digits;
}

void drawColumn(int player, int column)
{
    char label[16];
    if (player == 1 && toggleBot == 1)
        std::snprintf(label, sizeof label, "[BOT]");
    else
        std::snprintf(label, sizeof label, "Player %d", player + 1);
    drawTextDouble(column, 15, label);

    char score[32];
    std::snprintf(score, sizeof score, "Score: %d", players[player].score);
    drawTextDouble(column, 30, score);

    const Message &m = messages[player];
    if (m.timeleft > 0.0f) {
        char text[sizeof m.text + 1];
        copyField(text, m.text);
        drawTextDoubleAlpha(column, 45, text, m.timeleft < 1.0f ? m.timeleft : 1.0f);
    }
}

} // namespace

void drawTextDoubleAlphaSize(int x, int y, const char *text, float alpha, int big)
{
    void *font = big ? GLUT_BITMAP_HELVETICA_18 : GLUT_BITMAP_HELVETICA_12;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_DST_ALPHA);

    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    glRasterPos2i(x, y);
    for (const char *c = text; *c; ++c)
        glutBitmapCharacter(font, static_cast<unsigned char>(*c));

    // Black on top, one pixel up and left: the white shows as a rim.
    glColor4f(0.0f, 0.0f, 0.0f, alpha);
    glRasterPos2i(x - 1, y - 1);
    for (const char *c = text; *c; ++c)
        glutBitmapCharacter(font, static_cast<unsigned char>(*c));

    glDisable(GL_BLEND);
}

void drawTextDoubleAlpha(int x, int y, const char *text, float alpha)
{
    drawTextDoubleAlphaSize(x, y, text, alpha, 0);
}

void drawTextDoubleBig(int x, int y, const char *text)
{
    drawTextDoubleAlphaSize(x, y, text, 1.0f, 1);
}

void drawTextDouble(int x, int y, const char *text)
{
    drawTextDoubleAlphaSize(x, y, text, 1.0f, 0);
}

void drawTerrainName()
{
    // "Terrain: " and the whole name, however long the name field is.
    char name[sizeof(Terrain::name) + 1] = "";
    if (terrain)
        copyField(name, terrain->name);
    // The names are UTF-8; the bitmap fonts draw Latin-1.
    char line[sizeof name + 16];
    std::snprintf(line, sizeof line, "Terrain: %s", latin1FromUtf8(name).c_str());
    drawTextDouble(static_cast<int>(w * 0.5 - 40), 15, line);
}

void drawMainMessage()
{
    char text[sizeof mainMessage + 1];
    copyField(text, mainMessage);
    drawTextDouble(10, h - 12, text);
}

void drawPauseMessage()
{
    if (togglePause == 1)
        drawTextDoubleBig(static_cast<int>(w * 0.5 - 160), static_cast<int>(h * 0.5 - 10),
                          "Game Paused - Press Space to continue");
}

void drawScores()
{
    drawColumn(0, w - 70);
    drawColumn(1, 10);
}

void drawFrameRate()
{
    char text[32];
    std::snprintf(text, sizeof text, "%4d fps", fps);
    const int extra = digitCount(fps) - 4;
    const int shift = extra > 0 ? extra * glutBitmapWidth(GLUT_BITMAP_HELVETICA_12, '0') : 0;
    drawTextDouble(w - 60 - shift, h - 12, text);
}

void drawHUD()
{
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    // Both copies of a text sit at the same depth: with the depth test on,
    // the black one would lose wherever it overlaps the white one.
    glDisable(GL_DEPTH_TEST);

    // Pixels with the origin top-left and y down.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, w, 0, h);
    glScalef(1.0f, -1.0f, 1.0f);
    glTranslatef(0.0f, static_cast<float>(-h), 0.0f);
    glMatrixMode(GL_MODELVIEW);

    drawTerrainName();
    drawTextDouble(static_cast<int>(w * 0.5 - 100), 35, game.net.notice.data()); // online play
    drawTextDouble(static_cast<int>(w * 0.5 - 50), h - 12, game.session.replayPlace.data());
    drawMainMessage();
    drawPauseMessage();
    drawScores();
    drawFrameRate();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    glPopMatrix();
}
