// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The command line: the options the game takes, and what it does with them before the window.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The side a game plays online.
enum class NetRole : std::uint8_t { Off, Host, Join, Watch };

inline constexpr std::uint16_t kDefaultPort = 27015;

// The command line. Our options all start with "--"; every other argument
// is left for GLUT's initialisation, as before there were options.
struct Options {
    bool fullscreen = false;
    int width = 800;
    int height = 600;
    std::string dataDir; // empty: the working directory
    bool bot = false;
    std::string terrain; // empty: the first match's terrain is drawn at random
    std::optional<std::uint32_t> seed;
    std::string record;            // --record FILE: the session is written there
    std::string replay;            // --replay FILE: the session is played from there
    bool headless = false;         // with --replay: no window, GL or sound
    std::uint64_t digestEvery = 0; // --digest-every N: the digest after every N frames
    std::optional<double> at;      // --at SECONDS: where the replay starts
    NetRole net = NetRole::Off;
    std::string joinHost;                    // --join's (or --watch's) host name or address
    std::optional<std::uint16_t> joinPort;   // its :PORT
    std::uint16_t port = kDefaultPort;       // --port, or the one to join
    std::optional<std::uint32_t> inputDelay; // --input-delay N: ticks from a key to its effect
};

struct CommandLine {
    Options options;
    // -1: play. 0 (--help, --version): print `message` on standard output
    // and stop; 2 (a bad option): print it on standard error and stop.
    int exitStatus = -1;
    std::string message;
    std::vector<std::size_t> rest; // which arguments are left for GLUT
};

// "0.1.0": the version the game says with --version and writes in replays.
const char *gameVersion();

// Parses the arguments that follow the program's name.
CommandLine parseCommandLine(const std::vector<std::string_view> &args);
// Parses argv and takes our options out of it, leaving argv[0] and the rest.
CommandLine takeOptions(int &argc, char **argv);

// Acts on the options that come before the window: makes the replay paths
// absolute, enters the data directory, fixes the texture seed, makes the
// named terrain the first.
// Returns -1 to play on, else the exit status (the reason printed).
int startOptions(Options &options);

// The index of the terrain named `name` (case aside) among `names`, or -1.
int findTerrain(const std::vector<std::string_view> &names, std::string_view name);
