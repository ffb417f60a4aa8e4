#pragma once

struct ObjModel;
struct Player;
struct Powerup;

// Draws the model as lit triangles with the caller's transform, material and shader.
void drawObj(const ObjModel *obj);
void drawModelH();
void drawModelB();
void drawModelI();
void drawRat(const ObjModel *head, const ObjModel *body, const ObjModel *ffoot,
             const ObjModel *bfoot, float gscale);
void drawCage(const ObjModel *ball, float scale);
void drawItem(const ObjModel *item, float scale);
void drawPlayer(const Player *player);
void drawPowerup(const Powerup *powerup);
