// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay/packed_state.h"

#include <zlib.h>

#include <algorithm>

#include "core/state.h"
#include "replay/snapshot.h"
#include "terrain/texture.h"

std::vector<std::uint8_t> packedState()
{
    const std::vector<unsigned char> texels(texture.begin(), texture.end());
    texture.fill(0);
    const std::vector<std::uint8_t> raw = saveState();
    std::copy(texels.begin(), texels.end(), texture.begin());
    uLongf size = compressBound(raw.size());
    std::vector<std::uint8_t> packed(4 + size);
    for (std::size_t i = 0; i < 4; ++i)
        packed[i] = static_cast<std::uint8_t>(raw.size() >> (8 * i));
    compress2(packed.data() + 4, &size, raw.data(), raw.size(), Z_DEFAULT_COMPRESSION);
    packed.resize(4 + size);
    return packed;
}

bool loadPackedState(std::span<const std::uint8_t> packed, bool withView, std::FILE *progress)
{
    if (packed.size() < 4)
        return false;
    uLongf size = 0;
    for (std::size_t i = 0; i < 4; ++i)
        size |= static_cast<uLongf>(packed[i]) << (8 * i);
    if (size > kMaxUnpackedState)
        return false;
    std::vector<std::uint8_t> raw(size);
    const uLongf expected = size;
    if (uncompress(raw.data(), &size, packed.data() + 4, packed.size() - 4) != Z_OK ||
        size != expected || !loadState(raw, withView, Terrainless::Refused))
        return false;
    generateTexture(*terrain, seed, progress);
    return true;
}
