// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/entry.h"

#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "audio/sound.h"
#include "core/controls.h"
#include "core/controls_sdl.h"
#include "core/game.h"
#include "core/keys.h"
#include "core/loop.h"
#include "core/match.h"
#include "core/options.h"
#include "core/pad_sdl.h"
#include "core/state.h"
#include "core/window_sdl.h"
#include "net/net_enet.h"
#include "net/online.h"
#include "render/display.h"
#include "replay/replay.h"
#include "sim/update.h"
#include "terrain/texture.h"

int &videoFlags = game.shell.videoFlags;
SDL_Surface *&screen = game.shell.screen;

namespace
{

// Alt+Enter switches the screen; other events the game knows are inputs.
std::optional<InputEvent> shellInput(SDL_Event *ev)
{
    if (ev->type == SDL_KEYDOWN && isFullscreenKey(ev->key.keysym.sym, ev->key.keysym.mod)) {
        toggleFullscreen();
        return std::nullopt;
    }
    return inputOf(*ev);
}

} // namespace

std::optional<InputEvent> event(SDL_Event *ev)
{
    const std::optional<InputEvent> input = shellInput(ev);
    if (input) {
        if (startsMatch(*input))
            queueNoiseSeed(nextNoiseSeed(SDL_GetTicks()));
        applyInput(*input);
    }
    return input;
}

namespace
{

void resize(const SDL_Event &ev)
{
    SDL_Surface *resized = changeVideoMode(ev.resize.w, ev.resize.h, videoFlags, SDL_SetVideoMode);
    if (resized)
        screen = resized;
}

// The next event for the game; quitting and resizing are handled on the
// way. False once none is left this frame.
bool nextEvent(SDL_Event &ev)
{
    while (SDL_PollEvent(&ev)) {
        if (ev.type == SDL_QUIT)
            quit();
        else if (ev.type == SDL_VIDEORESIZE)
            resize(ev);
        else
            return true;
    }
    return false;
}

void showFrame(std::uint32_t now)
{
    display(screen);
    SDL_GL_SwapBuffers();
    countFrame(now);
}

// The frame loop of play: events, one update of the time since the last
// frame, the frame drawn. A recording keeps the inputs and the frames.
void play(Recorder *recorder, std::uint64_t digestEvery)
{
    startFrameCount(SDL_GetTicks());
    std::uint32_t last_frame_time = frame_time;
    std::uint64_t frames = 0;

    while (!quit_flag) {
        SDL_Event ev;
        while (nextEvent(ev))
            if (const std::optional<InputEvent> input = event(&ev); input && recorder)
                recordInput(*recorder, &*input);

        std::uint32_t now = SDL_GetTicks();
        if (now != last_frame_time) {
            const float seconds = elapsedSeconds(now, last_frame_time);
            update(seconds);
            ++frames;
            if (recorder)
                recordFrame(*recorder, seconds);
            if (digestEvery > 0 && frames % digestEvery == 0)
                printDigest(frames, false);
        }
        last_frame_time = now;
        showFrame(now);
    }
}

// The frame loop of online play: the host's frames run on its inputs and
// its friend's, the joiner's as the host's stream brings them. Returns the
// exit status.
int playOnline(NetLink &link)
{
    constexpr std::uint32_t kBatchMs = 15; // frames faster than this go out together
    startFrameCount(SDL_GetTicks());
    std::uint32_t last = frame_time;
    std::vector<InputEvent> inputs;
    int status = -1;
    // For the end-to-end test: QUORBLY_TEST_DESYNC=N nudges the joiner's
    // game clock once its game passed frame N, as a flipped bit would, and
    // the host has to bring it back in step.
    const char *desync = std::getenv("QUORBLY_TEST_DESYNC");
    unsigned long desyncAt = desync ? std::strtoul(desync, nullptr, 10) : 0;
    while (!quit_flag && status < 0) {
        SDL_Event ev;
        while (nextEvent(ev))
            if (const std::optional<InputEvent> input = shellInput(&ev))
                inputs.push_back(*input);
        const std::uint32_t now = SDL_GetTicks();
        if (game.net.role == NetRole::Join) {
            status = joinerStep(link, inputs);
            inputs.clear();
            if (desyncAt > 0 && game.net.frame > desyncAt) {
                game.match.gameClock += 0.25;
                gameTime = static_cast<float>(game.match.gameClock);
                desyncAt = 0;
            }
        } else if (now != last) {
            hostStep(link, elapsedSeconds(now, last), inputs, now, kBatchMs);
            inputs.clear();
        }
        last = now;
        showFrame(now);
    }
    if (game.net.linked)
        std::printf("Online: game digest %s at frame %u, %u packets dropped\n",
                    digestText(onlineDigest()).c_str(), static_cast<unsigned>(game.net.frame),
                    static_cast<unsigned>(game.net.dropped));
    closeNet(link);
    return status < 0 ? 0 : status;
}

// The frame loop of a replay in the window: its frames at their recorded
// pace. Escape stops, Space pauses the playback, F5 to F8 and P change the
// view; the game's own keys come from the replay. Returns the exit status.
int playBack(Playback &p, std::uint64_t digestEvery)
{
    startFrameCount(SDL_GetTicks());
    std::uint32_t last = frame_time;
    double wall = 0, played = 0;
    bool paused = false, stopped = false;
    while (!stopped && !p.ended && p.error.empty()) {
        SDL_Event ev;
        while (SDL_PollEvent(&ev)) {
            const int key = ev.key.keysym.sym;
            if (ev.type == SDL_QUIT || (ev.type == SDL_KEYDOWN && key == keys::kEscape)) {
                stopped = true;
            } else if (ev.type == SDL_VIDEORESIZE) {
                resize(ev);
            } else if (ev.type != SDL_KEYDOWN) {
                continue;
            } else if (isFullscreenKey(key, ev.key.keysym.mod)) {
                toggleFullscreen();
            } else if (key == keys::kSpace) {
                paused = !paused;
                if (paused)
                    pauseAudio();
                else if (togglePause == 0) // a pause of the game itself stays silent
                    resumeAudio();
            } else if (key == keys::kP || (key >= keys::kF5 && key <= keys::kF8)) {
                keyDown(key);
            }
        }
        const std::uint32_t now = SDL_GetTicks();
        if (!paused)
            wall += elapsedSeconds(now, last);
        last = now;
        while (!paused && played <= wall)
            if (const std::optional<float> seconds = playFrame(p)) {
                played += *seconds;
                if (digestEvery > 0 && p.frames % digestEvery == 0)
                    printDigest(p.frames, false);
            } else {
                break;
            }
        showFrame(now);
    }
    if (!p.error.empty()) {
        std::fprintf(stderr, "%s\n", p.error.c_str());
        return p.status;
    }
    if (p.ended)
        printDigest(p.frames, true);
    return 0;
}

} // namespace

