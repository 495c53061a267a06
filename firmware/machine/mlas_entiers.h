// Float to integer conversions of machine control. Speeds, steps and delays
// come from files and job headers: a value out of range or not a number must
// not reach a bare conversion, so these saturate.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Whether a value computed wide fits the 32-bit global it is meant for.
inline bool Tient32(double v)
{
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

// floor(x + 0.5) held to the 32-bit range; 0 for a value that is not a number.
inline int32_t ArrondiEntier(double x)
{
    if (std::isnan(x)) return 0;
    const double r = std::floor(x + 0.5);
    if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

// Truncation toward zero, held to the 32-bit range; 0 for a value that is not a number.
inline int32_t TronqueEntier(double x)
{
    if (std::isnan(x)) return 0;
    return ArrondiEntier(std::trunc(x));
}

// Rounded to the nearest integer, halves away from zero: iArrondi of the job
// cycle (Calcul) is this function, so both layers round alike.
inline int32_t ArrondiLoinDeZero(double x)
{
    if (std::isnan(x)) return 0;
    const double t = std::trunc(x);
    const double reste = x - t;
    return TronqueEntier(reste >= 0.5 ? t + 1.0 : reste <= -0.5 ? t - 1.0 : t);
}
