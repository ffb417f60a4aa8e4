// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay/replay.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/frame.h"
#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "render/view.h"
#include "replay/packed_state.h"
#include "terrain/terrain.h"
#include "terrain/texture.h"

namespace
{

void writeLine(Recorder &r, const ReplayLine &line)
{
    const std::string text = formatLine(line) + "\n";
    std::fputs(text.c_str(), r.file.get());
}

void writeBatch(Recorder &r, ReplayLine::Kind kind, float seconds = 0)
{
    ReplayLine line;
    line.kind = kind;
    line.seconds = seconds;
    line.inputs = std::move(r.batch);
    writeLine(r, line);
    r.batch.clear();
}

// A digest or end line: the digest after `frames`, each part's beside it.
ReplayLine digestLine(ReplayLine::Kind kind, std::uint64_t frames)
{
    ReplayLine line;
    line.kind = kind;
    line.frame = frames;
    line.digest = stateDigest();
    line.parts = partDigests();
    return line;
}

bool fail(Playback &p, int status, const std::string &reason)
{
    if (p.error.empty()) {
        p.status = status;
        p.error = p.path + ":" + std::to_string(p.line > 0 ? p.line : 1) + ": " + reason;
    }
    return false;
}

// The next line without its newline, or nothing at the end of the text.
std::optional<std::string_view> readLine(Playback &p)
{
    if (p.next >= p.text.size())
        return std::nullopt;
    ++p.line;
    const std::size_t end = p.text.find('\n', p.next);
    if (end == std::string::npos) {
        p.next = p.text.size();
        fail(p, 2, "the line is cut short (no newline at the end of the file)");
        return std::nullopt;
    }
    std::string_view text(p.text.data() + p.next, end - p.next);
    p.next = end + 1;
    if (text.ends_with('\r'))
        text.remove_suffix(1);
    return text;
}

// The inputs of one line, and its frame when it has one; a match they
// start must be the one its match line handed in.
bool applyChecked(Playback &p, std::span<const InputEvent> inputs,
                  std::optional<float> seconds = std::nullopt)
{
    if (seconds)
        runFrame(*seconds, inputs);
    else
        for (const InputEvent &e : inputs)
            takeInput(e, std::nullopt);
    const std::uint32_t started = game.session.matchesStarted - p.matches;
    p.matches = game.session.matchesStarted;
    if (started == 0)
        return true;
    if (started > 1 || !p.pending)
        return fail(p, 2, "a match starts here without its match line");
    const MatchStart here = currentMatchStart();
    if (here != *p.pending)
        return fail(p, 1,
                    "the match starts on '" + here.terrainLine + "', the replay's on '" +
                        p.pending->terrainLine + "' (another terrains file?)");
    p.pending.reset();
    return true;
}

// The frames' seconds from `next` on; a line that does not read is left for
// playing to find.
void addLength(Playback &p)
{
    for (std::size_t at = p.next; at < p.text.size();) {
        std::size_t end = p.text.find('\n', at);
        end = end == std::string::npos ? p.text.size() : end;
        std::string_view text = std::string_view(p.text).substr(at, end - at);
        if (text.ends_with('\r'))
            text.remove_suffix(1);
        ReplayLine l;
        if (!parseLine(text, l) && l.kind == ReplayLine::Kind::Frame)
            p.length += l.seconds;
        at = end + 1;
    }
}

bool checkDigest(Playback &p, const ReplayLine &l)
{
    if (l.frame != p.frames)
        return fail(p, 2,
                    "a digest for frame " + std::to_string(l.frame) + " after frame " +
                        std::to_string(p.frames));
    const std::uint64_t here = stateDigest();
    if (here != l.digest)
        return fail(p, 1,
                    "after frame " + std::to_string(p.frames) + " the digest is " +
                        digestText(here) + ", the replay's " + digestText(l.digest) +
                        (l.parts ? " (apart: " + partsApart(partDigests(), *l.parts) + ")" : ""));
    if (l.kind == ReplayLine::Kind::End) {
        if (p.pending)
            return fail(p, 2,
                        "the match of line " + std::to_string(p.pendingLine) + " never started");
        p.ended = true;
        p.finalDigest = here;
    }
    return true;
}

} // namespace

std::string terrainLine(const Terrain &t)
{
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s,%.9g,%.9g,%.9g,%.9g,%.9g,%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%d",
                  t.name.data(), t.circlesPerCell, t.circleSizeMin, t.circleSizeMax, t.circleHeight,
                  t.circleHeightFactor, t.invert, t.gravity, t.friction, t.diffuse[0], t.diffuse[1],
                  t.diffuse[2], t.ambient[0], t.ambient[1], t.ambient[2], t.noisePersistence,
                  t.noiseRange);
    return line;
}

MatchStart currentMatchStart()
{
    return {seed, terrain ? terrainLine(*terrain) : std::string()};
}

void applyMatchStart(const MatchStart &start)
{
    queueNoiseSeed(start.noiseSeed);
}

bool startRecording(Recorder &r, const std::string &path, const ReplayHeader &header)
{
    r = {};
    r.file.reset(std::fopen(path.c_str(), "w"));
    if (!r.file)
        return false;
    std::fputs(formatHeader(header).c_str(), r.file.get());
    std::fflush(r.file.get());
    if (header.state) // the match under way is in the state, not in a match line
        r.matchesWritten = game.session.matchesStarted;
    return true;
}

