// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The OBJ models of the hamster, its cage and the powerup item, and the
// figures' animation clock.

#include <memory>
#include <vector>

// Triangle meshes read from the OBJ subset the game uses.
struct ObjVertex {
    float x, y, z;
};
using ObjNormal = ObjVertex;

// 1-based indices of each corner's vertex and normal, as written in the file.
struct ObjTriangle {
    int Vertex[3];
    int Normal[3];
};

// Every stored triangle's indices lie in 1..NumVertex and 1..NumNormal.
struct ObjModel {
    int NumVertex = 0;
    int NumNormal = 0;
    int NumTriangle = 0;
    std::vector<ObjVertex> VertexArray;
    std::vector<ObjNormal> NormalArray;
    std::vector<ObjTriangle> TriangleArray;
};

// Loads the file at name into *obj; a file that cannot be read gives an empty model.
void loadObj(std::unique_ptr<ObjModel> *obj, const char *name);
// Reads the whole file into *outArray (not terminated) and its length into *size;
// 0 and both untouched when it cannot be read.
int convert(const char *file, std::vector<char> *outArray, int *size);
// Parses sz bytes at mem; always returns a model, empty for nothing usable.
std::unique_ptr<ObjModel> ObjLoadModel(const char *mem, int sz);
void killObj(std::unique_ptr<ObjModel> *obj);

// The figures' models and animation clock.
extern std::unique_ptr<ObjModel> head;
extern std::unique_ptr<ObjModel> body;
extern std::unique_ptr<ObjModel> ffoot;
extern std::unique_ptr<ObjModel> bfoot;
extern std::unique_ptr<ObjModel> ball;
extern std::unique_ptr<ObjModel> item;
// The animation clock and the figure scale are fields of the game state
// (core/state.h); the models are loaded assets and stay here.
extern float &rate;       // animation clock, milliseconds
extern double &rateClock; // rate added up in double (core/clock.h)
extern float &scale;      // overall figure scale, 1.0

void initModel();
void initPower();
void freeModel();
void freePower();
void updateModel(float seconds);
