// SPDX-License-Identifier: GPL-3.0-or-later
#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_thread.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/decode_sdl.h"
#include "audio/sound.h"

namespace
{

Mix_Chunk *bump = nullptr;
Mix_Chunk *bump2 = nullptr;
Mix_Chunk *bump3 = nullptr;
Mix_Chunk *bumpSmall = nullptr;
Mix_Chunk *speed = nullptr;
Mix_Chunk *resistance = nullptr;
Mix_Chunk *growth = nullptr;
Mix_Chunk *bomb = nullptr;
Mix_Chunk *lose = nullptr;
Mix_Chunk *win = nullptr;
Mix_Chunk *whee = nullptr;
Mix_Chunk *music1a = nullptr;
Mix_Chunk *music1b = nullptr;
Mix_Chunk *music2 = nullptr;

// The mixer thread reads these in channelDone while the main thread writes
// them every frame; relaxed atomics keep the single-store behaviour defined.
// channel is -1 while no track plays.
std::atomic<int> channel{-1};
std::atomic<int> track{1};
std::atomic<int> nexttrack{2};
// Set before the music is halted or the samples freed: halting a channel
// calls channelDone at once, which must not start the next track.
std::atomic<bool> musicHalted{true};
// A track ended before the next was decoded: the frame update starts the
// next one once it is.
std::atomic<bool> musicWaiting{false};

// The second and the boost track (two fifths of the start-up's work before
// the first frame) are decoded on a thread of their own while the game
// starts: the first track plays for a minute before either is needed.
// musicDecoded is set, with release order, once both pointers are final. An
// SDL thread, so that SDL keeps its error messages apart from the game's.
struct MusicDecoder {
    SDL_Thread *thread = nullptr;
    std::atomic<bool> stop{false};
    // A program that exits before cleanup still waits for it.
    ~MusicDecoder() { join(); }

    // Back on one thread: the decoder has finished and its samples are
    // ours. The boost track is skipped if it has not been started yet.
    void join()
    {
        stop.store(true);
        if (thread != nullptr)
            SDL_WaitThread(thread, nullptr);
        thread = nullptr;
    }
};
MusicDecoder musicDecoder;
std::atomic<bool> musicDecoded{true};

int decodeLaterTracks(void *)
{
    loadSound(&music1b, "sound/music-1b.ogg");
    if (!musicDecoder.stop.load())
        loadSound(&music2, "sound/music-2.ogg");
    musicDecoded.store(true, std::memory_order_release);
    return 0;
}

void joinMusicDecoder()
{
    musicDecoder.join();
    musicDecoded.store(true, std::memory_order_release);
}

Mix_Chunk *sampleOf(int t)
{
    return t == 1 ? music1a : t == 2 ? music1b : music2;
}

// The track to play when `wanted` is due after `current`: a track that did
// not load is skipped and the rotation goes on with those that did; -1 when
// none did.
int playableTrack(int wanted, int current)
{
    const int regular = wanted == 1 || wanted == 2 ? wanted : current == 1 ? 2 : 1;
    for (const int t : {wanted, regular, 3 - regular, 0})
        if (sampleOf(t) != nullptr)
            return t;
    return -1;
}

// Starts the track due on the first free channel, with the mixer's lock
// held so that channelDone sees channel and track change together. With
// every channel taken by effects the next frame tries again.
void startTrack(int wanted)
{
    const int t = playableTrack(wanted, track.load(std::memory_order_relaxed));
    const int c = t < 0 ? -1 : Mix_PlayChannelTimed(-1, sampleOf(t), 0, -1);
    channel.store(c, std::memory_order_relaxed);
    musicWaiting.store(t >= 0 && c < 0);
    if (c >= 0)
        track.store(t, std::memory_order_relaxed);
}

// From the frame update: the track that ended before the next was decoded
// is followed now that it is.
void startWaitingTrack()
{
    if (!musicWaiting.load() || !musicDecoded.load(std::memory_order_acquire))
        return;
    SDL_LockAudio();
    if (musicWaiting.load() && !musicHalted.load())
        startTrack(nexttrack.load(std::memory_order_relaxed));
    SDL_UnlockAudio();
}

constexpr int kVolumeStep = 12;
constexpr int kVolumeMax = MIX_MAX_VOLUME;

bool effectsMuted = false;

void playEffect(Mix_Chunk *chunk)
{
    if (!audioOpen() || chunk == nullptr || effectsMuted)
        return;
    Mix_PlayChannelTimed(-1, chunk, 0, -1);
}

void freeChunk(Mix_Chunk *&chunk)
{
    if (chunk != nullptr)
        Mix_FreeChunk(chunk);
    chunk = nullptr;
}

// sdl12-compat unloads SDL2 as the process exits, under the feet of the
// mixer's thread if it still runs: a program that exits with the device open
// (say, on a terrains file without terrains) closes it first.
void closeAudioAtExit()
{
    if (SDL_WasInit(SDL_INIT_AUDIO) != 0)
        closeAudio();
}

} // namespace

