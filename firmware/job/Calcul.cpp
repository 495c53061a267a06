#include "Calcul.h"

#include "mlas_entiers.h"

#include <algorithm>
#include <cmath>

int iArrondi(double x)
{
    // Machine control rounds its speeds the same way, with the same function.
    return ArrondiLoinDeZero(x);
}

double Round(double x, int n)
{
    // The power of ten as a whole number: a negative or too large n would
    // make it 0 or overflow it.
    uint32_t p = 1;
    for (int i = std::clamp(n, 0, 9); i > 0; --i) p *= 10;
    const double v = x * p;
    if (!std::isfinite(v)) return x;
    const double t = std::trunc(v);
    const double reste = v - t;
    const double r = reste >= 0.5 ? t + 1.0 : reste <= -0.5 ? t - 1.0 : t;
    return r / p;
}
