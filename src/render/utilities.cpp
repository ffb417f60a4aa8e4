// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/utilities.h"

int IsDeadSpace(char A)
{
    // Bytes from 128 up count as dead space whatever the signedness of char.
    return static_cast<signed char>(A) <= 32 ? 1 : 0;
}

int IsEOL(char A)
{
    return A == '\n' ? 1 : 0;
}

int StrEqual(const char *A, const char *B, const char *E, int count)
{
    if (A == E)
        return 0;
    for (int i = 0; i < count; ++i) {
        if (A + i == E || A[i] != B[i])
            return 0;
    }
    return 1;
}

namespace
{

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isContinuation(unsigned char c)
{
    return (c & 0xc0) == 0x80;
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
    for (int k = 0; k < 3 && n > 0 && isContinuation(static_cast<unsigned char>(s[n])); ++k)
        --n;
    return isContinuation(static_cast<unsigned char>(s[n])) ? max : n;
}

std::string latin1FromUtf8(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // The length a lead byte announces; 0 for a byte that leads nothing.
        const int length = c >= 0xc2 && c <= 0xdf   ? 2
                           : c >= 0xe0 && c <= 0xef ? 3
                           : c >= 0xf0 && c <= 0xf4 ? 4
                                                    : 0;
        int k = 1;
        while (k < length && i + k < s.size() &&
               isContinuation(static_cast<unsigned char>(s[i + k])))
            ++k;
        if (length == 0 || k < length) {
            out += '?'; // a broken sequence: one mark for its lead, then resync
            i += length == 0 ? 1 : k;
            continue;
        }
        const unsigned code = length == 2 ? (c & 0x1fu) << 6 | (s[i + 1] & 0x3fu) : 0x100;
        out += code >= 0xa0 && code <= 0xff ? static_cast<char>(code) : '?';
        i += length;
    }
    return out;
}