bool openAudio()
{
    // SDL 1.2 lets audio start without a device, SDL2 (under sdl12-compat)
    // does not: either way the game plays on without sound.
    if ((SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) ||
        Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 512) < 0) {
        std::fprintf(stderr, "Unable to open audio: %s\n", Mix_GetError());
        return false;
    }
    static bool closedAtExit = false;
    if (!closedAtExit)
        closedAtExit = std::atexit(closeAudioAtExit) == 0;
    return true;
}

void closeAudio()
{
    // Closing halts every channel, which would otherwise restart the music.
    musicHalted.store(true);
    joinMusicDecoder();
    if (audioOpen())
        Mix_CloseAudio();
}

bool audioOpen()
{
    return Mix_QuerySpec(nullptr, nullptr, nullptr) != 0;
}

void loadSound(Mix_Chunk **sound, const char *name)
{
    *sound = nullptr;
    if (!audioOpen())
        return;
    std::string why;
    Mix_Chunk *chunk = loadChunk(name, why);
    // A file that decodes to nothing would end the moment it starts.
    if (chunk != nullptr && chunk->alen == 0) {
        Mix_FreeChunk(chunk);
        chunk = nullptr;
        why = "no sound in it";
    }
    if (chunk == nullptr)
        std::fprintf(stderr, "%s: %s\n", name, why.c_str());
    *sound = chunk;
}

void initSound()
{
    if (!audioOpen())
        return;
    loadSound(&bump, "sound/bump.ogg");
    loadSound(&bump2, "sound/bump2.ogg");
    loadSound(&bump3, "sound/bump3.ogg");
    loadSound(&bumpSmall, "sound/bumpsmall.ogg");
    loadSound(&speed, "sound/powerup-speed.ogg");
    loadSound(&resistance, "sound/powerup-resistance.ogg");
    loadSound(&growth, "sound/powerup-growth.ogg");
    loadSound(&bomb, "sound/powerup-bomb.ogg");
    loadSound(&lose, "sound/end-yousuck.ogg");
    loadSound(&win, "sound/end-winner.ogg");
    loadSound(&whee, "sound/whee.ogg");
    loadSound(&music1a, "sound/music-1a.ogg");
    // Loading is sequential: the decoder thread starts when this thread has
    // finished with the loader, and nothing else loads until it is joined.
    joinMusicDecoder();
    music1b = nullptr;
    music2 = nullptr;
    musicDecoded.store(false);
    musicDecoder.stop.store(false);
    musicDecoder.thread = SDL_CreateThread(decodeLaterTracks, nullptr);
    if (musicDecoder.thread == nullptr)
        decodeLaterTracks(nullptr); // no thread to spare: decode them here
}

void playMusic()
{
    if (!audioOpen())
        return;
    // Under the mixer's lock: nothing the mixer notifies can come between.
    // Without a first track the rotation starts with the next that loaded.
    SDL_LockAudio();
    track.store(1, std::memory_order_relaxed);
    nexttrack.store(2, std::memory_order_relaxed);
    const int c = music1a == nullptr ? -1 : Mix_PlayChannelTimed(-1, music1a, 0, -1);
    channel.store(c, std::memory_order_relaxed);
    musicWaiting.store(c < 0);
    musicHalted.store(false);
    Mix_ChannelFinished(channelDone);
    SDL_UnlockAudio();
}

