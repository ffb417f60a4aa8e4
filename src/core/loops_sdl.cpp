// SPDX-License-Identifier: GPL-3.0-or-later
// The game's frame loops (core/entry.h), side by side: local play, a replay
// in the window and headless, and online play. Each reads as a source of
// inputs and seconds around takeInput and runFrame (core/frame.h).
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "audio/sound.h"
#include "core/controls.h"
#include "core/controls_sdl.h"
#include "core/entry.h"
#include "core/frame.h"
#include "core/keys.h"
#include "core/loop.h"
#include "core/match.h"
#include "core/state.h"
#include "core/window_sdl.h"
#include "net/net_enet.h"
#include "net/online.h"
#include "net/rollback.h"
#include "render/display.h"
#include "replay/replay.h"
#include "replay/seek.h"

namespace
{

// Alt+Enter switches the screen; any other SDL event the game knows
// becomes its input, not yet applied.
std::optional<InputEvent> shellInput(SDL_Event *ev)
{
    if (ev->type == SDL_KEYDOWN && isFullscreenKey(ev->key.keysym.sym, ev->key.keysym.mod)) {
        toggleFullscreen();
        return std::nullopt;
    }
    return inputOf(*ev);
}

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

} // namespace

std::optional<InputEvent> event(SDL_Event *ev)
{
    const std::optional<InputEvent> input = shellInput(ev);
    if (input)
        takeInput(*input, SDL_GetTicks());
    return input;
}

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
            runFrame(seconds);
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

int playOnline(NetLink &link, Recorder *recorder, const std::string &recordPath)
{
    constexpr std::uint32_t kBatchMs = 30; // inputs go out every other tick
    startFrameCount(SDL_GetTicks());
    std::uint32_t last = frame_time;
    std::vector<InputEvent> inputs;
    int status = -1;
    if (game.net.role == NetRole::Host)
        beginTicks(0, 0, 0);
    // For the end-to-end test: QUORBLY_TEST_DESYNC=N nudges the game clock
    // of a joiner's sure tick or of a watcher's game once past tick N, as a
    // flipped bit would, and the host has to bring it back in step.
    const char *desync = std::getenv("QUORBLY_TEST_DESYNC");
    unsigned long desyncAt = desync ? std::strtoul(desync, nullptr, 10) : 0;
    std::uint32_t recordedResyncs = 0;
    // And QUORBLY_TEST_KEYS=1 says, for each arrow pressed while the own
    // ball has no key held, how many frames that played a tick went by
    // before a drawn frame held it: 0 when the frame that read it shows it.
    // A press that never shows is forgotten at the next.
    const bool keyTrace = game.net.role != NetRole::Watch && std::getenv("QUORBLY_TEST_KEYS");
    const Player &own = players[game.net.role == NetRole::Host ? 0 : 1];
    const auto held = [&own] { return own.keys.x != 0 || own.keys.y != 0; };
    const auto arrow = [](const InputEvent &e) {
        return e.kind == InputKind::KeyDown && e.code >= keys::kUp && e.code <= keys::kLeft;
    };
    std::optional<unsigned> pressedFrames; // since an arrow's press, until it shows
    // QUORBLY_TEST_CLOCK=1 says at the end how many ticks played since the
    // first frame linked to the other side, and in how many milliseconds:
    // the match keeps to the clock, a busy machine only falls behind it.
    const bool clockTrace = game.net.role != NetRole::Watch && std::getenv("QUORBLY_TEST_CLOCK");
    std::optional<std::pair<std::uint32_t, std::uint32_t>> linkedAt; // ms, tick
    while (!quit_flag && status < 0) {
        SDL_Event ev;
        while (nextEvent(ev))
            if (const std::optional<InputEvent> input = shellInput(&ev))
                inputs.push_back(*input);
        if (keyTrace && !held() && std::ranges::any_of(inputs, arrow))
            pressedFrames = 0;
        const std::uint32_t now = SDL_GetTicks(), tick = game.net.rollback.tick;
        status = netStep(link, now - last, inputs, kBatchMs,
                         recorder && recorder->file ? recorder : nullptr);
        inputs.clear();
        if (clockTrace && game.net.linked && !linkedAt)
            linkedAt.emplace(now, game.net.rollback.tick);
        if (pressedFrames && held()) {
            std::printf("Online: own key on screen %u frames after its press\n", *pressedFrames);
            std::fflush(stdout);
            pressedFrames.reset();
        } else if (pressedFrames && game.net.rollback.tick != tick) {
            ++*pressedFrames;
        }
        // A joiner or a watcher records from the host's game, and from it
        // again after a resync.
        if (recorder && game.net.role != NetRole::Host && game.net.linked &&
            (!recorder->file || game.net.resyncs != recordedResyncs)) {
            recordedResyncs = game.net.resyncs;
            if (!recordFromBase(*recorder, recordPath))
                std::printf("Online: cannot record into '%s'\n", recordPath.c_str());
        }
        if (desyncAt > 0 && game.net.rollback.confirmed > desyncAt) {
            MatchState &sure =
                game.net.role == NetRole::Watch ? game.match : game.net.rollback.base.match;
            sure.gameClock += 0.25;
            sure.gameTime = static_cast<float>(sure.gameClock);
            desyncAt = 0;
        }
        last = now;
        showFrame(now);
    }
    closeNet(link, recorder, status < 0);
    if (linkedAt)
        std::printf("Online: %u ticks played in %u ms linked\n",
                    static_cast<unsigned>(game.net.rollback.tick - linkedAt->second),
                    static_cast<unsigned>(SDL_GetTicks() - linkedAt->first));
    if (game.net.role != NetRole::Watch) // a watcher plays only sure ticks
        endOnBase();
    if (game.net.linked)
        std::printf("Online: game digest %s at frame %u, %u packets dropped\n",
                    digestText(onlineDigest()).c_str(),
                    static_cast<unsigned>(game.net.rollback.confirmed),
                    static_cast<unsigned>(game.net.dropped));
    return status < 0 ? 0 : status;
}

