// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Text helpers every reader shares: numbers at the start of a field, and
// cutting UTF-8 on a character boundary.

#include <cstddef>
#include <string_view>

// Length of the decimal number at the start of s (sign, digits, point,
// exponent; no fraction or exponent for an integer); 0 when there is none.
std::size_t decimalLength(const char *s, bool allowFraction);

// The longest start of s, at most max bytes, that ends on a UTF-8 character
// boundary.
std::size_t utf8Cut(std::string_view s, std::size_t max);

// A byte inside a UTF-8 character, after its lead byte.
inline bool isUtf8Continuation(unsigned char c)
{
    return (c & 0xc0) == 0x80;
}
