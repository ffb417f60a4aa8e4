// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The heads-up display: scores, the terrain's name, messages, pause and frame
// rate, in GLUT's bitmap fonts.

void drawHUD();
void drawTextDoubleAlphaSize(int x, int y, const char *text, float alpha, int big);
void drawTextDoubleAlpha(int x, int y, const char *text, float alpha);
void drawTextDoubleBig(int x, int y, const char *text);
void drawTextDouble(int x, int y, const char *text);
void drawTerrainName();
void drawMainMessage();
void drawPauseMessage();
void drawScores();
void drawFrameRate();