void recordInput(Recorder &r, const InputEvent *input)
{
    if (input)
        r.batch.push_back(*input);
    if (game.session.matchesStarted == r.matchesWritten)
        return;
    r.matchesWritten = game.session.matchesStarted;
    ReplayLine match;
    match.kind = ReplayLine::Kind::Match;
    match.match = currentMatchStart();
    writeLine(r, match);
    // The inputs up to the one that started it follow, so that playback
    // has the match start in hand when that input comes.
    if (!r.batch.empty())
        writeBatch(r, ReplayLine::Kind::Inputs);
    std::fflush(r.file.get());
}

void recordFrame(Recorder &r, float seconds)
{
    writeBatch(r, ReplayLine::Kind::Frame, seconds);
    ++r.frames;
    if (r.frames % kReplayDigestEvery == 0)
        writeLine(r, digestLine(ReplayLine::Kind::Digest, r.frames));
    std::fflush(r.file.get());
}

std::uint64_t finishRecording(Recorder &r)
{
    if (!r.batch.empty())
        writeBatch(r, ReplayLine::Kind::Inputs);
    const ReplayLine end = digestLine(ReplayLine::Kind::End, r.frames);
    writeLine(r, end);
    r.file.reset();
    return end.digest;
}

bool openReplay(Playback &p, const std::string &path)
{
    p = {};
    p.path = path;
    std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        p.status = 2;
        p.error = path + ": cannot be read: " + std::strerror(errno);
        return false;
    }
    char chunk[65536];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;)
        p.text.append(chunk, n);

    for (int n = 0;; ++n) {
        const std::size_t at = p.next;
        const int lineAt = p.line;
        const std::optional<std::string_view> text = readLine(p);
        bool over = false;
        if (auto why = parseHeaderLine(text.value_or(""), n, p.header, over))
            return fail(p, 2, *why);
        if (over) {
            p.next = at; // the header is over; the first match comes next
            p.line = lineAt;
            addLength(p);
            return p.error.empty();
        }
    }
}

bool beginPlayback(Playback &p)
{
    seedGameRand(p.header.randSeed);
    if (p.header.state)
        return true; // the session the game begins is replaced by the state
    if (p.header.firstTerrain >= 0)
        chooseNextTerrain(p.header.firstTerrain);
    const std::optional<std::string_view> text = readLine(p);
    ReplayLine first;
    if (!text)
        return fail(p, 2, "the replay ends before its first match line");
    if (auto why = parseLine(*text, first))
        return fail(p, 2, *why);
    if (first.kind != ReplayLine::Kind::Match)
        return fail(p, 2, "the first line after the header must be a match line");
    applyMatchStart(first.match);
    p.pending = first.match;
    p.pendingLine = p.line;
    return true;
}

bool sessionStarted(Playback &p)
{
    if (p.header.state) {
        // The state is the header's last line, the one read last.
        if (!loadPackedState(*p.header.state))
            return fail(p, 2, "the state line holds no sound state of play on these terrains");
        p.matches = game.session.matchesStarted;
        terrainChanged();
        return true;
    }
    if (!applyChecked(p, {}))
        return false;
    if (p.header.bot)
        toggleBot = 1;
    return true;
}

std::optional<float> playFrame(Playback &p)
{
    std::optional<float> played;
    for (;;) {
        const std::size_t at = p.next;
        const int lineAt = p.line;
        const std::optional<std::string_view> text = readLine(p);
        if (!text) {
            if (!p.ended)
                fail(p, 2, "the replay ends without its end line (cut short?)");
            return p.error.empty() ? played : std::nullopt;
        }
        ReplayLine l;
        if (auto why = parseLine(*text, l)) {
            fail(p, 2, *why);
            return std::nullopt;
        }
        const bool check = l.kind == ReplayLine::Kind::Digest || l.kind == ReplayLine::Kind::End;
        if (p.ended) {
            fail(p, 2, "a line after the end line");
            return std::nullopt;
        }
        if (played && !check) {
            p.next = at; // the next frame's lines wait for the next call
            p.line = lineAt;
            return played;
        }
        bool ok = true;
        if (check) {
            ok = checkDigest(p, l);
        } else if (l.kind == ReplayLine::Kind::Match) {
            if (p.pending)
                ok = fail(p, 2,
                          "the match of line " + std::to_string(p.pendingLine) + " never started");
            applyMatchStart(l.match);
            p.pending = l.match;
            p.pendingLine = p.line;
        } else {
            const bool frame = l.kind == ReplayLine::Kind::Frame;
            ok = applyChecked(p, l.inputs, frame ? std::optional(l.seconds) : std::nullopt);
            if (ok && frame) {
                ++p.frames;
                p.played += l.seconds;
                played = l.seconds;
            }
        }
        if (!ok)
            return std::nullopt;
    }
}

void printDigest(std::uint64_t frames, bool final)
{
    std::printf("%s: %s after %llu frames\n", final ? "Final digest" : "Digest",
                digestText(stateDigest()).c_str(), static_cast<unsigned long long>(frames));
    std::fflush(stdout);
}
