// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The hamsters in their balls and the powerup item, drawn from the loaded
// models.

struct ObjModel;
struct Player;
struct Powerup;

// Draws the model as lit triangles with the caller's transform, material and
// shader: its display list once prepareFigures has compiled it, else as
// drawObjImmediate does.
void drawObj(const ObjModel *obj);
// The plain form: every triangle sent one vertex call at a time.
void drawObjImmediate(const ObjModel *obj);
// Compiles each loaded model (head, body, feet, cage, item) into a display
// list, once, after initModel and initPower; releaseFigures deletes them and
// must run before the models are freed or the context goes.
void prepareFigures();
void releaseFigures();
// The display list that draws obj as it is now; 0 when it is drawn one
// triangle at a time (not prepared, released, or changed since).
unsigned int modelList(const ObjModel *obj);
void drawModelH();
void drawModelB();
void drawModelI();
void drawRat(const ObjModel *head, const ObjModel *body, const ObjModel *ffoot,
             const ObjModel *bfoot, float gscale);
void drawCage(const ObjModel *ball, float scale);
void drawItem(const ObjModel *item, float scale);
void drawPlayer(const Player *player);
void drawPowerup(const Powerup *powerup);