int runGame(int argc, char **argv)
{
    CommandLine cl = takeOptions(argc, argv);
    if (cl.exitStatus >= 0) {
        std::fputs(cl.message.c_str(), cl.exitStatus == 0 ? stdout : stderr);
        return cl.exitStatus;
    }
    Options &options = cl.options;
    if (const int status = startOptions(options); status >= 0)
        return status;
    if (options.headless)
        return playHeadless(options.replay, options.digestEvery);

    // A replay seeds rand() itself, and a bad one stops the game before its window.
    Playback playback;
    const bool replaying = !options.replay.empty();
    if (replaying && !(openReplay(playback, options.replay) && beginPlayback(playback))) {
        std::fprintf(stderr, "%s\n", playback.error.c_str());
        return playback.status;
    }
    // Online, the network comes first: a joiner that cannot reach its host
    // stops before its window opens.
    NetLink link;
    if (options.net != NetRole::Off)
        if (const int status = openNet(options, link); status >= 0)
            return status;
    const std::uint32_t randSeed =
        options.seed ? *options.seed : static_cast<std::uint32_t>(std::time(nullptr));
    if (!replaying)
        std::srand(randSeed);
    Recorder recorder;
    const bool recording = !options.record.empty();
    if (recording && !startRecording(recorder, options.record,
                                     {gameVersion(), randSeed, options.bot, terrainChosenNext})) {
        std::fprintf(stderr, "quorbly: --record: cannot write '%s': %s\n", options.record.c_str(),
                     std::strerror(errno));
        return 2;
    }
    quit_flag = 0;
    videoFlags = SDL_OPENGL | SDL_RESIZABLE | SDL_DOUBLEBUF;

    // A video driver the user chose is used as it is. Otherwise OpenGL needs
    // an X display: without one SDL would fall back to a text console driver
    // and GLUT would abort on its own, so say it plainly.
    const char *chosenDriver = std::getenv("SDL_VIDEODRIVER");
    const bool driverChosen = chosenDriver && *chosenDriver;
    const char *xDisplay = std::getenv("DISPLAY");
    const bool haveDisplay = xDisplay && *xDisplay;
    if (!driverChosen && !haveDisplay) {
        std::fprintf(stderr, "Quorbly: cannot open a window: no X display (DISPLAY is not set)\n");
        return 1;
    }
    if (!driverChosen)
        setenv("SDL_VIDEODRIVER", "x11", 1);
    // Audio starts in openAudio(), which goes on without a device.
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) < 0) {
        if (driverChosen)
            std::fprintf(stderr, "Quorbly: cannot open a window with video driver '%s': %s\n",
                         chosenDriver, SDL_GetError());
        else
            std::fprintf(stderr, "Quorbly: cannot open a window on display '%s': %s\n", xDisplay,
                         SDL_GetError());
        return 1;
    }
    screen = openScreen(options.width, options.height, options.fullscreen);
    if (!screen) {
        std::fprintf(stderr, "Quorbly: cannot open the %dx%d OpenGL window: %s\n", options.width,
                     options.height, SDL_GetError());
        SDL_Quit();
        return 1;
    }
    openPads();
    glutInit(&argc, argv); // only for the HUD's bitmap fonts
    openAudio();           // without a device the game plays silently

    if (!replaying)
        queueNoiseSeed(nextNoiseSeed(SDL_GetTicks())); // the first match's texture
    init();
    if (options.bot)
        toggleBot = 1;
    reshape(screen->w, screen->h);

    int status = 0;
    if (replaying) {
        if (sessionStarted(playback)) {
            status = playBack(playback, options.digestEvery);
        } else {
            std::fprintf(stderr, "%s\n", playback.error.c_str());
            status = playback.status;
        }
    } else if (options.net != NetRole::Off) {
        status = playOnline(link);
    } else {
        if (recording)
            recordInput(recorder, nullptr); // the first match
        play(recording ? &recorder : nullptr, options.digestEvery);
        if (recording) {
            finishRecording(recorder);
            std::printf("Replay saved: %s\n", options.record.c_str());
            printDigest(recorder.frames, true);
        }
    }

    cleanup();
    closePads();
    SDL_Quit();
    return status;
}
