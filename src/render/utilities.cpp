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
