// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay/seek.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/cues.h"
#include "core/keys.h"
#include "render/view.h"

namespace
{

ReplayMark markOf(const Playback &p)
{
    return {p.next,   p.line,   p.pending,     p.pendingLine, p.matches,
            p.frames, p.played, p.finalDigest, p.ended};
}

void restore(Playback &p, const ReplaySnapshot &s)
{
    const ReplayMark &m = s.mark;
    p.next = m.next;
    p.line = m.line;
    p.pending = m.pending;
    p.pendingLine = m.pendingLine;
    p.matches = m.matches;
    p.frames = m.frames;
    p.played = m.played;
    p.finalDigest = m.finalDigest;
    p.ended = m.ended;

    const bool otherMatch = game.session.matchesStarted != s.play.matchesStarted;
    putPlay(s.play);
    game.view = s.view;
    game.session.texture = s.texels;
    if (otherMatch) // the picture still shows the terrain it left
        terrainChanged();
}

} // namespace

void keepSnapshot(Timeline &t, const Playback &p)
{
    if (!t.snapshots.empty() && p.played < t.snapshots.back().mark.played + kSnapshotEvery)
        return;
    t.snapshots.push_back({markOf(p), takePlay(), game.view, game.session.texture});
}

bool seekTo(Playback &p, Timeline &t, double seconds)
{
    seconds = std::max(seconds, 0.0);
    const auto after =
        std::upper_bound(t.snapshots.begin(), t.snapshots.end(), seconds,
                         [](double s, const ReplaySnapshot &snap) { return s < snap.mark.played; });
    if (after != t.snapshots.begin()) {
        const ReplaySnapshot &from = *(after - 1);
        if (seconds < p.played || from.mark.played > p.played)
            restore(p, from);
    }
    muteEffects(true);
    while (!p.ended && p.error.empty() && p.played <= seconds && playFrame(p))
        keepSnapshot(t, p);
    muteEffects(false);
    return p.error.empty();
}

std::string placeText(double played, double length, double speed, bool paused)
{
    const auto clock = [](double s) {
        const long whole = std::lround(std::floor(std::max(s, 0.0)));
        char text[24];
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
        return std::string(text);
    };
    std::string text = clock(played) + " / " + clock(length);
    if (speed > 1)
        text += " x" + std::to_string(std::lround(speed));
    else if (speed < 1)
        text += " x1/" + std::to_string(std::lround(1 / speed));
    if (paused)
        text += " paused";
    return text;
}

namespace
{

// The time a seeking key goes to from `wall`, or nothing for another key.
std::optional<double> seekKey(int key, double wall, double length)
{
    switch (key) {
    case keys::kRight:
        return wall + 5;
    case keys::kLeft:
        return wall - 5;
    case keys::kPageDown:
        return wall + 30;
    case keys::kPageUp:
        return wall - 30;
    case keys::kHome:
        return 0.0;
    case keys::kEnd:
        return length;
    default:
        return std::nullopt;
    }
}

} // namespace

bool watchKey(Watching &watch, int key, Playback &p, Timeline &t)
{
    if (key == keys::kSpace) {
        watch.paused = !watch.paused;
        if (watch.paused)
            pauseAudio();
        else if (togglePause == 0) // a pause of the game itself stays silent
            resumeAudio();
    } else if (key == keys::kUp || key == keys::kDown) {
        watch.pace = std::clamp(watch.pace + (key == keys::kUp ? 1 : -1), -2, 3);
    } else if (const std::optional<double> to = seekKey(key, watch.at, p.length)) {
        watch.at = std::clamp(*to, 0.0, p.length);
        seekTo(p, t, watch.at);
        if (watch.paused || togglePause) // a snapshot may land in or out of the game's pause
            pauseAudio();
        else
            resumeAudio();
    } else {
        return false;
    }
    return true;
}
