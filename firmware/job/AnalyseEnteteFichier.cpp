#include "AnalyseEnteteFichier.h"
#include "AnalyseEnteteInterne.h"

#include "ChampsEntete.h"
#include "build.h"
#include "mlas_entiers.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "prnReception.h"
#include "etat_marquage.h"
#include "etat_rotation.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

const char tAfficheUnit1000e[] = "en 1/1000e de mm";
const char tAfficheUnit100e[] = "en 1/100e de mm";

using namespace entete;

int32_t LectChampEntete(uint32_t position)
{
    return Champ32(position);
}

void LectAvantEntete()
{
    LitAvantEntete();
}

uint32_t LectNbrePasRotation(uint32_t position)
{
    const auto n = static_cast<uint32_t>(Champ32(position));
    std::printf("Nombre de PAS de la rotation demandé : %lu\n", UL(n));
    return n;
}

char* LectFilename(uint32_t position)
{
    const VueJob vue = VueCourante();
    for (uint32_t i = 0; i < 16; ++i) {
        const uint8_t c = vue.Octet(position + i);
        marquage.FirmwareFilename[i] = c == ' ' ? '\0' : static_cast<char>(c);
    }
    marquage.FirmwareFilename[16] = '\0';
    std::printf("File name : %s\n", marquage.FirmwareFilename);
    return marquage.FirmwareFilename;
}

int32_t LectFilesize(uint32_t position)
{
    const int32_t v = Champ32(position);
    std::printf("File size : %lu octets\n", UL(static_cast<uint32_t>(v)));
    return v;
}

int32_t LectChecksum(uint32_t position)
{
    const int32_t v = Champ32(position);
    std::printf("Checksum : %lu\n", UL(static_cast<uint32_t>(v)));
    return v;
}

namespace {

int32_t LitOrigine(uint32_t position, char axe)
{
    const int32_t v = Champ32(position);
    const unsigned long brut = UL(static_cast<uint32_t>(v));
    if constexpr (kFibreLine) {
        std::printf(axe == 'X' ? "   Position de l'Origine X de la Plaque : %lx -> %ld %s (Repère redimensionné)\n"
                               : "   Position de l'Origine Y de la Plaque : %lx -> %ld %s (Repère redimensionné) \n",
                    brut, L(v), marquage.tAfficheUnitCourante);
    } else {
        const char* unite = marquage.UniteDeLg != 0 ? "1/1000" : "1/100";
        std::printf(axe == 'X'
                        ? "   Position de l'Origine X de la Plaque : %lx -> %ld en %s de mm (Repère redimensionné)\n"
                        : "   Position de l'Origine Y de la Plaque : %lx -> %ld en %s de mm  (Repère redimensionné) \n",
                    brut, L(v), unite);
    }
    return v;
}

}  // namespace

int32_t LectOrigineXPlaque(uint32_t position)
{
    return LitOrigine(position, 'X');
}

int32_t LectOrigineYPlaque(uint32_t position)
{
    return LitOrigine(position, 'Y');
}

int32_t LectTypeMarquageDemande(uint32_t position)
{
    const int32_t v = Champ32(position);
    std::printf("Type marquage : %ld     (0:A plat - 1:TC)\n", L(v));
    if constexpr (kAvecCarte) return rotation.DMC_OK != 0 && v != 0 ? 1 : 0;
    else return 0;
}

int32_t LectTypeMarquageIntExt(uint32_t position)
{
    const int32_t v = Champ32(position);
    std::printf("Type marquage lue : %ld    (Intérieure/A plat : 0 - Extérieure : 1)\n", L(v));
    return v;
}

int64_t LectVitesseDeSaut(uint32_t position)
{
    int64_t v = marquage.bFocalisationAPlat != 0 ? 2500 : Champ32(position);
    if constexpr (kAvecCarte) {
        if (marquage.bPositionnementTC != 0 || marquage.bPositionTC2 != 0 || marquage.bPositionXEtau != 0 || marquage.bPositionYEtau != 0) v *= 50;
    }
    build::Affiche(build::kTraits.texteVitesseSautLue, static_cast<long long>(v));
    return v;
}

int32_t LectUniteFirmware(uint32_t position)
{
    const int32_t v = Champ32(position);
    std::printf("ValUniteLgFirmware=%ld\n", L(v));
    return v;
}

int32_t LectTypeMarquageStdUnique(uint32_t position)
{
    const int32_t v = Champ32(position);
    std::printf("ValGravureUnique=%ld\n", L(v));
    return v;
}

int32_t LFAnalyseEntete(unsigned char* job)
{
    return AnalyseComplete(job);
}

int32_t AnalyseEntete(unsigned char* job)
{
    if constexpr (kFibreLine) return AnalyseCourte(job);
    return AnalyseComplete(job);
}

namespace {

// floor(percent / 100 x pleineEchelle) + base: the quotient and product in
// single precision, as the source's power tables were made.
uint16_t CodePuissance(uint16_t power, float pleineEchelle, double base)
{
    const uint16_t pourcent = power > 100 ? 100 : power;
    const float part = static_cast<float>(pourcent) / 100.0f * pleineEchelle;
    return static_cast<uint16_t>(std::floor(static_cast<double>(part)) + base);
}

}  // namespace

void WritePower(uint16_t power)
{
    std::printf("Puissance initiale %u\n", unsigned{power});
    Pilot_Puissance(CodePuissance(power, 63.0f, 192.0));
}

void LFWritePowerV2(uint16_t power)
{
    const uint16_t code = CodePuissance(power, 127.0f, 128.0);
    const int septBits = code & 0x7F;
    std::printf("Puissance initiale dans en-tête : %d en pourcentage \n", power);
    constexpr build::Traits t = build::kTraits;
    const char* texte = marquage.ModelDuLaser == 772                      ? t.textePuissanceFibre300
                        : marquage.ModelDuLaser == 774 && build::kFibre500 ? t.textePuissanceFibre500
                                                                  : t.textePuissanceAutreFibre;
    build::Affiche(texte, int{code}, unsigned{code});
    build::Affiche(t.textePuissanceConfiguree, septBits, unsigned(septBits));
    Pilot_Puissance(septBits);
}

void WriteInitialSpeed(uint16_t speed)
{
    marquage.MarkingSpeed = speed * 10;
    marquage.DeltaMarkingSpeed = static_cast<int32_t>(marquage.MarkingSpeed * 0.8);
    marquage.SpeedInc = static_cast<double>(marquage.DeltaMarkingSpeed / 64);
}
