#pragma once

// Character tests of the OBJ line splitter.

// 1 for control characters, the blank and every byte from 128 up, else 0.
int IsDeadSpace(char A);
// 1 only for the line feed.
int IsEOL(char A);
// 1 when the line A..E is not empty and starts with the first count
// characters of B; a line that ends before count characters never matches.
int StrEqual(const char *A, const char *B, const char *E, int count);