void playMusic1()
{
    if (!audioOpen())
        return;
    int next = track.load(std::memory_order_relaxed) + 1;
    if (next > 2)
        next = 1;
    nexttrack.store(next, std::memory_order_relaxed);
    startWaitingTrack();
}

void playMusic2()
{
    if (!audioOpen())
        return;
    nexttrack.store(0, std::memory_order_relaxed);
    startWaitingTrack();
}

void channelDone(int c)
{
    if (musicHalted.load())
        return;
    if (c != channel.load(std::memory_order_relaxed))
        return;
    // Never wait here: the mixer holds its lock, and the game's next sound
    // would wait with it. Only a track shorter than the decoding of the next
    // gets here first.
    if (!musicDecoded.load(std::memory_order_acquire)) {
        channel.store(-1, std::memory_order_relaxed); // an effect may take it now
        musicWaiting.store(true);
        return;
    }
    startTrack(nexttrack.load(std::memory_order_relaxed));
}

void playBumpSound(int which)
{
    playEffect(which == 0 ? bump : which == 1 ? bump2 : bump3);
}

void playBumpSmall()
{
    playEffect(bumpSmall);
}
void playGrowth()
{
    playEffect(growth);
}
void playSpeed()
{
    playEffect(speed);
}
void playResistance()
{
    playEffect(resistance);
}
void playBomb()
{
    playEffect(bomb);
}
void playWhee()
{
    playEffect(whee);
}
void playWin()
{
    playEffect(win);
}
void playLose()
{
    playEffect(lose);
}

void stopMusic()
{
    musicHalted.store(true);
    if (!audioOpen())
        return;
    Mix_HaltMusic();
    const int c = channel.load(std::memory_order_relaxed);
    if (c >= 0)
        Mix_HaltChannel(c);
}

void freeSound()
{
    musicHalted.store(true);
    joinMusicDecoder();
    if (!audioOpen())
        return;
    // The mixer calls channelDone under its lock: taking it once here waits
    // out a call that began before the flag was set.
    SDL_LockAudio();
    SDL_UnlockAudio();
    freeChunk(bump);
    freeChunk(bump2);
    freeChunk(bump3);
    freeChunk(bumpSmall);
    freeChunk(speed);
    freeChunk(resistance);
    freeChunk(growth);
    freeChunk(bomb);
    freeChunk(win);
    freeChunk(lose);
    freeChunk(whee);
    freeChunk(music1a);
    freeChunk(music1b);
    freeChunk(music2);
}

void muteEffects(bool muted)
{
    effectsMuted = muted;
}

void pauseAudio()
{
    if (!audioOpen())
        return;
    Mix_Pause(-1);
    Mix_PauseMusic();
}

void resumeAudio()
{
    if (!audioOpen())
        return;
    Mix_Resume(-1);
    Mix_ResumeMusic();
}

void volumeDown()
{
    if (!audioOpen())
        return;
    Mix_Volume(-1, volumeStepDown(Mix_Volume(-1, -1)));
    Mix_VolumeMusic(volumeStepDown(Mix_VolumeMusic(-1)));
}

void volumeUp()
{
    if (!audioOpen())
        return;
    Mix_Volume(-1, volumeStepUp(Mix_Volume(-1, -1)));
    Mix_VolumeMusic(volumeStepUp(Mix_VolumeMusic(-1)));
}

int effectsVolume()
{
    return audioOpen() ? Mix_Volume(-1, -1) : 0;
}
int musicVolume()
{
    return audioOpen() ? Mix_VolumeMusic(-1) : 0;
}

int currentTrack()
{
    return track.load(std::memory_order_relaxed);
}

int volumeStepDown(int volume)
{
    const int step = volume > kVolumeStep ? kVolumeStep : volume;
    return volume - step;
}

int volumeStepUp(int volume)
{
    const int room = kVolumeMax - volume;
    const int step = room > kVolumeStep ? kVolumeStep : room;
    return volume + step;
}
