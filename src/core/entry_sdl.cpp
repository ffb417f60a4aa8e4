// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/entry.h"

#include <GL/freeglut.h>
#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "audio/sound.h"
#include "core/frame.h"
#include "core/game.h"
#include "core/loop.h"
#include "core/match.h"
#include "core/options.h"
#include "core/pad_sdl.h"
#include "core/state.h"
#include "core/window_sdl.h"
#include "net/net_enet.h"
#include "replay/replay.h"
#include "terrain/texture.h"

namespace
{

// What the session plays: a replay, the network, or the keys (recorded or
// not). Everything here happens before the window opens, so a bad replay,
// an unreachable host or an unwritable recording stops the game first.
struct Session {
    Playback playback;
    bool replaying = false;
    NetLink link;
    Recorder recorder;
    bool recording = false;
};

// Returns -1 to play on, else the exit status (the reason printed).
int startSession(const Options &options, Session &s)
{
    // A replay seeds the game's generator itself.
    s.replaying = !options.replay.empty();
    if (s.replaying && !(openReplay(s.playback, options.replay) && beginPlayback(s.playback))) {
        std::fprintf(stderr, "%s\n", s.playback.error.c_str());
        return s.playback.status;
    }
    // Online, the network comes first: a joiner that cannot reach its host
    // stops before its window opens.
    if (options.net != NetRole::Off)
        if (const int status = openNet(options, s.link); status >= 0)
            return status;
    const std::uint32_t randSeed =
        options.seed ? *options.seed : static_cast<std::uint32_t>(std::time(nullptr));
    if (!s.replaying)
        seedGameRand(randSeed);
    s.recording = !options.record.empty();
    if (!s.recording)
        return -1;
    // A joiner records from the host's game, once it came: here the file is
    // only made.
    const ReplayHeader header{gameVersion(), randSeed, options.bot, terrainChosenNext};
    const bool made = options.net == NetRole::Join || options.net == NetRole::Watch
                          ? std::unique_ptr<std::FILE, CloseFile>(
                                std::fopen(options.record.c_str(), "w")) != nullptr
                          : startRecording(s.recorder, options.record, header);
    if (!made) {
        std::fprintf(stderr, "quorbly: --record: cannot write '%s': %s\n", options.record.c_str(),
                     std::strerror(errno));
        return 2;
    }
    return -1;
}

int playSession(const Options &options, Session &s)
{
    if (s.replaying) {
        if (sessionStarted(s.playback))
            return playBack(s.playback, options.digestEvery, options.at.value_or(0));
        std::fprintf(stderr, "%s\n", s.playback.error.c_str());
        return s.playback.status;
    }
    Recorder *recorder = s.recording ? &s.recorder : nullptr;
    if (recorder && (options.net == NetRole::Off || options.net == NetRole::Host))
        recordInput(*recorder, nullptr); // the first match
    int status = 0;
    if (options.net != NetRole::Off)
        status = playOnline(s.link, recorder, options.record);
    else
        play(recorder, options.digestEvery);
    if (s.recording && s.recorder.file) {
        finishRecording(s.recorder);
        std::printf("Replay saved: %s\n", options.record.c_str());
        printDigest(s.recorder.frames, true);
    }
    return status;
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
        return playHeadless(options.replay, options.digestEvery, options.at);

    Session session;
    if (const int status = startSession(options, session); status >= 0)
        return status;
    quit_flag = 0;
    if (const int status = openWindow(options.width, options.height, options.fullscreen);
        status >= 0)
        return status;
    openPads();
    glutInit(&argc, argv); // only for the HUD's bitmap fonts
    openAudio();           // without a device the game plays silently

    if (!session.replaying)
        queueNoiseSeed(nextNoiseSeed(SDL_GetTicks())); // the first match's texture
    init();
    if (options.bot)
        toggleBot = 1;
    reshape(screen->w, screen->h);

    const int status = playSession(options, session);
    cleanup();
    closePads();
    SDL_Quit();
    return status;
}
