// Corrupt sound files: random bytes, real files cut short, an Ogg header
// over zeros, empty files and a directory where a file should be. Each loads
// as nothing (or as what part of it decodes), and the game's effects and
// music rotation then run on them without fault, on SDL's dummy driver.

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/sound.h"

namespace fs = std::filesystem;

namespace
{

constexpr std::array<const char *, 14> kNames{
    "bump.ogg",           "bump2.ogg",         "bump3.ogg",
    "bumpsmall.ogg",      "powerup-speed.ogg", "powerup-resistance.ogg",
    "powerup-growth.ogg", "powerup-bomb.ogg",  "end-yousuck.ogg",
    "end-winner.ogg",     "whee.ogg",          "music-1a.ogg",
    "music-1b.ogg",       "music-2.ogg"};

std::vector<char> readAll(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path &p, const std::vector<char> &bytes)
{
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The i-th kind of damage, made from the shipped file of that name.
void damage(const fs::path &to, const fs::path &shipped, int kind)
{
    std::vector<char> real = readAll(shipped);
    std::vector<char> bytes;
    std::srand(static_cast<unsigned>(kind + 1));
    switch (kind % 5) {
    case 0: // random bytes
        for (int i = 0; i < 4000; ++i)
            bytes.push_back(static_cast<char>(std::rand()));
        break;
    case 1: // cut short inside the first pages
        bytes.assign(real.begin(), real.begin() + std::min<std::size_t>(real.size(), 700));
        break;
    case 2: // an Ogg page header, then nothing but zeros
        bytes.assign(real.begin(), real.begin() + std::min<std::size_t>(real.size(), 58));
        bytes.resize(5000, '\0');
        break;
    case 3: // empty
        break;
    default: // a directory of that name
        fs::create_directory(to);
        return;
    }
    writeAll(to, bytes);
}

class BadSounds : public ::testing::Test
{
  protected:
    fs::path dir;
    fs::path home;

    void SetUp() override
    {
        char tmpl[] = "/tmp/quorbly-badsound-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        fs::create_directory(dir / "sound");
        for (std::size_t i = 0; i < kNames.size(); ++i)
            damage(dir / "sound" / kNames[i], fs::path(QUORBLY_DATA_DIR) / "sound" / kNames[i],
                   static_cast<int>(i));
        home = fs::current_path();
        fs::current_path(dir);
        ASSERT_TRUE(openAudio()) << SDL_GetError();
    }

    void TearDown() override
    {
        closeAudio();
        fs::current_path(home);
        fs::remove_all(dir);
    }
};

} // namespace

TEST_F(BadSounds, EachLoadsAsNothingOrAsWhatDecodes)
{
    int none = 0;
    for (const char *name : kNames) {
        Mix_Chunk *chunk = reinterpret_cast<Mix_Chunk *>(1);
        loadSound(&chunk, (std::string("sound/") + name).c_str());
        if (chunk == nullptr) {
            ++none;
            continue;
        }
        // Whatever did decode is whole stereo 16-bit frames.
        EXPECT_EQ(chunk->alen % 4, 0u) << name;
        Mix_PlayChannel(-1, chunk, 0);
        SDL_Delay(20);
        Mix_HaltChannel(-1);
        Mix_FreeChunk(chunk);
    }
    // Random bytes, zeros behind a header, empty files and directories never decode.
    EXPECT_GE(none, 10);
}

TEST_F(BadSounds, TheGamePlaysOnThemSilentlyWithoutFault)
{
    initSound();
    playMusic();
    const Uint32 start = SDL_GetTicks();
    int frame = 0;
    while (SDL_GetTicks() - start < 1500) {
        (frame % 2 ? playMusic1 : playMusic2)();
        switch (frame++ % 9) {
        case 0:
            playBump();
            break;
        case 1:
            playBumpSmall();
            break;
        case 2:
            playGrowth();
            break;
        case 3:
            playSpeed();
            break;
        case 4:
            playResistance();
            break;
        case 5:
            playBomb();
            break;
        case 6:
            playWhee();
            break;
        case 7:
            playWin();
            break;
        default:
            playLose();
            break;
        }
        if (frame % 50 == 0) {
            pauseAudio();
            resumeAudio();
            volumeDown();
            volumeUp();
        }
        SDL_Delay(5);
    }
    EXPECT_GT(frame, 50);
    stopMusic();
    freeSound();
    EXPECT_TRUE(audioOpen());
}
