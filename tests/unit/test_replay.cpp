// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot of play, the recorder's flushing and seeking; the golden
// matches in tests/replays pin the rest of the replays.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>

#include "audio/cues_silent.h"
#include "core/keys.h"
#include "core/pad.h"
#include "core/random.h"
#include "play_driver.h"
#include "render/view_silent.h"
#include "replay/packed_state.h"
#include "replay/replay.h"
#include "replay/seek.h"

namespace
{

void frames(int n)
{
    for (int i = 0; i < n; ++i)
        runFrame(1.0f / 60);
}

// Opens, begins and plays `path` to its end or its first error.
void playBack(Playback &p, const std::string &path)
{
    resetAll();
    if (openReplay(p, path) && beginPlayback(p)) {
        beginSession();
        if (sessionStarted(p))
            while (playFrame(p)) {
            }
    }
}

class Replay : public ::testing::Test
{
  protected:
    std::FILE *quiet = std::fopen("/dev/null", "w");
    void SetUp() override
    {
        ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
        play::start(quiet, 5);
        toggleBot = 1;
        players[0].pressx = 1;
        frames(200);
    }
    void TearDown() override
    {
        std::fclose(quiet);
        destroyTerrains();
    }
};

TEST_F(Replay, ASnapshotBringsBackEveryFieldOfPlayAndNothingBrokenIsTaken)
{
    const std::vector<std::uint8_t> bytes = saveState();
    const GameState before = game;
    const std::uint64_t digest = stateDigest();
    toggleHUD = toggleSmooth = toggleShadows = toggleLightView = 0; // the view's
    w = 123;
    EXPECT_EQ(stateDigest(), digest) << "the view and the window are not play";
    const std::array<int, 5> view{toggleHUD, toggleSmooth, toggleShadows, toggleLightView, w};

    frames(300);
    pads[1].hat = {1, 1};
    play::keyDown(play::kF10);
    play::keyDown(play::kF1);
    const std::uint64_t later = stateDigest();
    ASSERT_NE(later, digest);
    std::vector<std::uint8_t> bad = bytes;
    bad.pop_back();
    EXPECT_FALSE(loadState(bad));
    bad = bytes;
    bad.push_back(0);
    EXPECT_FALSE(loadState(bad));
    bad = bytes;
    bad[4 + 4 * 50 * 2] = 99; // the terrain's index, after the magic and the players
    EXPECT_FALSE(loadState(bad));
    EXPECT_EQ(stateDigest(), later) << "a refused block changes nothing";

    ASSERT_TRUE(loadState(bytes));
    EXPECT_EQ(stateDigest(), digest);
    EXPECT_TRUE(game.match == before.match);
    EXPECT_EQ((std::array<int, 5>{toggleHUD, toggleSmooth, toggleShadows, toggleLightView, w}),
              view);
    game.session.toggleHUD = before.session.toggleHUD;
    game.session.toggleSmooth = before.session.toggleSmooth;
    game.session.toggleShadows = before.session.toggleShadows;
    game.session.toggleLightView = before.session.toggleLightView;
    game.session.w = before.session.w;
    EXPECT_TRUE(game.session == before.session);
}

TEST_F(Replay, AKilledRecordingLeavesEveryFrameItPlayed)
{
    const std::string path = ::testing::TempDir() + "/killed.qrp";
    Recorder r;
    ASSERT_TRUE(startRecording(r, path, {"test", 5, true, 0}));
    recordInput(r, nullptr); // the first match, as the game starts a recording
    for (int i = 0; i < 5; ++i) {
        const InputEvent up{InputKind::KeyUp, 0, 273, 0};
        recordInput(r, &up);
        recordFrame(r, 0.016f);
    }
    // Read while the recorder still holds the file, as after a kill.
    std::FILE *f = std::fopen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    EXPECT_EQ(text, "quorbly-replay 1\ngame test\nrand 5\nbot\nterrain 0\nmatch 00000000 " +
                        terrainLine(*terrain) +
                        "\n3c83126f -Up\n3c83126f -Up\n3c83126f -Up\n3c83126f -Up\n3c83126f -Up\n");
}

// A recording that joins a match under way starts from its state: it plays
// back from there, a match started later with its line, to the same digests.
// A state that is not strict base64 or is on no terrain of the table is
// refused, with its line.
TEST_F(Replay, ARecordingFromAStateOfPlayPlaysBackFromIt)
{
    ASSERT_EQ(chdir(QUORBLY_DATA_DIR), 0); // the session begun reads ./terrains
    const std::string path = ::testing::TempDir() + "/joined.qrp";
    Recorder r;
    ASSERT_TRUE(startRecording(r, path, {"test", 7, false, -1, packedState()}));
    recordInput(r, nullptr); // no first match line: the match is in the state
    for (int i = 0; i < 400; ++i) {
        const InputEvent e{i % 2 ? InputKind::KeyUp : InputKind::KeyDown, 0,
                           i == 350 ? keys::kF1 : keys::kUp, 0};
        takeInput(e, std::nullopt);
        recordInput(r, &e);
        runFrame(1.0f / 60);
        recordFrame(r, 1.0f / 60);
    }
    const std::uint64_t digest = finishRecording(r);
    Playback p;
    playBack(p, path);
    EXPECT_TRUE(p.ended && p.frames == 400 && p.finalDigest == digest) << p.error;

    terrain = nullptr; // a state on no terrain of the table: its index is -1
    ASSERT_TRUE(startRecording(r, path, {"test", 7, false, -1, packedState()}));
    finishRecording(r);
    playBack(p, path);
    EXPECT_TRUE(p.status == 2 && p.error.starts_with(path + ":4: the state line")) << p.error;
    ReplayHeader h{"", 0, false, -1, std::nullopt, 2};
    bool over = false;
    for (const std::string bad : {"QUJD*ABC", "QUI", "QU=I", "QUK=", ""})
        EXPECT_TRUE(parseHeaderLine("state " + bad, 3, h, over)) << bad;
    EXPECT_FALSE(parseHeaderLine("state QUI=", 3, h, over));
    EXPECT_EQ(h.state, std::vector<std::uint8_t>({'A', 'B'}));
}

} // namespace

