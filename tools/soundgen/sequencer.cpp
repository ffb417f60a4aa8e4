// SPDX-License-Identifier: GPL-3.0-or-later
#include "sequencer.h"

#include <charconv>
#include <cmath>

namespace sg
{

namespace
{

std::vector<std::string_view> split(std::string_view text, char sep)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find(sep, start);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        parts.push_back(text.substr(start, stop - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return parts;
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> out;
    for (std::string_view w : split(text, ' '))
        if (!w.empty())
            out.push_back(w);
    return out;
}

int pitchClass(char letter)
{
    switch (letter) {
    case 'C':
        return 0;
    case 'D':
        return 2;
    case 'E':
        return 4;
    case 'F':
        return 5;
    case 'G':
        return 7;
    case 'A':
        return 9;
    case 'B':
        return 11;
    default:
        return -1;
    }
}

// Letter plus optional accidental; returns characters used, 0 if none.
std::size_t readPitch(std::string_view s, int &pc)
{
    if (s.empty() || pitchClass(s[0]) < 0)
        return 0;
    pc = pitchClass(s[0]);
    if (s.size() > 1 && (s[1] == '#' || s[1] == 'b')) {
        pc = (pc + (s[1] == '#' ? 1 : 11)) % 12;
        return 2;
    }
    return 1;
}

bool parseBeats(std::string_view s, double &beats)
{
    // from_chars for double wants a leading digit; accept ".5" too.
    std::string text(s);
    if (!text.empty() && text[0] == '.')
        text.insert(text.begin(), '0');
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, beats);
    return ec == std::errc() && ptr == end && beats > 0.0;
}

} // namespace

int noteNumber(std::string_view name)
{
    if (name.size() < 2 || name.size() > 3 || pitchClass(name[0]) < 0)
        return -1;
    int accidental = 0;
    if (name.size() == 3) {
        if (name[1] == '#')
            accidental = 1;
        else if (name[1] == 'b')
            accidental = -1;
        else
            return -1;
    }
    const char oct = name.back();
    if (oct < '0' || oct > '8')
        return -1;
    // Cb and B# keep the octave of their letter, as players read them.
    return 12 * (oct - '0' + 1) + pitchClass(name[0]) + accidental;
}

double parseNotes(std::string_view text, double startBeat, std::vector<Note> &out)
{
    double beat = startBeat;
    for (std::string_view token : words(text)) {
        const std::size_t colon = token.find(':');
        if (colon == std::string_view::npos)
            return -1.0;
        double beats = 0.0;
        if (!parseBeats(token.substr(colon + 1), beats))
            return -1.0;
        const std::string_view name = token.substr(0, colon);
        if (name != "r") {
            const int midi = noteNumber(name);
            if (midi < 0)
                return -1.0;
            out.push_back(Note{beat, beats, midi});
        }
        beat += beats;
    }
    return beat - startBeat;
}

bool parseChord(std::string_view name, Chord &out)
{
    int pc = 0;
    const std::size_t used = readPitch(name, pc);
    if (used == 0)
        return false;
    const std::string_view quality = name.substr(used);
    out.root = pc;
    if (quality.empty())
        out.intervals = {0, 4, 7};
    else if (quality == "m")
        out.intervals = {0, 3, 7};
    else if (quality == "7")
        out.intervals = {0, 4, 7, 10};
    else if (quality == "m7")
        out.intervals = {0, 3, 7, 10};
    else if (quality == "maj7")
        out.intervals = {0, 4, 7, 11};
    else if (quality == "sus4")
        out.intervals = {0, 5, 7};
    else
        return false;
    return true;
}

bool layoutSong(const SongDef &song, Layout &out, std::string &error)
{
    out = Layout{};
    out.secondsPerBeat = 60.0 / song.bpm;
    double beat = 0.0;
    for (std::size_t s = 0; s < song.sections.size(); ++s) {
        const SectionDef &sec = song.sections[s];
        const std::vector<std::string_view> barTexts = split(sec.chords, '|');
        const double sectionStart = beat;
        for (std::size_t b = 0; b < barTexts.size(); ++b) {
            Bar bar;
            bar.beat = beat;
            bar.kind = sec.kind;
            bar.section = static_cast<int>(s);
            bar.indexInSection = static_cast<int>(b);
            bar.firstInSection = b == 0;
            bar.lastInSection = b + 1 == barTexts.size();
            for (std::string_view name : words(barTexts[b])) {
                Chord c;
                if (!parseChord(name, c)) {
                    error = std::string(song.name) + ": unknown chord '" + std::string(name) + "'";
                    return false;
                }
                bar.chords.push_back(c);
            }
            if (bar.chords.empty()) {
                error = std::string(song.name) + ": empty bar in section " + std::to_string(s);
                return false;
            }
            out.bars.push_back(bar);
            beat += 4.0;
        }
        if (!sec.melody.empty()) {
            const double spanned = parseNotes(sec.melody, sectionStart, out.melody);
            if (spanned < 0.0) {
                error = std::string(song.name) + ": bad note in section " + std::to_string(s);
                return false;
            }
            if (std::fabs(spanned - (beat - sectionStart)) > 1e-9) {
                error = std::string(song.name) + ": section " + std::to_string(s) +
                        " melody spans " + std::to_string(spanned) + " beats, bars hold " +
                        std::to_string(beat - sectionStart);
                return false;
            }
        }
    }
    out.seconds = beat * out.secondsPerBeat;
    return true;
}

const Chord &chordAt(const Bar &bar, double beatInBar)
{
    const double per = 4.0 / static_cast<double>(bar.chords.size());
    auto i = static_cast<std::size_t>(std::floor(beatInBar / per));
    if (i >= bar.chords.size())
        i = bar.chords.size() - 1;
    return bar.chords[i];
}

std::vector<int> voicing(const Chord &chord, int low)
{
    std::vector<int> notes;
    for (int iv : chord.intervals) {
        const int pc = (chord.root + iv) % 12;
        int n = low + ((pc - low) % 12 + 12) % 12;
        notes.push_back(n);
    }
    return notes;
}

} // namespace sg
