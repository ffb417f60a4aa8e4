#include "core/state.h"

#include <string_view>

std::array<Player, 2> players{};
Terrain *terrain = nullptr;
std::array<unsigned char, kGridPoints> heightmap{};
float averageHeight = 0;
unsigned int textureName = 0;
Powerup powerup{};
int powerupActive = 0;
float nextPowerupSpawn = 0;
float gameTime = 0;
float lightTime = 0;
float lastCollisionTime = 0;
std::array<float, 4> lightPos{15.0f, 13.0f, 25.5f, 1.0f};
const std::array<float, 4> lightAmb{0.5f, 0.5f, 0.5f, 1.0f};
const std::array<float, 4> lightDiff{1.0f, 1.0f, 1.0f, 1.0f};
const std::array<float, 4> lightSpec{1.0f, 1.0f, 1.0f, 1.0f};
std::array<float, 3> cameraPos{};
float cameraRot = 0;
std::array<float, 3> cameraPosPreferred{};
float cameraRotPreferred = -60.0f;
vector cameraVelocity{};
float sceneRot = 0;
int endGame = 0;
int winner = 0;
std::array<Message, 2> messages{};
std::array<char, 80> mainMessage{};
int w = 0, h = 0;
unsigned int programBall = 0, programTerrain = 0, programPowerup = 0;
unsigned int shadowMapTexture = 0;
unsigned int shadowMapFBO = 0;
int shadersSupported = 0;
int shadowsDisabled = 0;
int toggleShadows = 0;
int toggleMultiShadows = 1;
int toggleSmooth = 1;
int toggleCameraMovement = 1;
int toggleLightMovement = 0;
int toggleBulletTime = 0;
int toggleSuperSizeMe = 0;
int togglePause = 0;
int toggleHUD = 1;
int toggleBot = 0;
int toggleLightView = 0;

void resetGameState()
{
    players = {};
    terrain = nullptr;
    heightmap = {};
    averageHeight = 0;
    textureName = 0;
    powerup = {};
    powerupActive = 0;
    nextPowerupSpawn = 0;
    gameTime = 0;
    lightTime = 0;
    lastCollisionTime = 0;
    lightPos = {15.0f, 13.0f, 25.5f, 1.0f};
    cameraPos = {};
    cameraRot = 0;
    cameraPosPreferred = {};
    cameraRotPreferred = -60.0f;
    cameraVelocity = {};
    sceneRot = 0;
    endGame = 0;
    winner = 0;
    messages = {};
    mainMessage = {};
    w = h = 0;
    programBall = programTerrain = programPowerup = 0;
    shadowMapTexture = 0;
    shadowMapFBO = 0;
    shadersSupported = 0;
    shadowsDisabled = 0;
    toggleShadows = 0;
    toggleMultiShadows = 1;
    toggleSmooth = 1;
    toggleCameraMovement = 1;
    toggleLightMovement = 0;
    toggleBulletTime = 0;
    toggleSuperSizeMe = 0;
    togglePause = 0;
    toggleHUD = 1;
    toggleBot = 0;
    toggleLightView = 0;
}

void probeCapabilities(const char *extensions)
{
    std::string_view ext = extensions ? extensions : "";
    auto has = [&](std::string_view name) { return ext.find(name) != std::string_view::npos; };
    shadersSupported = has("GL_ARB_vertex_shader") && has("GL_ARB_vertex_program") &&
                               has("GL_ARB_fragment_shader") && has("GL_ARB_fragment_program")
                           ? 1
                           : 0;
    bool shadows = has("GL_ARB_depth_texture") && has("GL_EXT_framebuffer_object") &&
                   has("GL_ARB_multitexture") && shadersSupported;
    shadowsDisabled = shadows ? 0 : 1;
    toggleShadows = shadows ? 1 : 0;
}

void applyEntryPoints(bool shaderFunctions, bool shadowFunctions)
{
    if (!shaderFunctions)
        shadersSupported = 0;
    if (!shaderFunctions || !shadowFunctions) {
        shadowsDisabled = 1;
        toggleShadows = 0;
    }
}
