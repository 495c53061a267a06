#include "prnRasterFunctions.h"

#include "VueJob.h"

#include <algorithm>

int32_t NbreEnregistrementsRasterIgnores = 0;

int32_t FonctionRaster(int32_t pos, int8_t, uint8_t)
{
    const VueJob vue = VueCourante();
    const auto p = static_cast<uint32_t>(pos);
    ++NbreEnregistrementsRasterIgnores;
    // The line's words, as far as they were received.
    const uint32_t ligne = 4 + 2 * uint32_t{vue.Mot16(p + 2)};
    return static_cast<int32_t>(p < vue.taille ? std::min(ligne, vue.taille - p) : 4);
}

int32_t FonctionRetourAVide(int32_t)
{
    ++NbreEnregistrementsRasterIgnores;
    return 2;
}

int32_t FonctionRxRy(int32_t)
{
    ++NbreEnregistrementsRasterIgnores;
    return 22;
}
