// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/utilities.h"

#include "core/text.h"

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
               isUtf8Continuation(static_cast<unsigned char>(s[i + k])))
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
