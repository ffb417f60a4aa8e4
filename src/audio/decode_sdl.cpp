// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/decode_sdl.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <soxr.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{

// The mixer decodes a file itself and converts it to its format,
// but SDL 1.2 changes rates only by doubling and halving: a 48 kHz sound
// would play 9 % slow and flat. Such files are decoded here, resampled with
// libsoxr and handed over at the mixer's own rate.

bool mixerConvertsExactly(long rate, int mixRate)
{
    for (int shift = 0; shift < 4; ++shift)
        if (rate == long{mixRate} << shift || rate << shift == mixRate)
            return true;
    return false;
}

// The whole file, read once.
bool readFile(const char *name, std::vector<Uint8> &bytes, std::string &why)
{
    std::FILE *f = std::fopen(name, "rb");
    if (f == nullptr) {
        why = std::strerror(errno);
        return false;
    }
    std::array<Uint8, 65536> block;
    std::size_t n = 0;
    while ((n = std::fread(block.data(), 1, block.size(), f)) > 0)
        bytes.insert(bytes.end(), block.begin(), block.begin() + static_cast<long>(n));
    const bool ok = std::ferror(f) == 0;
    if (!ok)
        why = std::strerror(errno);
    std::fclose(f);
    return ok;
}

// Interleaved 16-bit samples, mono or stereo.
struct Pcm {
    long rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
};

std::size_t rwRead(void *out, std::size_t size, std::size_t n, void *rw)
{
    return static_cast<std::size_t>(
        SDL_RWread(static_cast<SDL_RWops *>(rw), out, static_cast<int>(size), static_cast<int>(n)));
}
int rwSeek(void *rw, ogg_int64_t offset, int whence)
{
    return SDL_RWseek(static_cast<SDL_RWops *>(rw), static_cast<int>(offset), whence) < 0 ? -1 : 0;
}
long rwTell(void *rw)
{
    return SDL_RWtell(static_cast<SDL_RWops *>(rw));
}

// Beyond two channels only the first two are kept.
void readVorbis(OggVorbis_File &vf, Pcm &pcm)
{
    const int channels = ov_info(&vf, -1)->channels;
    pcm.rate = ov_info(&vf, -1)->rate;
    pcm.channels = std::min(channels, 2);
    std::array<std::int16_t, 8192> block;
    int section = 0;
    for (;;) {
        const long n = ov_read(&vf, reinterpret_cast<char *>(block.data()), sizeof block,
                               SDL_BYTEORDER == SDL_BIG_ENDIAN, 2, 1, &section);
        if (n == OV_HOLE)
            continue; // a gap in the data: what follows still plays
        if (n <= 0 || ov_info(&vf, section)->channels != channels)
            return;
        for (long i = 0; i + channels <= n / 2; i += channels)
            pcm.samples.insert(pcm.samples.end(), block.begin() + i,
                               block.begin() + i + pcm.channels);
    }
}

// WAV through SDL's loader, converted to 16 bits at its own rate (exact).
bool readWav(SDL_RWops *rw, Pcm &pcm)
{
    SDL_AudioSpec wav;
    Uint8 *buf = nullptr;
    Uint32 len = 0;
    if (SDL_LoadWAV_RW(rw, 1, &wav, &buf, &len) == nullptr)
        return false;
    SDL_AudioCVT cvt;
    const bool ok = wav.channels > 0 && wav.freq > 0 &&
                    SDL_BuildAudioCVT(&cvt, wav.format, wav.channels, wav.freq, AUDIO_S16SYS,
                                      wav.channels, wav.freq) >= 0;
    if (ok) {
        std::vector<std::int16_t> all(len * static_cast<Uint32>(cvt.len_mult) / 2 + 1);
        std::copy(buf, buf + len, reinterpret_cast<Uint8 *>(all.data()));
        cvt.buf = reinterpret_cast<Uint8 *>(all.data());
        cvt.len = static_cast<int>(len);
        SDL_ConvertAudio(&cvt);
        all.resize(static_cast<std::size_t>(cvt.len_cvt) / 2);
        pcm.rate = wav.freq;
        pcm.channels = std::min<int>(wav.channels, 2);
        for (std::size_t i = 0; i + wav.channels <= all.size(); i += wav.channels)
            pcm.samples.insert(pcm.samples.end(), all.begin() + static_cast<long>(i),
                               all.begin() + static_cast<long>(i) + pcm.channels);
    }
    SDL_FreeWAV(buf);
    return ok;
}

