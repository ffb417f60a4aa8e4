// SPDX-License-Identifier: GPL-3.0-or-later
#include "arranger.h"
#include "music.h"

namespace sg
{

namespace
{

bool isFinalBar(const Session &s, const Bar &bar)
{
    return &bar == &s.layout.bars.back();
}

// The song's last bar: the tonic struck once and left to ring (the callers
// add it), with a two-note snare pickup onto the next track's downbeat.
void playEnding(Session &s, const Bar &bar, double level)
{
    playCrash(s, bar, level);
    playDrums(s, bar, DrumBar{"x...............", "............g.x.", "", ""}, level);
}

} // namespace

const SongDef &music1aSong()
{
    static const char *const kVerse =
        "A4:.5 C5:.5 F5:1 A5:.5 G5:.5 F5:1   G4:.5 C5:.5 E5:1 G5:.5 F5:.5 E5:1 "
        "D5:.5 F5:.5 A5:1 F5:.5 E5:.5 D5:1   F5:1.5 D5:.5 Bb4:1 C5:1 "
        "A4:.5 C5:.5 F5:1 A5:.5 Bb5:.5 C6:1   G5:1 E5:.5 C5:.5 G4:1 C5:1 "
        "D5:.5 C5:.5 Bb4:.5 D5:.5 C5:1 E5:1   F5:3 r:1";
    static const char *const kBridge = "D5:1.5 C5:.5 Bb4:1 D5:1   E5:1.5 D5:.5 C5:1 E5:1 "
                                       "C5:1.5 E5:.5 A5:1 G5:1   F5:2 D5:1 A4:1 "
                                       "D5:1.5 Bb4:.5 G4:1 Bb4:1   C5:1.5 E5:.5 G5:1 E5:1 "
                                       "F5:1.5 E5:.5 D5:1 Bb4:1   G4:2 C5:1 Bb4:1";
    static const char *const kVerseChords = "F | C | Dm | Bb | F | C | Bb C | F";
    static const SongDef song{"music-1a",
                              120.0,
                              5,
                              {
                                  {'I', "F | Dm | Bb | C", ""},
                                  {'A', kVerseChords, kVerse},
                                  {'A', kVerseChords, kVerse},
                                  {'B', "Bb | C | Am | Dm | Gm | C | Bb | C7", kBridge},
                                  {'A', kVerseChords, kVerse},
                                  {'O', "Bb C | F", "D5:1 E5:1 G5:1 E5:1   F5:4"},
                              }};
    return song;
}

const SongDef &music1bSong()
{
    static const char *const kVerse =
        "E5:.5 G5:.5 r:.5 G5:.5 C6:.5 G5:.5 E5:1   C5:.5 E5:.5 r:.5 E5:.5 A5:.5 E5:.5 C5:1 "
        "F4:.5 A4:.5 C5:.5 E5:.5 F5:.5 G5:.5 A5:1   G5:1.5 A5:.5 G5:1 D5:1 "
        "E5:.5 G5:.5 r:.5 G5:.5 C6:.5 D6:.5 E6:1   C6:.5 B5:.5 A5:1 E5:1 C5:1 "
        "F5:.5 E5:.5 D5:.5 C5:.5 D5:1 B4:1   C5:3 r:1";
    static const char *const kBridge = "A5:1.5 G5:.5 F5:1 C5:1   B4:1.5 C5:.5 D5:1 G5:1 "
                                       "E5:1.5 D5:.5 B4:1 G4:1   A4:2 C5:1 E5:1 "
                                       "A5:1.5 G5:.5 F5:1 A5:1   G5:1.5 F5:.5 D5:1 B4:1 "
                                       "F5:1 E5:1 D5:1 C5:1   B4:1 C5:.5 D5:.5 G5:1 F5:1";
    static const char *const kVerseChords = "C | Am | F | G | C | Am | F G | C";
    static const char *const kBridgeChords = "F | G | Em | Am | F | G | Dm | G7";
    static const SongDef song{"music-1b",
                              120.0,
                              0,
                              {
                                  {'I', "C | Am | F | G", ""},
                                  {'A', kVerseChords, kVerse},
                                  {'B', kBridgeChords, kBridge},
                                  {'A', kVerseChords, kVerse},
                                  {'B', kBridgeChords, kBridge},
                                  {'A', kVerseChords, kVerse},
                                  {'O', "F G | C", "A5:1 F5:1 D5:1 B4:1   C5:4"},
                              }};
    return song;
}

const SongDef &music2Song()
{
    static const char *const kVerse =
        "D5:.75 F5:.75 A5:.5 D6:1 C6:.5 A5:.5   Bb5:.75 A5:.75 F5:.5 D5:1 F5:1 "
        "C5:.75 E5:.75 G5:.5 C6:1 Bb5:.5 G5:.5   A5:2 r:1 A4:.5 C5:.5 "
        "D5:.75 F5:.75 A5:.5 D6:1 C6:.5 A5:.5   Bb5:.75 A5:.75 F5:.5 D5:1 Bb4:1 "
        "C5:.75 E5:.75 G5:.5 E5:1 C#5:1   D5:3 r:1";
    static const char *const kBridge = "F5:1.5 E5:.5 F5:1 Bb5:1   C6:1.5 Bb5:.5 G5:1 E5:1 "
                                       "A5:1.5 G5:.5 E5:1 C5:1   F5:2 D5:2 "
                                       "F5:1.5 G5:.5 Bb5:1 D6:1   C6:1.5 D6:.5 E6:1 C6:1 "
                                       "C#6:2 A5:1 E5:1   C#5:1 E5:1 G5:1 A5:1";
    static const char *const kVerseChords = "Dm | Bb | C | Dm | Dm | Bb | C A | Dm";
    static const char *const kBridgeChords = "Bb | C | Am | Dm | Bb | C | A | A7";
    static const SongDef song{"music-2",
                              150.0,
                              2,
                              {
                                  {'I', "Dm | Bb | C | A", ""},
                                  {'A', kVerseChords, kVerse},
                                  {'B', kBridgeChords, kBridge},
                                  {'A', kVerseChords, kVerse},
                                  {'B', kBridgeChords, kBridge},
                                  {'A', kVerseChords, kVerse},
                                  {'O', "Bb C | Dm", "F5:1 E5:1 C5:1 E5:1   D5:4"},
                              }};
    return song;
}

Stereo renderMusic1a()
{
    Session s(music1aSong(), 0x1A1A1A);
    Rng strings(0x51A1);
    const Instrument lead = [](Stereo &o, const NoteEvent &n) { pulseLead(o, n, Pan(0.0), 0.25); };
    const Instrument horn = [](Stereo &o, const NoteEvent &n) { sawLead(o, n, Pan(0.0), 0.45); };
    const Instrument bell = [](Stereo &o, const NoteEvent &n) {
        fmVoice(o, n, Pan(0.35), FmPatch{3.5, 1.2, 0.15, 0.5, 0.002, 0.1});
    };
    const Instrument guitar = [&strings](Stereo &o, const NoteEvent &n) {
        pluck(o, frames(n.time), n.dur, midiToHz(n.midi), n.vel, Pan(-0.35), 0.6, strings);
    };
    const Instrument organ = [](Stereo &o, const NoteEvent &n) { pad(o, n, Pan(0.2)); };
    const Instrument bass = [](Stereo &o, const NoteEvent &n) {
        bassSynth(o, n, Pan(0.0), 350.0, 900.0);
    };

    int section = -1;
    for (const Bar &bar : s.layout.bars) {
        const bool newSection = bar.section != section;
        section = bar.section;
        if (isFinalBar(s, bar)) {
            playEnding(s, bar, 1.0);
            playBass(s, s.bass, bar, "R-----------....", 34, bass, 0.5);
            playChords(s, s.keys, bar, "x-----------....", 60, guitar, 0.4);
            playChords(s, s.keys, bar, "x-----------....", 55, organ, 0.06);
            continue;
        }
        if (newSection) {
            playCrash(s, bar, 1.0);
            if (bar.kind != 'I' && bar.kind != 'O')
                playMelody(s, s.lead, section, 0, bar.kind == 'B' ? horn : lead,
                           bar.kind == 'B' ? 0.3 : 0.32);
            if (bar.kind == 'A' && section >= 2)
                playMelody(s, s.lead, section, 12, bell, 0.08);
            if (bar.kind == 'O')
                playMelody(s, s.lead, section, 0, lead, 0.32);
        }
        if (bar.kind == 'I') {
            playArp(s, s.keys, bar, "x.x.x.x.x.x.x.x.", 72, bell, 0.12);
            playChords(s, s.keys, bar, "..x...x...x...x.", 60, guitar, 0.36);
            if (bar.indexInSection >= 1)
                playBass(s, s.bass, bar, "R.O.R.O.R.O.5.O.", 34, bass, 0.45);
        } else if (bar.kind == 'B') {
            playChords(s, s.keys, bar, "x---------------", 55, organ, 0.07);
            playChords(s, s.keys, bar, "..x...x...x...x.", 60, guitar, 0.34);
            playBass(s, s.bass, bar, "R...R.5.R...R.5.", 34, bass, 0.5);
        } else {
            playChords(s, s.keys, bar, "..x...x...x...x.", 60, guitar, 0.4);
            playBass(s, s.bass, bar, "R.O.R.O.R.O.5.O.", 34, bass, 0.5);
            if (section >= 2)
                playArp(s, s.keys, bar, "x.x.x.x.x.x.x.x.", 72, bell, 0.06);
        }
        if (bar.lastInSection) {
            playFill(s, bar, 1.0);
        } else if (bar.kind == 'I') {
            playDrums(s, bar, DrumBar{"x.......x.......", "", "..x...x...x...x.", ""}, 1.0);
        } else if (bar.kind == 'B') {
            playDrums(s, bar,
                      DrumBar{"x.......x.x.....", "....x.......x...", "x.x.x.x.x.x.x.o.",
                              "....x.......x..."},
                      1.0);
        } else {
            playDrums(s, bar,
                      DrumBar{"x.....x.x.......", "....x.......x...",
                              section >= 2 ? "xgxgxgxgxgxgxgxg" : "x.x.x.x.x.x.x.x.", ""},
                      1.0);
        }
    }
    return finish(s, 0.75, 0.22, 0.5);
}

Stereo renderMusic1b()
{
    Session s(music1bSong(), 0x1B1B1B);
    const Instrument trumpet = [](Stereo &o, const NoteEvent &n) {
        sawLead(o, n, Pan(0.05), 0.85);
    };
    const Instrument reed = [](Stereo &o, const NoteEvent &n) { pulseLead(o, n, Pan(0.05), 0.5); };
    const Instrument piano = [](Stereo &o, const NoteEvent &n) {
        fmVoice(o, n, Pan(-0.3), FmPatch{1.0, 1.8, 0.25, 1.0, 0.003, 0.1});
    };
    const Instrument marimba = [](Stereo &o, const NoteEvent &n) {
        fmVoice(o, n, Pan(0.4), FmPatch{4.0, 2.0, 0.03, 0.3, 0.001, 0.08});
    };
    const Instrument bass = [](Stereo &o, const NoteEvent &n) {
        bassSynth(o, n, Pan(0.0), 300.0, 1200.0);
    };

    int section = -1;
    for (const Bar &bar : s.layout.bars) {
        const bool newSection = bar.section != section;
        section = bar.section;
        if (isFinalBar(s, bar)) {
            playEnding(s, bar, 1.0);
            playBass(s, s.bass, bar, "R-----------....", 36, bass, 0.5);
            playChords(s, s.keys, bar, "x-----------....", 57, piano, 0.1);
            continue;
        }
        if (newSection) {
            playCrash(s, bar, 1.0);
            if (bar.kind == 'A' || bar.kind == 'O')
                playMelody(s, s.lead, section, 0, trumpet, 0.38);
            else if (bar.kind == 'B')
                playMelody(s, s.lead, section, 0, reed, 0.36);
        }
        if (bar.kind == 'I') {
            playArp(s, s.keys, bar, "x.x.x.x.x.x.x.x.", 67, marimba, 0.16);
            if (bar.indexInSection >= 2)
                playChords(s, s.keys, bar, "x-.x-.x-x-.x-.x-", 57, piano, 0.09);
            if (bar.indexInSection >= 1)
                playBass(s, s.bass, bar, "R..R..R.O..O..5.", 36, bass, 0.45);
        } else if (bar.kind == 'B') {
            playArp(s, s.keys, bar, "x.x.x.x.x.x.x.x.", 67, marimba, 0.12);
            playChords(s, s.keys, bar, "x---..x-..x---..", 57, piano, 0.09);
            playBass(s, s.bass, bar, "R..R..R.R..R..O.", 36, bass, 0.5);
        } else {
            playChords(s, s.keys, bar, "x-.x-.x-x-.x-.x-", 57, piano, 0.09);
            playBass(s, s.bass, bar, "R..R..R.O..O..5.", 36, bass, 0.5);
            if (section >= 3)
                playArp(s, s.keys, bar, "x.x.x.x.x.x.x.x.", 67, marimba, 0.08);
        }
        if (bar.lastInSection) {
            playFill(s, bar, 1.0);
        } else if (bar.kind == 'I') {
            playDrums(s, bar, DrumBar{"x.......x.......", "", "x.x.x.x.x.x.x.x.", ""}, 1.0);
        } else if (bar.kind == 'B') {
            playDrums(s, bar,
                      DrumBar{"x.......x.......", "....x.......x...", "x.x.x.x.x.x.x.x.",
                              "....x.......x..."},
                      1.0);
        } else {
            playDrums(s, bar,
                      DrumBar{"x..x....x..x....", "....x.......x...", "xgxgxgxgxgxgxgxg", ""}, 1.0);
        }
    }
    return finish(s, 0.75, 0.2, 0.45);
}

Stereo renderMusic2()
{
    Session s(music2Song(), 0x2222);
    const Instrument lead = [](Stereo &o, const NoteEvent &n) { sawLead(o, n, Pan(0.0), 1.0); };
    const Instrument stab = [](Stereo &o, const NoteEvent &n) { sawStab(o, n, Pan(-0.3), 2400.0); };
    const Instrument chip = [](Stereo &o, const NoteEvent &n) {
        pulseLead(o, n, Pan(0.45), 0.125);
    };
    const Instrument strings = [](Stereo &o, const NoteEvent &n) { pad(o, n, Pan(-0.15)); };
    const Instrument bass = [](Stereo &o, const NoteEvent &n) {
        bassSynth(o, n, Pan(0.0), 420.0, 1500.0);
    };

    int section = -1;
    for (const Bar &bar : s.layout.bars) {
        const bool newSection = bar.section != section;
        section = bar.section;
        if (isFinalBar(s, bar)) {
            playEnding(s, bar, 1.0);
            playBass(s, s.bass, bar, "R-----------....", 33, bass, 0.5);
            playChords(s, s.keys, bar, "x-----------....", 57, stab, 0.15);
            playChords(s, s.keys, bar, "x-----------....", 57, strings, 0.09);
            continue;
        }
        if (newSection) {
            playCrash(s, bar, 1.0);
            if (bar.kind != 'I')
                playMelody(s, s.lead, section, 0, lead, 0.4);
        }
        if (bar.kind == 'I') {
            playBass(s, s.bass, bar, "R.O.R.O.R.O.R.O.", 33, bass, 0.5);
            if (bar.indexInSection >= 1)
                playArp(s, s.keys, bar, "xxxxxxxxxxxxxxxx", 62, chip, 0.09);
        } else if (bar.kind == 'B') {
            playChords(s, s.keys, bar, "x-------x-------", 57, strings, 0.1);
            playChords(s, s.keys, bar, "..x...x...x...x.", 57, stab, 0.1);
            playArp(s, s.keys, bar, "xxxxxxxxxxxxxxxx", 62, chip, 0.08);
            playBass(s, s.bass, bar, "RRO.RRO.RRO.RRO.", 33, bass, 0.5);
        } else {
            playChords(s, s.keys, bar, "..x...x...x...x.", 57, stab, 0.15);
            playArp(s, s.keys, bar, "xxxxxxxxxxxxxxxx", 62, chip, 0.08);
            playBass(s, s.bass, bar, "R.O.R.O.R.O.R.O.", 33, bass, 0.5);
        }
        if (bar.lastInSection) {
            playFill(s, bar, 1.0);
        } else if (bar.kind == 'I') {
            playDrums(s, bar, DrumBar{"x...x...x...x...", "", "..o...o...o...o.", ""}, 1.0);
        } else if (bar.kind == 'B') {
            playDrums(s, bar,
                      DrumBar{"x...x...x...x...", "....x.......x...", "xgoxxgoxxgoxxgog",
                              "....x.......x..."},
                      1.0);
        } else {
            playDrums(s, bar,
                      DrumBar{"x...x...x...x...", "....x.......x...", "x.o.x.o.x.o.x.o.", ""}, 1.0);
        }
    }
    return finish(s, 0.75, 0.2, 0.4);
}

} // namespace sg
