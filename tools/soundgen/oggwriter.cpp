// SPDX-License-Identifier: GPL-3.0-or-later
#include "oggwriter.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sg
{

namespace
{

void appendPage(std::vector<unsigned char> &out, const ogg_page &page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

struct Reader {
    const std::vector<unsigned char> *bytes;
    std::size_t pos;
};

std::size_t readMem(void *ptr, std::size_t size, std::size_t count, void *source)
{
    auto *r = static_cast<Reader *>(source);
    const std::size_t left = r->bytes->size() - r->pos;
    const std::size_t n = size == 0 ? 0 : std::min(count, left / size);
    std::memcpy(ptr, r->bytes->data() + r->pos, n * size);
    r->pos += n * size;
    return n;
}

int seekMem(void *source, ogg_int64_t offset, int whence)
{
    auto *r = static_cast<Reader *>(source);
    const auto size = static_cast<ogg_int64_t>(r->bytes->size());
    ogg_int64_t to = offset;
    if (whence == SEEK_CUR)
        to += static_cast<ogg_int64_t>(r->pos);
    else if (whence == SEEK_END)
        to += size;
    if (to < 0 || to > size)
        return -1;
    r->pos = static_cast<std::size_t>(to);
    return 0;
}

long tellMem(void *source)
{
    return static_cast<long>(static_cast<Reader *>(source)->pos);
}

} // namespace

Stereo decodeVorbis(const std::vector<unsigned char> &bytes)
{
    Reader reader{&bytes, 0};
    OggVorbis_File vf;
    const ov_callbacks callbacks{readMem, seekMem, nullptr, tellMem};
    if (ov_open_callbacks(&reader, &vf, nullptr, 0, callbacks) != 0)
        return Stereo();
    std::vector<float> l, r;
    const int channels = ov_info(&vf, -1)->channels;
    int section = 0;
    for (;;) {
        float **pcm = nullptr;
        const long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n <= 0)
            break;
        for (long i = 0; i < n; ++i) {
            l.push_back(pcm[0][i]);
            r.push_back(pcm[channels > 1 ? 1 : 0][i]);
        }
    }
    ov_clear(&vf);
    Stereo out;
    out.l = std::move(l);
    out.r = std::move(r);
    return out;
}

std::vector<unsigned char> encodeVorbisAtPeak(Stereo audio, float quality, int serial,
                                              const std::string &title, double peakDb)
{
    std::vector<unsigned char> bytes = encodeVorbis(audio, quality, serial, title);
    const double decoded = decodeVorbis(bytes).peak();
    // A quarter of a decibel over is within the coding's noise; more is not.
    if (decoded > dbToGain(peakDb + 0.25)) {
        audio.scale(dbToGain(peakDb) / decoded);
        bytes = encodeVorbis(audio, quality, serial, title);
    }
    return bytes;
}

std::vector<unsigned char> encodeVorbis(const Stereo &audio, float quality, int serial,
                                        const std::string &title, long rate)
{
    std::vector<unsigned char> out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", title.c_str());
    vorbis_comment_add_tag(&vc, "ARTIST", "Quorbly");

    vorbis_dsp_state vd;
    vorbis_block vb;
    ogg_stream_state os;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_init(&os, serial);

    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    ogg_page page;
    // The audio starts on a fresh page, as decoders expect.
    while (ogg_stream_flush(&os, &page) != 0)
        appendPage(out, page);

    auto drain = [&]() {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &packet) == 1) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page) != 0)
                    appendPage(out, page);
            }
        }
    };

    constexpr std::size_t kBlock = 1024;
    for (std::size_t at = 0; at < audio.size(); at += kBlock) {
        const std::size_t n = std::min(kBlock, audio.size() - at);
        float **buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
        for (std::size_t i = 0; i < n; ++i) {
            buffer[0][i] = std::clamp(audio.l[at + i], -1.0f, 1.0f);
            buffer[1][i] = std::clamp(audio.r[at + i], -1.0f, 1.0f);
        }
        vorbis_analysis_wrote(&vd, static_cast<int>(n));
        drain();
    }
    vorbis_analysis_wrote(&vd, 0);
    drain();
    while (ogg_stream_flush(&os, &page) != 0)
        appendPage(out, page);

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

bool writeFile(const std::string &path, const std::vector<unsigned char> &bytes)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace sg