// Decodes an Ogg Vorbis or WAV file whose rate the mixer cannot convert
// exactly; false leaves the file to the mixer's own loader.
bool decodeForResampling(const std::vector<Uint8> &bytes, int mixRate, Pcm &pcm)
{
    SDL_RWops *rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    OggVorbis_File vf;
    if (ov_open_callbacks(rw, &vf, nullptr, 0, {rwRead, rwSeek, nullptr, rwTell}) == 0) {
        const bool resample = !mixerConvertsExactly(ov_info(&vf, -1)->rate, mixRate);
        if (resample)
            readVorbis(vf, pcm);
        ov_clear(&vf);
        SDL_RWclose(rw);
        return resample;
    }
    SDL_RWseek(rw, 0, RW_SEEK_SET);
    Pcm wav;
    if (!readWav(rw, wav) || mixerConvertsExactly(wav.rate, mixRate))
        return false;
    pcm = std::move(wav);
    return true;
}

void putLe(std::vector<Uint8> &out, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<Uint8>(v >> (8 * i)));
}

// Resampled to the mixer's rate and handed to its loader as a 16-bit WAV,
// which it turns into its own format without touching the rate again.
Mix_Chunk *resampledChunk(const Pcm &pcm, int mixRate, std::string &why)
{
    const auto channels = static_cast<unsigned>(pcm.channels);
    const std::size_t frames = pcm.samples.size() / channels;
    const std::size_t room =
        frames * static_cast<std::size_t>(mixRate) / static_cast<std::size_t>(pcm.rate) + 1;
    std::vector<std::int16_t> out(room * channels);
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    std::size_t made = 0;
    if (const soxr_error_t error =
            soxr_oneshot(static_cast<double>(pcm.rate), mixRate, channels, pcm.samples.data(),
                         frames, nullptr, out.data(), room, &made, &io, &quality, nullptr)) {
        why = error;
        return nullptr;
    }
    const auto data = static_cast<std::uint32_t>(made * channels * 2);
    std::vector<Uint8> wav;
    wav.reserve(44 + data);
    for (const std::uint32_t v : {0x46464952u, 36 + data, 0x45564157u, 0x20746d66u, 16u})
        putLe(wav, v, 4); // "RIFF", size, "WAVE", "fmt ", its size
    putLe(wav, 1, 2);     // PCM
    putLe(wav, channels, 2);
    putLe(wav, static_cast<std::uint32_t>(mixRate), 4);
    putLe(wav, static_cast<std::uint32_t>(mixRate) * channels * 2, 4);
    putLe(wav, channels * 2, 2);
    putLe(wav, 16, 2);
    putLe(wav, 0x61746164u, 4); // "data"
    putLe(wav, data, 4);
    for (std::size_t i = 0; i < made * channels; ++i)
        putLe(wav, static_cast<std::uint16_t>(out[i]), 2);
    Mix_Chunk *chunk =
        Mix_LoadWAV_RW(SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size())), 1);
    if (chunk == nullptr)
        why = Mix_GetError();
    return chunk;
}

} // namespace

Mix_Chunk *loadChunk(const char *name, std::string &why)
{
    std::vector<Uint8> bytes;
    if (!readFile(name, bytes, why))
        return nullptr;
    if (bytes.empty()) {
        why = "empty file";
        return nullptr;
    }
    int mixRate = 0;
    Mix_QuerySpec(&mixRate, nullptr, nullptr);
    Pcm pcm;
    if (decodeForResampling(bytes, mixRate, pcm))
        return resampledChunk(pcm, mixRate, why);
    Mix_Chunk *chunk =
        Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    if (chunk == nullptr)
        why = Mix_GetError();
    return chunk;
}
