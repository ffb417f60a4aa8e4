#pragma once

#include <array>

#include "core/vector.h"
#include "sim/frags.h"
#include "sim/player.h"
#include "sim/powerup.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"

// The whole global state of the game, with its start values in state.cpp.

inline constexpr int kFragTarget = 5;

extern std::array<Player, 2> players;
extern Terrain *terrain;
extern std::array<unsigned char, kGridPoints> heightmap;
extern float averageHeight;
extern unsigned int textureName;
extern Powerup powerup;
extern int powerupActive;
extern float nextPowerupSpawn;
extern float gameTime;
extern float lightTime;
extern float lastCollisionTime;
extern std::array<float, 4> lightPos;
extern const std::array<float, 4> lightAmb;
extern const std::array<float, 4> lightDiff;
extern const std::array<float, 4> lightSpec;
extern std::array<float, 3> cameraPos;
extern float cameraRot;
extern std::array<float, 3> cameraPosPreferred;
extern float cameraRotPreferred;
extern vector cameraVelocity;
extern float sceneRot;
extern int endGame;
extern int winner;
extern std::array<Message, 2> messages;
extern std::array<char, 80> mainMessage;
extern int w, h;
extern unsigned int programBall, programTerrain, programPowerup;
extern unsigned int shadowMapTexture;
extern unsigned int shadowMapFBO;
extern int shadersSupported;
extern int shadowsDisabled;
extern int toggleShadows;
extern int toggleMultiShadows;
extern int toggleSmooth;
extern int toggleCameraMovement;
extern int toggleLightMovement;
extern int toggleBulletTime;
extern int toggleSuperSizeMe;
extern int togglePause;
extern int toggleHUD;
extern int toggleBot;
extern int toggleLightView;

// Puts every variable above back to its program-start value (tests use it).
void resetGameState();

// Decides from the GL extension string whether shaders and shadow mapping
// are used (shadersSupported, shadowsDisabled, toggleShadows).
void probeCapabilities(const char *extensions);
// The probe says what the driver offers; an entry point that cannot be found
// switches off what needs it: shaders (and so shadows), or shadows alone.
void applyEntryPoints(bool shaderFunctions, bool shadowFunctions);
