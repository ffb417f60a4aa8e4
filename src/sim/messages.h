// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The HUD's text: each player's short-lived line and the main message under
// the scores.

#include <array>

// A player's short-lived HUD line.
struct Message {
    std::array<char, 81> text;
    float timeleft;
    bool operator==(const Message &) const = default;
};

// Fields of game.match (core/state.h).
extern std::array<Message, 2> &messages;
extern std::array<char, 80> &mainMessage;

void addMessage(const char *message, int player);
void updateMessages(float seconds);
void changeMainMessage(const char *message);
