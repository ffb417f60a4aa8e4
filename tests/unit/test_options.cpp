// SPDX-License-Identifier: GPL-3.0-or-later
// The command line, the named first terrain and the fixed texture seeds.

#include <gtest/gtest.h>

#include "core/options.h"
#include "terrain/terrain.h"
#include "terrain/texture.h"

namespace
{

TEST(CommandLine, OptionsAreTakenAndTheRestGoesToGlut)
{
    const CommandLine cl =
        parseCommandLine({"-display", ":0", "--fullscreen", "--window", "1024x768", "--bot",
                          "--data=/d", "--terrain", "Ice Rink", "-sync", "--seed", "4294967295"});
    EXPECT_EQ(cl.rest, (std::vector<std::size_t>{0, 1, 9}));
    const Options &o = cl.options;
    EXPECT_TRUE(cl.exitStatus == -1 && o.fullscreen && o.bot && o.seed == 4294967295u);
    EXPECT_EQ(o.width, 1024);
    EXPECT_EQ(o.height, 768);
    EXPECT_EQ(o.dataDir, "/d");
    EXPECT_EQ(o.terrain, "Ice Rink");
    // Online: --join's own port beats --port, which is the host's otherwise.
    const Options join = parseCommandLine({"--join=box:99", "--port", "5"}).options;
    const Options host = parseCommandLine({"--port=5", "--host"}).options;
    EXPECT_TRUE(join.net == NetRole::Join && join.joinHost == "box" && join.port == 99);
    EXPECT_TRUE(host.net == NetRole::Host && host.port == 5 && o.port == kDefaultPort);
    EXPECT_EQ(parseCommandLine({"--join=a", "--input-delay=2"}).options.inputDelay, 2u);
    EXPECT_EQ(parseCommandLine({"--watch=a:7"}).options.net, NetRole::Watch);
    EXPECT_EQ(parseCommandLine({"--replay", "r", "--at", "12.5"}).options.at, 12.5);
    EXPECT_FALSE(o.at);
}

TEST(CommandLine, HelpVersionAndBadInputStopWithOneLine)
{
    EXPECT_EQ(parseCommandLine({"--bot", "--help"}).exitStatus, 0);
    EXPECT_EQ(parseCommandLine({"--version"}).message.rfind("Quorbly ", 0), 0u);
    for (const auto &[arg, start] : std::vector<std::pair<std::string_view, std::string>>{
             {"--frob", "unknown option '--frob'"},
             {"--window=0x600", "--window: '0x600' is not WIDTHxHEIGHT"},
             {"--seed=4294967296", "--seed: '4294967296' is not a whole number"},
             {"--terrain", "--terrain needs a value: a terrain name"},
             {"--join=:80", "--join: ':80' is not HOST or HOST:PORT"},
             {"--join=a:0", "--join: 'a:0' is not HOST or HOST:PORT with a port"},
             {"--port=65536", "--port: '65536' is not a port"},
             {"--at=-1", "--at: '-1' is not a number of seconds"},
             {"--at=5", "--at goes with --replay"},
             {"--input-delay=3", "--input-delay: '3' is not a number of ticks"},
             {"--replay=r", "--host and --join play online, not with --replay"},
             {"--watch=a", "--host and --join or --watch"}}) {
        const CommandLine cl = parseCommandLine({"--host", arg});
        EXPECT_TRUE(cl.exitStatus == 2 && cl.message.starts_with("quorbly: " + start) &&
                    cl.message.find('\n') == cl.message.size() - 1)
            << cl.message;
    }
}

TEST(CommandLine, NamedTerrainComesFirstAndSeedsFollowOn)
{
    EXPECT_EQ(findTerrain({"Mesa", "Mesa Plateaus"}, "mesa PLATEAUS"), 1);
    EXPECT_EQ(findTerrain({"Mesa"}, "Mes"), -1);
    terrains.assign(3, Terrain{});
    numTerrains = 3;
    resetTerrainChoice();
    chooseNextTerrain(2);
    EXPECT_EQ(newMap(), &terrains[2]);
    EXPECT_NE(newMap(), &terrains[2]); // it counts as played
    destroyTerrains();
    EXPECT_EQ(nextNoiseSeed(1234), 1234u); // the clock, until --seed
    fixNoiseSeed(7);
    EXPECT_EQ(nextNoiseSeed(1234), 7u);
    EXPECT_EQ(nextNoiseSeed(99), 8u);
}

} // namespace
