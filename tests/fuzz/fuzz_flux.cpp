// The print stream through debut, as the host printing software hands it over.
// Input: one byte (low 3 bits: settings patches to apply; high 5: chunk size),
// the patches (offset u16, value u32, little-endian) laid on the print tool's
// default settings record, then the stream, cut into chunks that end at "PG;".
#include "travail.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::PrepareImprimante();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    if (taille < 1) return 0;
    std::vector<uint8_t> parametres = fuzz::ParametresDefaut();
    const unsigned nombre = donnees[0] & 7u;
    const unsigned selecteur = donnees[0] >> 3;
    const std::size_t morceau = selecteur == 0 ? 65536 : std::size_t{selecteur} * selecteur * 4;
    std::size_t i = 1;
    for (unsigned n = 0; n < nombre && i + 6 <= taille; ++n, i += 6) {
        const std::size_t offset = (donnees[i] | donnees[i + 1] << 8) % (parametres.size() - 3);
        uint32_t valeur = 0;
        std::memcpy(&valeur, donnees + i + 2, 4);
        fuzz::Pose(parametres, offset, valeur, 4);
    }
    const uint8_t* flux = donnees + std::min(i, taille);
    const std::size_t longueur = taille - std::min(i, taille);

    fuzz::Travail(parametres, [&](HANDLE imprimante) {
        for (std::size_t debutMorceau = 0; debutMorceau < longueur;) {
            std::size_t fin = std::min(longueur, debutMorceau + morceau);
            // A chunk that ends a page ends at its "PG;", as the print tool cuts them.
            for (std::size_t j = std::max<std::size_t>(debutMorceau + 1, 3); j <= fin; ++j)
                if (std::memcmp(flux + j - 3, "PG;", 3) == 0 || std::memcmp(flux + j - 3, "pg;", 3) == 0) {
                    fin = j;
                    break;
                }
            if (debut(imprimante, flux + debutMorceau, static_cast<uint32_t>(fin - debutMorceau), parametres.data()) != 1)
                return false;
            debutMorceau = fin;
        }
        return true;
    });
    return 0;
}
