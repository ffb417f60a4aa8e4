// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/netproto.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace
{

// Frame times are whole milliseconds as the frame loop measures them
// (core/loop.h), so most fit one byte; anything else goes as the float.
constexpr std::uint8_t kLongSeconds = 255;
constexpr std::uint8_t kEventKindBits = 0x07, kEventPadBit = 0x08;

float millisecondsToSeconds(unsigned ms)
{
    return static_cast<float>(static_cast<double>(ms) * 0.001);
}

struct Writer {
    std::vector<std::uint8_t> &out;
    void u8(unsigned v) { out.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v)
    {
        u8(v);
        u8(v >> 8);
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void u64(std::uint64_t v)
    {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
    void bytes(const std::uint8_t *p, std::size_t n) { out.insert(out.end(), p, p + n); }
};

struct Reader {
    std::span<const std::uint8_t> in;
    std::size_t at = 0;
    bool ok = true;

    bool has(std::size_t n)
    {
        ok = ok && in.size() - at >= n;
        return ok;
    }
    std::uint32_t take(std::size_t n)
    {
        if (!has(n))
            return 0;
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i)
            v |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
        at += n;
        return v;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(take(2)); }
    std::uint32_t u32() { return take(4); }
    std::uint64_t u64()
    {
        const std::uint64_t low = take(4);
        return low | static_cast<std::uint64_t>(take(4)) << 32;
    }
    // Fails unless `v` holds; reads on after a failure give zeroes.
    void require(bool v) { ok = ok && v; }
    std::span<const std::uint8_t> bytes(std::size_t n)
    {
        if (!has(n))
            return {};
        at += n;
        return in.subspan(at - n, n);
    }
};

// Version strings and terrain lines: printable ASCII, no line breaks.
bool printable(std::span<const std::uint8_t> text)
{
    return std::all_of(text.begin(), text.end(), [](std::uint8_t c) { return c >= 32 && c < 127; });
}

void writeEvents(Writer &w, const std::vector<InputEvent> &events)
{
    const std::size_t n = std::min(events.size(), kMaxEvents);
    w.u8(static_cast<unsigned>(n));
    for (std::size_t i = 0; i < n; ++i) {
        const InputEvent &e = events[i];
        const unsigned pad = e.pad != 0 ? kEventPadBit : 0;
        w.u8(static_cast<unsigned>(e.kind) | pad);
        switch (e.kind) {
        case InputKind::KeyDown:
        case InputKind::KeyUp:
            w.u16(static_cast<unsigned>(e.code));
            break;
        case InputKind::PadAxis:
            w.u8(static_cast<unsigned>(e.code));
            w.u16(static_cast<std::uint16_t>(e.value));
            break;
        case InputKind::PadHat:
            w.u8(static_cast<unsigned>(e.value));
            break;
        case InputKind::PadButton:
            w.u8(static_cast<unsigned>(e.code));
            break;
        }
    }
}

std::vector<InputEvent> readEvents(Reader &r)
{
    std::vector<InputEvent> events(r.u8());
    for (InputEvent &e : events) {
        const std::uint8_t head = r.u8();
        const unsigned kind = head & kEventKindBits;
        r.require((head & ~(kEventKindBits | kEventPadBit)) == 0 &&
                  kind <= static_cast<unsigned>(InputKind::PadButton));
        if (!r.ok)
            break;
        e.kind = static_cast<InputKind>(kind);
        e.pad = (head & kEventPadBit) != 0 ? 1 : 0;
        switch (e.kind) {
        case InputKind::KeyDown:
        case InputKind::KeyUp:
            e.code = r.u16();
            r.require(e.pad == 0 && e.code < kKeyLimit);
            break;
        case InputKind::PadAxis:
            e.code = r.u8();
            e.value = static_cast<std::int16_t>(r.u16());
            r.require(e.code <= 1); // x or y
            break;
        case InputKind::PadHat:
            e.value = r.u8();
            r.require(e.value <= 15);
            break;
        case InputKind::PadButton:
            e.code = r.u8();
            r.require(e.code <= 1); // Start or Back
            break;
        }
    }
    return events;
}

NetMessage readMessage(Reader &r)
{
    NetMessage m;
    const std::uint8_t kind = r.u8();
    r.require(kind >= static_cast<unsigned>(NetKind::Hello) &&
              kind <= static_cast<unsigned>(NetKind::Watching));
    m.kind = static_cast<NetKind>(kind);
    auto text = [&](std::size_t length, std::size_t limit) {
        const auto bytes = r.bytes(length);
        r.require(length <= limit && printable(bytes));
        m.text.assign(bytes.begin(), bytes.end());
    };
    switch (r.ok ? m.kind : NetKind::Bye) {
    case NetKind::Watch:
        m.protocol = r.u16();
        text(r.u8(), kMaxVersionText);
        break;
    case NetKind::Hello:
        m.protocol = r.u16();
        text(r.u8(), kMaxVersionText);
        if (m.protocol >= 4) // older hellos end here, and are refused by their version
            m.inputDelay = r.u32();
        break;
    case NetKind::Refuse: {
        const std::uint8_t reason = r.u8();
        r.require(reason == static_cast<unsigned>(RefuseReason::Version) ||
                  reason == static_cast<unsigned>(RefuseReason::Full));
        m.reason = static_cast<RefuseReason>(reason);
        break;
    }
    case NetKind::MatchStart:
        m.seed = r.u32();
        text(r.u16(), kMaxTerrainLine);
        break;
    case NetKind::Frame: {
        const std::uint8_t ms = r.u8();
        m.secondsBits = ms == kLongSeconds ? r.u32() : secondsToBits(millisecondsToSeconds(ms));
        const float seconds = bitsToSeconds(m.secondsBits);
        r.require(std::isfinite(seconds) && !std::signbit(seconds));
        m.events = readEvents(r);
        break;
    }
    case NetKind::Input:
        m.frame = r.u32();
        m.events = readEvents(r);
        break;
    case NetKind::Digest:
        m.frame = r.u32();
        m.digest = r.u64();
        break;
    case NetKind::Tick:
    case NetKind::Ack:
    case NetKind::Watching:
        m.frame = r.u32();
        break;
    case NetKind::FullState: {
        m.frame = r.u32();
        const std::uint32_t size = r.u32();
        r.require(size <= kMaxState);
        const auto bytes = r.bytes(r.ok ? size : 0);
        m.state.assign(bytes.begin(), bytes.end());
        break;
    }
    case NetKind::Bye:
        m.frame = r.u32();
        break;
    case NetKind::Inputs:
        m.frame = r.u32();
        m.ticks.resize(r.u8());
        for (auto &events : m.ticks)
            if (r.ok)
                events = readEvents(r);
        break;
    }
    return m;
}

} // namespace

std::uint32_t secondsToBits(float seconds)
{
    return std::bit_cast<std::uint32_t>(seconds);
}

float bitsToSeconds(std::uint32_t bits)
{
    return std::bit_cast<float>(bits);
}

void encodeMessage(const NetMessage &m, std::vector<std::uint8_t> &out)
{
    Writer w{out};
    w.u8(static_cast<unsigned>(m.kind));
    const auto *text = reinterpret_cast<const std::uint8_t *>(m.text.data());
    switch (m.kind) {
    case NetKind::Watch:
    case NetKind::Hello: {
        const std::size_t n = std::min(m.text.size(), kMaxVersionText);
        w.u16(m.protocol);
        w.u8(static_cast<unsigned>(n));
        w.bytes(text, n);
        if (m.kind == NetKind::Hello && m.protocol >= 4)
            w.u32(m.inputDelay);
        break;
    }
    case NetKind::Refuse:
        w.u8(static_cast<unsigned>(m.reason));
        break;
    case NetKind::MatchStart: {
        const std::size_t n = std::min(m.text.size(), kMaxTerrainLine);
        w.u32(m.seed);
        w.u16(static_cast<unsigned>(n));
        w.bytes(text, n);
        break;
    }
    case NetKind::Frame: {
        const float seconds = bitsToSeconds(m.secondsBits);
        const long ms = std::lround(static_cast<double>(seconds) * 1000.0);
        if (ms >= 0 && ms < kLongSeconds &&
            secondsToBits(millisecondsToSeconds(static_cast<unsigned>(ms))) == m.secondsBits) {
            w.u8(static_cast<unsigned>(ms));
        } else {
            w.u8(kLongSeconds);
            w.u32(m.secondsBits);
        }
        writeEvents(w, m.events);
        break;
    }
    case NetKind::Input:
        w.u32(m.frame);
        writeEvents(w, m.events);
        break;
    case NetKind::Digest:
        w.u32(m.frame);
        w.u64(m.digest);
        break;
    case NetKind::Tick:
    case NetKind::Ack:
    case NetKind::Watching:
        w.u32(m.frame);
        break;
    case NetKind::FullState:
        w.u32(m.frame);
        w.u32(static_cast<std::uint32_t>(m.state.size()));
        w.bytes(m.state.data(), m.state.size());
        break;
    case NetKind::Bye:
        w.u32(m.frame);
        break;
    case NetKind::Inputs: {
        const std::size_t n = std::min(m.ticks.size(), kMaxWireTicks);
        w.u32(m.frame);
        w.u8(static_cast<unsigned>(n));
        for (std::size_t i = 0; i < n; ++i)
            writeEvents(w, m.ticks[i]);
        break;
    }
    }
}

std::optional<std::vector<NetMessage>> decodePacket(std::span<const std::uint8_t> bytes)
{
    Reader r{bytes};
    std::vector<NetMessage> messages;
    r.require(!bytes.empty());
    while (r.ok && r.at < bytes.size())
        messages.push_back(readMessage(r));
    if (!r.ok)
        return std::nullopt;
    return messages;
}
