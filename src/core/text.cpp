// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text.h"

namespace
{

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::size_t decimalLength(const char *s, bool allowFraction)
{
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-')
        ++i;
    std::size_t digits = 0;
    for (; isDigit(s[i]); ++i)
        ++digits;
    if (allowFraction && s[i] == '.')
        for (++i; isDigit(s[i]); ++i)
            ++digits;
    if (digits == 0)
        return 0;
    if (allowFraction && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (s[j] == '+' || s[j] == '-')
            ++j;
        if (isDigit(s[j])) {
            while (isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

std::size_t utf8Cut(std::string_view s, std::size_t max)
{
    if (s.size() <= max)
        return s.size();
    // Back off over the continuation bytes of the character the cut falls
    // in, and its lead byte; no character has more than three of them.
    std::size_t n = max;
    for (int k = 0; k < 3 && n > 0 && isUtf8Continuation(static_cast<unsigned char>(s[n])); ++k)
        --n;
    return isUtf8Continuation(static_cast<unsigned char>(s[n])) ? max : n;
}
