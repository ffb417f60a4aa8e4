#pragma once

#include <array>

// A player's short-lived HUD line.
struct Message {
    std::array<char, 81> text;
    float timeleft;
    bool operator==(const Message &) const = default;
};

void addMessage(const char *message, int player);
void updateMessages(float seconds);
void changeMainMessage(const char *message);

// Ground contact for player p: rolling off, landing, being lost below -20.
void groundContact(int p);
// A lost ball: score the frag for the other player and drop it back in.
void fragAndRespawn(int p);
