#pragma once

#include <vector>

// Triangle meshes read from the OBJ subset the game uses.
struct ObjVertex {
    float x, y, z;
};
using ObjNormal = ObjVertex;

struct ObjTriangle {
    int Vertex[3];
    int Normal[3];
};

struct ObjModel {
    int NumVertex;
    int NumNormal;
    int NumTriangle;
    std::vector<ObjVertex> VertexArray;
    std::vector<ObjNormal> NormalArray;
    std::vector<ObjTriangle> TriangleArray;
};

void loadObj(ObjModel** obj, const char* name);
int convert(const char* file, char** outArray, int* size);
ObjModel* ObjLoadModel(const char* mem, int sz);
void killObj(ObjModel* obj);

// The figures' models and animation clock.
extern ObjModel* head;
extern ObjModel* body;
extern ObjModel* ffoot;
extern ObjModel* bfoot;
extern ObjModel* ball;
extern ObjModel* item;
extern float rate;   // animation clock, milliseconds
extern float scale;  // overall figure scale, 1.0

void initModel();
void initPower();
void freeModel();
void freePower();
void updateModel(float seconds);