// A golden that goes apart names its first digest line that differs and
// the parts of the record that went apart there.
TEST(Golden, OneThatGoesApartNamesTheLineAndTheParts)
{
    ASSERT_EQ(chdir(QUORBLY_DATA_DIR), 0);
    const std::pair<void (*)(), std::string> nudges[] = {
        {[] { lightTime += 1; }, "view"},
        {[] { gameRand(); }, "particles, clocks"},                // the sparks draw next
        {[] { players[1].velocity.x += 0.5f; }, "players, view"}, // the camera follows
    };
    for (const auto &[nudge, parts] : nudges) {
        resetGameState();
        Playback p;
        ASSERT_TRUE(openReplay(p, QUORBLY_SOURCE_DIR "/tests/replays/duel.qrp") &&
                    beginPlayback(p));
        beginSession();
        ASSERT_TRUE(sessionStarted(p));
        for (int i = 0; i < 290; ++i)
            ASSERT_TRUE(playFrame(p)) << p.error;
        nudge();
        while (playFrame(p)) {
        }
        EXPECT_NE(p.error.find("duel.qrp:305: after frame 300 the digest is"), std::string::npos)
            << p.error;
        EXPECT_TRUE(p.error.ends_with(" (apart: " + parts + ")")) << p.error;
        destroyTerrains();
    }
}

// Seeks land on the state straight playback has at the first frame past the
// target, back and forth, from snapshots or not, with the effects muted.
TEST(Golden, ASeekLandsWhereStraightPlaybackIs)
{
    ASSERT_EQ(chdir(QUORBLY_DATA_DIR), 0);
    Playback p;
    Timeline t;
    const auto start = [&] {
        resetGameState();
        ASSERT_TRUE(openReplay(p, QUORBLY_SOURCE_DIR "/tests/replays/edge.qrp") &&
                    beginPlayback(p));
        beginSession();
        ASSERT_TRUE(sessionStarted(p));
    };
    start();
    std::vector<std::pair<double, std::uint64_t>> straight{{0, stateDigest()}};
    while (playFrame(p))
        straight.emplace_back(p.played, stateDigest());
    ASSERT_TRUE(p.ended) << p.error;
    ASSERT_DOUBLE_EQ(p.length, p.played);
    destroyTerrains();

    start();
    keepSnapshot(t, p);
    cueTally = {};
    const double length = p.length; // two matches
    for (const double part : {0.3, 0.1, 0.8, 0.75, 0.0, 0.5, 0.5, 0.499, 0.95, 0.2, 0.25, -0.1}) {
        const double to = part * length;
        ASSERT_TRUE(seekTo(p, t, to)) << p.error;
        std::size_t k = 0;
        while (k + 1 < straight.size() && straight[k].first <= std::max(to, 0.0))
            ++k;
        EXPECT_EQ(p.frames, k) << "to " << to;
        EXPECT_EQ(stateDigest(), straight[k].second) << "to " << to;
        EXPECT_EQ(shownTerrainOf, game.session.matchesStarted) << "to " << to;
    }
    EXPECT_GE(t.snapshots.size(), 9u);
    EXPECT_EQ(cueTally.bump[0] + cueTally.bump[1] + cueTally.bump[2] + cueTally.bumpSmall, 0);
    EXPECT_FALSE(cueTally.muted);
    // The viewer's keys: x1/4 to x8, the pause, Home back to the first frame.
    Watching watch{.at = p.played};
    for (int i = 0; i < 5; ++i)
        watchKey(watch, keys::kUp, p, t);
    EXPECT_EQ(watch.pace, 3);
    for (int i = 0; i < 7; ++i)
        watchKey(watch, keys::kDown, p, t);
    EXPECT_EQ(watch.pace, -2);
    EXPECT_TRUE(watchKey(watch, keys::kSpace, p, t) && watch.paused);
    EXPECT_FALSE(watchKey(watch, keys::kF1, p, t));
    EXPECT_TRUE(watchKey(watch, keys::kEnd, p, t) && p.frames + 1 == straight.size());
    EXPECT_TRUE(watchKey(watch, keys::kHome, p, t) && watch.at == 0 && p.frames == 1);
    EXPECT_TRUE(watchKey(watch, keys::kLeft, p, t) && watch.at == 0);
    ASSERT_TRUE(seekTo(p, t, 1e9));
    EXPECT_TRUE(p.ended && p.frames + 1 == straight.size());
    destroyTerrains();
    EXPECT_EQ(placeText(83.9, 296, 0.25, true), "1:23 / 4:56 x1/4 paused");
    EXPECT_EQ(placeText(61, 61, 8, false), "1:01 / 1:01 x8");
    EXPECT_EQ(placeText(0, 5, 1, false), "0:00 / 0:05");
}
