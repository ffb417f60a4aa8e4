// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay/replay_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <span>

#include "core/keys.h"
#include "replay/snapshot.h"

namespace
{

constexpr std::string_view kMagic = "quorbly-replay";

template <class T> bool number(std::string_view text, T &value, int base = 10)
{
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && ec == std::errc{} && ptr == end;
}

// Exactly `digits` lower-case hex digits.
template <class T> bool hex(std::string_view text, T &value, std::size_t digits)
{
    return text.size() == digits &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos &&
           number(text, value, 16);
}

template <class T> std::string hexText(T value, int digits)
{
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = "0123456789abcdef"[value & 15];
    return text;
}

// Splits off the text before the first space.
std::string_view token(std::string_view &rest)
{
    const std::size_t space = rest.find(' ');
    const std::string_view first = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
    return first;
}

std::string formatInput(const InputEvent &e)
{
    const std::string pad = std::to_string(e.pad);
    switch (e.kind) {
    case InputKind::KeyDown:
    case InputKind::KeyUp:
        return (e.kind == InputKind::KeyDown ? "+" : "-") +
               std::string(keys::name(e.code).value_or("?"));
    case InputKind::PadAxis:
        return "a" + pad + (e.code == 0 ? "x=" : "y=") + std::to_string(e.value);
    case InputKind::PadHat:
        return "h" + pad + "=" + std::to_string(e.value);
    case InputKind::PadButton:
        break;
    }
    return "b" + pad + (e.code == kPadButtonStart ? "=start" : "=back");
}

std::optional<std::string> parseInput(std::string_view text, InputEvent &e)
{
    const std::string quoted = "'" + std::string(text) + "'";
    if (text.starts_with('+') || text.starts_with('-')) {
        const std::optional<int> key = keys::byName(text.substr(1));
        if (!key)
            return "unknown key " + quoted;
        e = {text[0] == '+' ? InputKind::KeyDown : InputKind::KeyUp, 0, *key, 0};
        return std::nullopt;
    }
    const std::size_t eq = text.find('=');
    if (text.size() < 3 || eq == std::string_view::npos || text[1] < '0' ||
        text[1] >= '0' + kPadCount)
        return "unknown input " + quoted;
    e = {InputKind::PadAxis, text[1] - '0', 0, 0};
    const std::string_view what = text.substr(2, eq - 2), value = text.substr(eq + 1);
    if (text[0] == 'a' && (what == "x" || what == "y") && number(value, e.value) &&
        e.value >= -32768 && e.value <= 32767) {
        e.code = what == "x" ? 0 : 1;
        return std::nullopt;
    }
    if (text[0] == 'h' && what.empty() && number(value, e.value) && e.value >= 0 && e.value <= 15) {
        e.kind = InputKind::PadHat;
        return std::nullopt;
    }
    if (text[0] == 'b' && what.empty() && (value == "start" || value == "back")) {
        e.kind = InputKind::PadButton;
        e.code = value == "start" ? kPadButtonStart : kPadButtonBack;
        return std::nullopt;
    }
    return "unknown input " + quoted;
}

std::optional<std::string> parseInputs(std::string_view rest, std::vector<InputEvent> &out)
{
    while (!rest.empty()) {
        InputEvent e;
        if (auto why = parseInput(token(rest), e))
            return why;
        out.push_back(e);
    }
    return std::nullopt;
}

constexpr std::string_view kBase64 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(std::span<const std::uint8_t> bytes)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? bytes[i + k] : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            text += k <= n ? kBase64[group >> (18 - 6 * k) & 63] : '=';
    }
    return text;
}

// Only whole groups of four from the alphabet, '=' only as the last one or
// two, and no bits set past the last byte: one text for one block.
bool fromBase64(std::string_view text, std::vector<std::uint8_t> &bytes)
{
    if (text.empty() || text.size() % 4 != 0)
        return false;
    bytes.clear();
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        std::uint32_t group = 0;
        std::size_t pad = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::size_t v = kBase64.find(text[i + k]);
            if (text[i + k] == '=' && k >= 2 && i + 4 == text.size())
                ++pad;
            else if (v == std::string_view::npos || pad > 0)
                return false;
            group = group << 6 | (pad > 0 ? 0 : static_cast<std::uint32_t>(v));
        }
        if ((group & ((1u << (8 * pad)) - 1)) != 0)
            return false;
        for (std::size_t k = 0; k < 3 - pad; ++k)
            bytes.push_back(static_cast<std::uint8_t>(group >> (16 - 8 * k)));
    }
    return true;
}

} // namespace