int playBack(Playback &p, std::uint64_t digestEvery, double at)
{
    Timeline timeline;
    keepSnapshot(timeline, p);
    if (at > 0)
        seekTo(p, timeline, at);
    startFrameCount(SDL_GetTicks());
    std::uint32_t last = frame_time;
    Watching watch{.at = std::max(at, 0.0)};
    bool stopped = false;
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
            } else if (watchKey(watch, key, p, timeline)) {
                continue;
            } else if (key == keys::kP || (key >= keys::kF5 && key <= keys::kF8)) {
                keyDown(key);
            }
        }
        const std::uint32_t now = SDL_GetTicks();
        if (!watch.paused)
            watch.at += elapsedSeconds(now, last) * std::ldexp(1.0, watch.pace);
        last = now;
        muteEffects(watch.pace != 0); // effects off the recorded pace would not match the picture
        while (!watch.paused && !p.ended && p.played <= watch.at && playFrame(p)) {
            keepSnapshot(timeline, p);
            if (digestEvery > 0 && p.frames % digestEvery == 0)
                printDigest(p.frames, false);
        }
        const std::string place =
            placeText(p.played, p.length, std::ldexp(1.0, watch.pace), watch.paused);
        std::snprintf(game.session.replayPlace.data(), game.session.replayPlace.size(), "%s",
                      place.c_str());
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

int playHeadless(const std::string &path, std::uint64_t digestEvery, std::optional<double> at)
{
    Playback p;
    if (openReplay(p, path) && beginPlayback(p)) {
        beginSession();
        Timeline timeline;
        if (sessionStarted(p) && at) {
            keepSnapshot(timeline, p);
            if (seekTo(p, timeline, *at)) {
                printDigest(p.frames, false);
                return 0;
            }
        } else if (p.error.empty()) {
            while (playFrame(p))
                if (digestEvery > 0 && p.frames % digestEvery == 0)
                    printDigest(p.frames, false);
        }
    }
    if (!p.error.empty()) {
        std::fprintf(stderr, "%s\n", p.error.c_str());
        return p.status;
    }
    printDigest(p.frames, true);
    return 0;
}
