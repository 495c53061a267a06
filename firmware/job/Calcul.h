// Rounding of the job cycle.
#pragma once

#include <cstdint>

// Nearest integer, halves away from zero; held to the 32-bit range, 0 for a
// value that is not a number.
int iArrondi(double x);

// x rounded to n decimals, halves away from zero (n held to 0..9).
double Round(double x, int n);
