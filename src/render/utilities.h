// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Text helpers of the file readers and the HUD.

#include <cstddef>
#include <string>
#include <string_view>

// 1 for control characters, the blank and every byte from 128 up, else 0.
int IsDeadSpace(char A);
// 1 only for the line feed.
int IsEOL(char A);
// 1 when the line A..E is not empty and starts with the first count
// characters of B; a line that ends before count characters never matches.
int StrEqual(const char *A, const char *B, const char *E, int count);

// UTF-8 text as the Latin-1 bytes the bitmap fonts draw: each character
// above U+00A0 and up to U+00FF becomes its byte, any other character
// outside ASCII (and every byte of a broken sequence) becomes '?'.
std::string latin1FromUtf8(std::string_view s);