std::optional<std::string> parseHeaderLine(std::string_view text, int n, ReplayHeader &header,
                                           bool &over)
{
    over = false;
    std::string_view rest = text;
    const std::string_view key = token(rest);
    if (n == 0) {
        if (key != kMagic)
            return "not a Quorbly replay (no '" + std::string(kMagic) + " 1' line)";
        if (rest.size() != 1 || rest[0] < '1' || rest[0] > '0' + kReplayFormat)
            return "format version " + std::string(rest.substr(0, 20)) +
                   ", and this game reads versions 1 to " + std::to_string(kReplayFormat);
        header.format = rest[0] - '0';
    } else if (n == 1) {
        if (key != "game" || rest.empty())
            return "the second line is 'game VERSION'";
        header.gameVersion = rest;
    } else if (n == 2) {
        if (key != "rand" || !number(rest, header.randSeed))
            return "the third line is 'rand SEED', SEED from 0 to 4294967295";
    } else if (header.state) {
        over = true; // the state is the header's last line
    } else if (key == "state" && header.format >= 2) {
        std::vector<std::uint8_t> bytes;
        if (!fromBase64(rest, bytes))
            return "the state line is not 'state BASE64'";
        header.state = std::move(bytes);
    } else if (key == "bot" && rest.empty()) {
        header.bot = true;
    } else if (key == "terrain") {
        if (!number(rest, header.firstTerrain) || header.firstTerrain < 0)
            return "a terrain line is 'terrain INDEX', INDEX from 0 up";
    } else {
        over = true; // the first match line
    }
    return std::nullopt;
}

std::string formatHeader(const ReplayHeader &header)
{
    // A session from its start stays a version 1 file, as older games read.
    std::string text = std::string(kMagic) + (header.state ? " 2" : " 1") + "\ngame " +
                       header.gameVersion + "\nrand " + std::to_string(header.randSeed) + "\n";
    if (header.state)
        return text + "state " + base64(*header.state) + "\n"; // the bot and terrain within
    if (header.bot)
        text += "bot\n";
    if (header.firstTerrain >= 0)
        text += "terrain " + std::to_string(header.firstTerrain) + "\n";
    return text;
}

std::string formatLine(const ReplayLine &l)
{
    std::string text;
    switch (l.kind) {
    case ReplayLine::Kind::Frame:
        text = hexText(std::bit_cast<std::uint32_t>(l.seconds), 8);
        break;
    case ReplayLine::Kind::Inputs:
        text = "inputs";
        break;
    case ReplayLine::Kind::Match:
        return "match " + hexText(l.match.noiseSeed, 8) + " " + l.match.terrainLine;
    case ReplayLine::Kind::Digest:
    case ReplayLine::Kind::End:
        text = (l.kind == ReplayLine::Kind::End ? "end " : "digest ") + std::to_string(l.frame) +
               " " + digestText(l.digest);
        if (l.parts)
            for (std::uint32_t part : *l.parts)
                text += " " + hexText(part, 8);
        return text;
    }
    for (const InputEvent &e : l.inputs)
        text += " " + formatInput(e);
    return text;
}

std::optional<std::string> parseLine(std::string_view text, ReplayLine &l)
{
    l = {};
    std::string_view rest = text;
    const std::string_view first = token(rest);
    std::uint32_t bits = 0;
    if (hex(first, bits, 8)) {
        l.seconds = std::bit_cast<float>(bits);
        if (!std::isfinite(l.seconds) || l.seconds < 0)
            return "the frame's seconds are not a finite number from 0 up";
        return parseInputs(rest, l.inputs);
    }
    if (first == "inputs") {
        l.kind = ReplayLine::Kind::Inputs;
        if (rest.empty())
            return "an inputs line without inputs";
        return parseInputs(rest, l.inputs);
    }
    if (first == "match") {
        l.kind = ReplayLine::Kind::Match;
        if (!hex(token(rest), l.match.noiseSeed, 8) || rest.empty())
            return "a match line is 'match SEED TERRAIN-LINE', SEED 8 hex digits";
        l.match.terrainLine = rest;
        return std::nullopt;
    }
    if (first == "digest" || first == "end") {
        l.kind = first == "end" ? ReplayLine::Kind::End : ReplayLine::Kind::Digest;
        bool ok = number(token(rest), l.frame) && hex(token(rest), l.digest, 16);
        if (ok && !rest.empty()) {
            l.parts.emplace();
            for (std::uint32_t &part : *l.parts)
                ok = ok && hex(token(rest), part, 8);
        }
        if (!ok || !rest.empty())
            return "a " + std::string(first) + " line is '" + std::string(first) +
                   " FRAMES DIGEST [PARTS]', DIGEST 16 hex digits, PARTS 7 of 8";
        return std::nullopt;
    }
    return "unknown line '" + std::string(text.substr(0, 40)) + "'";
}
