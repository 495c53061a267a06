// Header block fields by number, as docs/job-file.md names them. Field n is
// the big-endian 32-bit word at block offset 16 + 4n; the 16 bytes before the
// first field are the block's head (a firmware upload's file name).
#pragma once

#include <cstdint>

enum ChampEntete : uint32_t {
    ChOrigineX = 0,
    ChOrigineY = 1,
    ChLibre2 = 2,
    ChModele = 3,
    ChTypeMarquageDemande = 4,
    ChPerimetre = 5,
    ChDpiX = 6,
    ChDpiY = 7,
    ChPuissanceNoir = 8,
    ChVitesseInitiale = 9,
    ChPlaqueX = 10,
    ChPlaqueY = 11,
    ChIntExt = 12,
    ChValeur28 = 13,
    ChLibre14 = 14,
    ChValeur24 = 15,
    ChOrientation = 16,
    ChSeuilPuissance = 17,
    ChTraitementB = 18,
    ChSigneTraitement = 19,
    ChLongueur56 = 20,
    ChSelecteurVitesses = 21,
    ChValeur50 = 22,
    ChTurbo = 23,
    ChTypeCorrectionX = 24,
    ChTypeCorrectionY = 25,
    ChFocale = 26,
    ChGainLineaireX = 27,
    ChGainLineaireY = 28,
    ChCorrecAngX = 29,
    ChCorrecAngY = 30,
    ChTempoSaut = 31,
    ChTempoFinVecteur = 32,
    ChTempoPremierTir = 33,
    ChVitesseSaut = 34,
    ChTypeMarquage = 35,
    ChDiffusion = 36,
    ChOrientationImage = 37,
    ChPositionnement = 38,
    ChTypeFichier = 39,
    ChGainRectX = 40,
    ChGainRectY = 41,
    ChTempoFinRotation = 42,
    ChTempoInterligne = 43,
    ChUnite = 44,
    ChMarquageUnique = 45,
    ChTailleFichier = 46,
    ChValeur492 = 47,
    ChValeur494 = 48,
    ChValeur496 = 49,
    ChOption4 = 50,
    ChOption5 = 51,
    ChValeur860 = 52,
    ChValeur864 = 53,
    ChOption6 = 54,
    ChOption10 = 55,
    // A firmware-upload job's size and checksum stand in the origin's fields.
    ChTailleFirmware = ChOrigineX,
    ChChecksum = ChOrigineY,
};

inline constexpr uint32_t kDecalageNom = 0;
inline constexpr uint32_t kLgTeteEntete = 16;

// Offset of a field's first byte from the block's first byte.
constexpr uint32_t DecalageChamp(ChampEntete champ)
{
    return kLgTeteEntete + 4 * uint32_t{champ};
}
