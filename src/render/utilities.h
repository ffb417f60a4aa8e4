#pragma once

// Character tests of the OBJ line splitter.
int IsDeadSpace(char A);
int IsEOL(char A);
int StrEqual(const char* A, const char* B, const char* E, int count);
