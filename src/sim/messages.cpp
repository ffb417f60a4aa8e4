// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/messages.h"

#include <cstddef>

namespace
{

constexpr float kMessageTime = 4.0f;

// Copies at most capacity - 1 characters and always terminates.
template <std::size_t N> void copyText(std::array<char, N> &to, const char *from)
{
    std::size_t i = 0;
    for (; i + 1 < N && from[i] != '\0'; ++i)
        to[i] = from[i];
    to[i] = '\0';
}

} // namespace

void addMessage(const char *message, int player)
{
    Message &m = messages[player];
    copyText(m.text, message);
    m.timeleft = kMessageTime;
}

void updateMessages(float seconds)
{
    for (Message &m : messages)
        m.timeleft -= seconds;
}

void changeMainMessage(const char *message)
{
    copyText(mainMessage, message);
}
