#include "AnalyseEnteteFichier.h"

#include "ChampsEntete.h"
#include "build.h"
#include "mlas_entiers.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "prnReception.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

uint8_t LgAvantEntete = 0;
uint32_t LgEntete = 0;
uint8_t TypeLaser = 0;
uint8_t ModelLaser = 0;
int32_t LaserKM250 = 0;
uint8_t bReceptionFirmware = 0;
uint8_t bPositionningFleche = 0;
uint8_t bChangementIP = 0;
uint8_t bPreChauffe = 0;
int32_t NbrePasRotation = 1000;

int32_t TypeDuFichier = 0;
int32_t UniteDeLg = 55;
int32_t MarquageUnique = 55;
float CoefDivUnitVersmm = 0.0f;
int32_t CoefUnitVersNano = 0;
int32_t CoefUnitVersMicron = 0;
const char tAfficheUnit1000e[] = "en 1/1000e de mm";
const char tAfficheUnit100e[] = "en 1/100e de mm";
const char* tAfficheUnitCourante = "";

char FirmwareFilename[17] = {};
int32_t FirmwareFilesize = 0;
int32_t FirmwareChecksum = 0;

int32_t OrgXPlaque = 0;
int32_t OrgYPlaque = 0;
int32_t DimXPlaque = 0;
int32_t DimYPlaque = 0;
uint32_t ResolutionDpiX = 0;
uint32_t ResolutionDpiY = 0;
int32_t BlackInitialpower = 0;
int32_t VitesseInitiale = 0;
int32_t MarquageIntExtCylindre = 0;
int32_t OrientationMarquage = 0;
int32_t NumFocale = 0;
int32_t MargeFocaleCurrentUnit = 0;
int32_t DemiChampFocale = 0;
float DemiCourse = 0.0f;
uint8_t bNegatif = 0;
int32_t RasterPatternCorrection = 0;

uint32_t PositionningTimeout = 0;
uint8_t bTCReglageMinMax = 0;
uint8_t bFocalisationAPlat = 0;
uint8_t bFocalisationTC = 0;
uint8_t bPositionnementTC = 0;
uint8_t bPositionTC2 = 0;
uint8_t bPositionXEtau = 0;
uint8_t bPositionYEtau = 0;

uint8_t bDdeRetourOrigine = 0;
uint8_t bFirstRotationPU = 0;
float fPerimetreEnmm = 0.0f;
int32_t ModeTurboTCValide = 0;
int32_t TempoFinRotation = 0;
int32_t TempoInterligneTC = 0;

int32_t MarkingSpeed = 2000;
int32_t DeltaMarkingSpeed = 0;
double SpeedInc = 0.0;

namespace {

using build::Id;
constexpr bool kFibreLine = build::kFibreLine;
constexpr bool kKm250Line = build::kKm250Line;
constexpr bool kViper = build::kViper;
// Arrow jobs, the inside/outside field, the TC2 and vice help sheets and the
// faster positioning jumps exist where the rotation card does.
constexpr bool kAvecCarte = build::kDmc;

// Position of a field's last byte from BuffCourant.
uint32_t Position(ChampEntete champ)
{
    return uint32_t{LgAvantEntete} + DecalageChamp(champ) + 3;
}

int32_t Champ32(uint32_t dernier)
{
    if (dernier < 3) return 0;
    return static_cast<int32_t>(VueCourante().Mot32(dernier - 3));
}

int32_t Champ(ChampEntete champ)
{
    return Champ32(Position(champ));
}

// Fields that become floats are taken as unsigned.
float ChampFlottant(ChampEntete champ, double diviseur)
{
    return static_cast<float>(static_cast<uint32_t>(Champ(champ)) / diviseur);
}

long L(int32_t v)
{
    return static_cast<long>(v);
}
unsigned long UL(uint32_t v)
{
    return static_cast<unsigned long>(v);
}

// Longest delay a header may ask for, in microseconds. Galvanometers settle
// and sources fire within tens to hundreds of microseconds; one second is far
// beyond that and above the configuration's defaults (150,000 at most). The
// jump delay goes out twenty times over: 20 s for a full-field jump.
constexpr uint32_t kTempoMax = 1000000;

// Unit text of the KM250 line's lens and perimeter lines, from UniteDeLg.
const char* UniteTexte()
{
    if constexpr (kFibreLine) return tAfficheUnitCourante;
    return UniteDeLg != 0 ? tAfficheUnit1000e : tAfficheUnit100e;
}

// The rotation card turns by the perimeter in 1/100 mm, whatever the job's unit.
int32_t Perimetre100e(int32_t perimetre, int32_t unite)
{
    return unite != 0 ? ArrondiLoinDeZero(perimetre / 10.0) : perimetre;
}

// Whether the header asks for a cylinder that this build can turn.
bool CylindreDemande()
{
    const int32_t champ = Champ(ChTypeMarquageDemande);
    if constexpr (kAvecCarte) return DMC_OK != 0 && champ != 0;
    else return champ != 0;
}

enum class AvantEntete { Valide, Incomplete, TropLongue };

AvantEntete LitAvantEntete()
{
    const VueJob vue = VueCourante();
    if constexpr (!kViper) {
        bReceptionFirmware = 0;
        if constexpr (kAvecCarte) bPositionningFleche = 0;
        bChangementIP = 0;
        if constexpr (kFibreLine) TypeLaser = 0;
        else ModelLaser = 0;
    }
    // The length is kept in 8 bits: at most 41 "!LB" records before the last one.
    constexpr uint32_t kMaxAvantEntete = 252;
    uint32_t longueur = 0;
    char tag[4] = {};
    do {
        if (longueur > kMaxAvantEntete) return AvantEntete::TropLongue;
        if (!vue.Couvre(longueur, 3)) return AvantEntete::Incomplete;
        std::memcpy(tag, vue.octets + longueur, 3);
        if constexpr (kKm250Line) std::printf("Type du laser : %s\n", tag);
        longueur += 6;
    } while (std::strcmp(tag, "!LB") == 0);
    if (longueur > kMaxAvantEntete) return AvantEntete::TropLongue;
    longueur += 2;
    LgAvantEntete = static_cast<uint8_t>(longueur);
    if constexpr (kKm250Line) std::printf("Longueur avant Entete : %u\n", unsigned{LgAvantEntete});

    const std::string_view t(tag, 3);
    if constexpr (kViper) {
        bReceptionFirmware = 0;
        bChangementIP = 0;
        LaserKM250 = 0;
        if (t == "!KM") {
            LaserKM250 = 1;
        } else if (t == "!LF") {
            bReceptionFirmware = 1;
            bSimulation = 0;
        } else if (t == "!IP") {
            bChangementIP = 1;
        }
        if (t == "!PC") {
            bPreChauffe = 1;
            std::printf("LectAvantEntete        Fiche de PreChauffe\n");
        }
    } else {
        if (t == "!KM") {
            if constexpr (kFibreLine) {
                TypeLaser = 1;
                std::printf("TypeLaser=%d  -> YAG100\n", TypeLaser);
            } else {
                ModelLaser = 1;
                std::printf(build::kId == Id::Km250 ? "ModelLaser=%d  -> Laser YAG/GREEN\n"
                                                    : "ModelLaser=%d  -> Laser YAG\n",
                            ModelLaser);
            }
        }
        if (t == "!ZK") {
            if constexpr (kFibreLine) {
                TypeLaser = 2;
                std::printf("TypeLaser=%d  -> Fiber Laser\n", TypeLaser);
            } else {
                ModelLaser = 2;
                std::printf("ModelLaser=%d  -> Fiber Laser\n", ModelLaser);
            }
        }
        if (t == "!LF") {
            bReceptionFirmware = 1;
            bSimulation = 0;
        }
        if (kAvecCarte && t == "!PF") {
            std::printf("Fiche de positionnement fleche (Indicatif origine rotation) ou de retour origine\n");
            bPositionningFleche = 1;
            bSimulation = 0;
        }
        if (t == "!IP") bChangementIP = 1;
        // The header is read afterwards: this is the previous job's file type.
        if (kKm250Line && TypeDuFichier == 2) bPreChauffe = 1;
    }

    if (kAvecCarte && bPositionningFleche != 0) {
        ++LgAvantEntete;
        if (!vue.Couvre(0, LgAvantEntete + 1u)) return AvantEntete::Incomplete;
        NbrePasRotation = static_cast<int32_t>(LectNbrePasRotation(LgAvantEntete));
        if constexpr (kFibreLine) std::printf(" NbrePasRotation=%d\n", NbrePasRotation);
        else std::printf(" NbrePasRotation=%ld\n", L(NbrePasRotation));
        return AvantEntete::Valide;
    }
    if (!vue.Couvre(0, LgAvantEntete)) return AvantEntete::Incomplete;
    auto chiffre = [&](uint32_t p) { return static_cast<uint8_t>(vue.Octet(p) - 0x30); };
    LgEntete = 100u * chiffre(LgAvantEntete - 4u) + 10u * chiffre(LgAvantEntete - 3u) + chiffre(LgAvantEntete - 2u);
    if constexpr (!kViper) std::printf("Longueur avant Entete : %d\n", LgAvantEntete);
    std::printf("Longeur de l'EnTete : %lu\n", UL(LgEntete));
    return AvantEntete::Valide;
}

// Clears what would make the wait run something other than a marking.
void EffaceGenresFiche()
{
    bSimulation = 0;
    PositionningTimeout = 0;
    bTCReglageMinMax = 0;
    bFocalisationAPlat = 0;
    bFocalisationTC = 0;
    bPositionnementTC = 0;
    bPositionTC2 = 0;
    bPositionXEtau = 0;
    bPositionYEtau = 0;
    bTestInscription = 0;
}

int32_t Refuse(const VueJob& vue)
{
    std::printf("Fichier pas valide -> Pas d'analyse de l'entête\n");
    FichierOK = 0;
    EffaceGenresFiche();
    bReceptionFirmware = 0;
    bPositionningFleche = 0;
    bChangementIP = 0;
    bPreChauffe = 0;
    return vue.taille == 0 ? 0 : static_cast<int32_t>(vue.taille - 1);
}

enum class Forme { Complete, Courte };

// Pre-header, then what must hold before any field is used: the whole header
// received, and no cylinder perimeter of 0 to divide by (a resolution of 0
// only stops a raster record, in the walk). The jobs that return before
// those fields are read are not held to them.
bool ControleJob(const VueJob& vue, Forme forme)
{
    switch (LitAvantEntete()) {
    case AvantEntete::TropLongue:
        std::printf("Pré-entête trop longue (plus de 255 octets)\n");
        return false;
    case AvantEntete::Incomplete:
        std::printf("Fichier incomplet : %lu octets reçus\n", UL(vue.taille));
        return false;
    case AvantEntete::Valide:
        break;
    }
    if (kAvecCarte && bPositionningFleche != 0) return true;
    const uint64_t attendus = uint64_t{LgAvantEntete} + LgEntete;
    if (attendus > vue.taille) {
        std::printf("Fichier incomplet : %lu octets reçus pour une entête de %lu octets\n", UL(vue.taille),
                    UL(LgEntete));
        return false;
    }
    const bool retourIP = forme == Forme::Courte || (kKm250Line && !kViper);
    if (bReceptionFirmware != 0 || (bChangementIP != 0 && retourIP)) return true;

    if (forme == Forme::Complete && CylindreDemande() && Perimetre100e(Champ(ChPerimetre), Champ(ChUnite)) == 0) {
        std::printf("Périmètre du cylindre nul dans l'entête\n");
        return false;
    }
    return true;
}

int32_t FinAnalyse()
{
    std::printf("FIN de l'analyse de l'entête\n");
    return static_cast<int32_t>(LgAvantEntete + LgEntete - 1);
}

void LitFirmware()
{
    std::printf("Firmware upload\n");
    LectFilename(LgAvantEntete + kDecalageNom);
    FirmwareFilesize = LectFilesize(Position(ChTailleFirmware));
    FirmwareChecksum = LectChecksum(Position(ChChecksum));
}

void LitUnite()
{
    UniteDeLg = LectUniteFirmware(Position(ChUnite));
    std::printf("Unitée de longueur utilisée (0->1/100e  1->1/1000e de mm) : %ld\n", L(UniteDeLg));
}

void FixeUnite()
{
    if (UniteDeLg != 0) {
        CoefDivUnitVersmm = 1000.0f;
        CoefUnitVersNano = 1000;
        CoefUnitVersMicron = 1;
        tAfficheUnitCourante = tAfficheUnit1000e;
    } else {
        CoefDivUnitVersmm = 100.0f;
        CoefUnitVersNano = 10000;
        CoefUnitVersMicron = 10;
        tAfficheUnitCourante = tAfficheUnit100e;
    }
}

void LitMarquageUnique()
{
    MarquageUnique = LectTypeMarquageStdUnique(Position(ChMarquageUnique));
    std::printf("Marquage unique demandée ? (0-> Non  1-> Oui) : %ld\n", L(MarquageUnique));
}

void LitModele()
{
    ModelDuLaser = LectModelLaser(Position(ChModele));
    if constexpr (build::kId == Id::FibreNoDmc) std::printf("Code du Model du laser :%x\n", unsigned(ModelDuLaser));
    else std::printf("Code du Model du laser :%lx\n", UL(static_cast<uint32_t>(ModelDuLaser)));
}

void LitTypeFichier()
{
    TypeDuFichier = LectTypeFichier(Position(ChTypeFichier));
    if constexpr (build::kId == Id::FibreNoDmc) std::printf("type du fichier lu :%d\n", TypeDuFichier);
    else if constexpr (build::kId == Id::Fibre || build::kId == Id::Km250NoDmc)
        std::printf("Type du fichier : %x\n", unsigned(TypeDuFichier));
    else std::printf("Type du fichier : %ld\n", L(TypeDuFichier));
}

// Cylinder or flat, from the header; perimetreJob gets the perimeter in job units.
void LitCylindre(int32_t& perimetreJob)
{
    perimetreJob = 0;
    const bool cylindre = kAvecCarte ? LectTypeMarquageDemande(Position(ChTypeMarquageDemande)) != 0
                                     : LectPresenceTourneCylindre(Position(ChTypeMarquageDemande)) != 0;
    if (!cylindre) {
        bTC_DMC = 0;
        if constexpr (kAvecCarte) {
            bDMCpasApas = 0;
            bDdeRetourOrigine = 0;
        }
        bTCReglageMinMax = 0;
        PerimetreCylindreAMarquer = 0;
        SavePerimetreCylindre = 0;
        if constexpr (!kAvecCarte) SwitchPlatCylindre();
        return;
    }
    SavePerimetreCylindre = PerimetreCylindreAMarquer;
    if constexpr (kAvecCarte) {
        bDMCpasApas = 1;
        bDdeRetourOrigine = 1;
        bFirstRotationPU = 1;
    } else {
        bTC_DMC = 1;
        SwitchPlatCylindre();
    }
    perimetreJob = LecturePerimetreTC(Position(ChPerimetre));
    PerimetreCylindreAMarquer = Perimetre100e(perimetreJob, UniteDeLg);
    if constexpr (kFibreLine) {
        fPerimetreEnmm = static_cast<float>(perimetreJob) / CoefDivUnitVersmm;
        std::printf("PerimetreCylindreAMarquer = %ld %s ->  fPerimetreEnmm = %.2f mm\n", L(perimetreJob),
                    tAfficheUnitCourante, static_cast<double>(fPerimetreEnmm));
        return;
    }
    fPerimetreEnmm = static_cast<float>(perimetreJob / (UniteDeLg != 0 ? 1000.0 : 100.0));
    const char* unite = UniteDeLg != 0 ? "1/1000" : "1/100";
    if constexpr (kAvecCarte)
        std::printf("PerimetreCylindreAMarquer = %ld %s de mm  ->  fPerimetreEnmm = %.3f mm  (bFirstRotationPU=%d  "
                    "bDMCpasApas=%d   bTC_DMC=%d)\n",
                    L(perimetreJob), unite, static_cast<double>(fPerimetreEnmm), bFirstRotationPU, bDMCpasApas,
                    bTC_DMC);
    else
        std::printf("PerimetreCylindreAMarquer = %ld %s de mm  ->  fPerimetreEnmm = %.3f mm   bTC_DMC=%d)\n",
                    L(perimetreJob), unite, static_cast<double>(fPerimetreEnmm), bTC_DMC);
}

void LitPosition()
{
    PositionningTimeout = static_cast<uint32_t>(LectPositionning(Position(ChPositionnement)));
    bSimulation = PositionningTimeout != 0 ? 1 : 0;
}

struct GenreFiche {
    bool position;  // help sheets read how long the outline is traced
    uint8_t* drapeau;
    uint8_t* second;
    const char* message;  // the KM250 line's Y-vice line shows bSimulation
};

// The job kind from its file type. Every kind clears the flags it does not set;
// a type the build does not know is a marking sheet.
void ClasseFiche()
{
    const std::array<GenreFiche, 11> genres = {{
        {false, nullptr, nullptr, "Fiche de Marquage\n"},
        {true, nullptr, nullptr, "Fiche de Positionnement\n"},
        {false, kKm250Line && !kViper ? &bPreChauffe : nullptr, nullptr,
         kFibreLine ? "Fiche de Marquage\n" : "Fiche de Prechauffe\n"},
        {true, &bFocalisationAPlat, nullptr, "Fiche d'aide à la Focalisation A PLAT\n"},
        {false, &bTCReglageMinMax, nullptr, "Reglage du Tourne Cylindre\n"},
        {true, &bPositionnementTC, nullptr,
         kAvecCarte ? "Fiche d'aide au Positionnement du TC1\n" : "Fiche d'aide au Positionnement du TC\n"},
        {true, &bFocalisationAPlat, &bFocalisationTC, "Fiche d'aide à la Focalisation TC\n"},
        {true, &bPositionTC2, nullptr, "Fiche d'aide au Positionnement du TC2 (TC Sarvel)\n"},
        {true, &bPositionXEtau, nullptr, "Fiche d'aide au Positionnement de l'étau Sarvel selon l'axe X\n"},
        {true, &bPositionYEtau, nullptr,
         kFibreLine ? "Fiche d'aide au Positionnement de l'étau Sarvel selon l'axe Y\n"
                    : "Fiche d'aide au Positionnement de l'étau Sarvel selon l'axe Y    bSimulation=%d \n"},
        {false, &bTestInscription, nullptr, kFibreLine ? "Test Incription\n" : "Test Inscription\n"},
    }};
    // The VIPER board's pre-heat flag comes from the "!PC" tag.
    const bool prechauffeViper = kViper && TypeDuFichier == 2 && bPreChauffe != 0;
    EffaceGenresFiche();
    bPreChauffe = prechauffeViper ? 1 : 0;
    constexpr int32_t kDernierType = kViper ? 6 : 10;
    const bool etau = TypeDuFichier >= 7 && TypeDuFichier <= 9;
    if (TypeDuFichier < 0 || TypeDuFichier > kDernierType || (etau && !kAvecCarte)) return;

    const GenreFiche& g = genres[static_cast<size_t>(TypeDuFichier)];
    if (g.position) LitPosition();
    if (g.drapeau != nullptr) *g.drapeau = 1;
    if (g.second != nullptr) *g.second = 1;
    std::printf(g.message, bSimulation);
}

struct Focale {
    int32_t focale;
    int32_t marge1000;  // origin margin, 1/1000 mm
    int32_t marge100;
    int32_t demiChamp1000;
    int32_t demiChamp100;
    float course;      // field, mm
    float demiCourse;  // mm
    const char* ligne;
};

constexpr std::array<Focale, 5> kFocales = {{
    {100, 8000, 800, 40500, 4050, 81.0f, 32.5f,
     "F100 Origine dans la Pratique : X=%ld    Y=%ld   Demi-Champ Focale=%ld   (Valeurs %s)\n"},
    {160, 10000, 1000, 65000, 6500, 130.0f, 55.0f,
     "F160 Origine dans la Pratique : X=%ld    Y=%ld    DemiChampFocale=%ld\t\t(Valeurs %s)\n"},
    {254, 10000, 1000, 100000, 10000, 200.0f, 90.0f,
     "F254 Origine dans la Pratique : X=%ld    Y=%ld    DemiChampFocale=%ld\t\t(Valeurs %s)\n"},
    {330, 20000, 2000, 140000, 14000, 280.0f, 120.0f,
     "F330 Origine dans la Pratique : X=%ld    Y=%ld   DemiChampFocale=%ld\t\t(Valeurs %s)\n"},
    {420, 2000, 2000, 1, 1, 1.0f, 1.0f, nullptr},
}};

// Lenses the full form knows: all five, the VIPER build's the first three.
constexpr int32_t kFocalesConnues = kViper ? 3 : 5;
// Half travel of the VIPER build's lenses and of the YAG loop's.
constexpr std::array<float, 3> kDemiCourseCourte = {35.0f, 60.0f, 90.0f};

// Offsets added to the plate origin; false, with the message, when the
// origin would leave 32 bits: the job is refused.
bool DecaleOrigine(int64_t dx, int64_t dy)
{
    const int64_t x = int64_t{OrgXPlaque} + dx;
    const int64_t y = int64_t{OrgYPlaque} + dy;
    if (!Tient32(x) || !Tient32(y)) {
        std::printf("Origine de la plaque hors limites : X=%lld  Y=%lld\n", static_cast<long long>(x),
                    static_cast<long long>(y));
        return false;
    }
    OrgXPlaque = static_cast<int32_t>(x);
    OrgYPlaque = static_cast<int32_t>(y);
    return true;
}

bool OrigineDansLaPratique(int32_t perimetreJob)
{
    if (NumFocale < 0 || NumFocale >= kFocalesConnues) return true;
    const Focale& f = kFocales[static_cast<size_t>(NumFocale)];
    const int64_t demiPerimetre = static_cast<uint32_t>(perimetreJob) / 2;
    if (NumFocale == 4) {
        if constexpr (kFibreLine) {
            if (!DecaleOrigine(2000, bTC_DMC != 0 ? demiPerimetre : 2000)) return false;
            DemiChampFocale = 1;
            std::printf("FOCALE 420 : PAS DE CHAMPS DEFINIS pour cette focale : DemiChampFocale=%ld  en 1/100e de mm\n",
                        L(DemiChampFocale));
        }
        return true;
    }
    MargeFocaleCurrentUnit = UniteDeLg != 0 ? f.marge1000 : f.marge100;
    DemiChampFocale = UniteDeLg != 0 ? f.demiChamp1000 : f.demiChamp100;
    const bool cylindre = kViper ? bTC_DMC != 0 : (bTC_DMC != 0 || bDMCpasApas != 0) && bFocalisationTC == 0;
    if (!DecaleOrigine(MargeFocaleCurrentUnit, cylindre ? demiPerimetre : MargeFocaleCurrentUnit)) return false;
    std::printf(f.ligne, L(OrgXPlaque), L(OrgYPlaque), L(DemiChampFocale), UniteTexte());
    return true;
}

void LitTemposCylindre()
{
    const bool cylindre = kViper ? bTC_DMC != 0 : bTC_DMC != 0 || bDMCpasApas != 0;
    if (!cylindre) {
        ModeTurboTCValide = 0;
        TempoFinRotation = 0;
        TempoInterligneTC = 0;
        std::printf("  Marquage à PLAT, Temporisation fin de Rotation = Interligne = %ld ms\n", L(TempoFinRotation));
        return;
    }
    ModeTurboTCValide = LectModeTurboTC(Position(ChTurbo));
    TempoFinRotation = LectTempoFinRotation(Position(ChTempoFinRotation));
    TempoInterligneTC = LectTempoInterligneTC(Position(ChTempoInterligne));
    if (ModeTurboTCValide != 0) {
        std::printf("Mode Turbo TC validé");
        std::printf("   Temporisation  Fin de Rotation=%ld ms\n", L(TempoFinRotation));
        if constexpr (kViper) std::printf("                       Interligne=%d ms\n", TempoInterligneTC);
        else std::printf("                       Interligne=%ld ms\n", L(TempoInterligneTC));
    } else {
        std::printf("Mode TC Normal\n");
        if constexpr (kFibreLine)
            std::printf("  Temporisation par défaut, fin de Rotation = %ld ms - Interligne = %ld ms\n",
                        L(TempoFinRotation), L(TempoInterligneTC));
        else if constexpr (kViper)
            std::printf("  Temporisation par défaut, fin de Rotation = %ldms - Interligne = %ldms\n",
                        L(TempoFinRotation), L(TempoInterligneTC));
        else
            std::printf("  Temporisation TC lues, fin de Rotation = %ld ms - Interligne = %ld ms\n",
                        L(TempoFinRotation), L(TempoInterligneTC));
    }
}

// Timings and jump speed; false, with the message, for a delay above
// kTempoMax (taken as unsigned, as the host gives it) or a jump speed that
// leaves 32 bits once scaled: none of them is then kept.
bool LitTempos()
{
    const int32_t saut = LectTempoSaut(Position(ChTempoSaut));
    const int32_t tir = LectTempoFinDeVecteur(Position(ChTempoFinVecteur));
    const int32_t pTir = LectTempoPremierPIC(Position(ChTempoPremierTir));
    const int64_t vitesse = LectVitesseDeSaut(Position(ChVitesseSaut)) * 10;
    const auto us = [](int32_t t) { return UL(static_cast<uint32_t>(t)); };
    if (us(saut) > kTempoMax || us(tir) > kTempoMax || us(pTir) > kTempoMax) {
        std::printf("Temporisation hors limites dans l'entête : saut=%lu  tir=%lu  pré-tir=%lu us (maximum %lu us)\n",
                    us(saut), us(tir), us(pTir), UL(kTempoMax));
        return false;
    }
    if (!Tient32(vitesse)) {
        std::printf("Vitesse de saut hors limites dans l'entête : %lld\n", static_cast<long long>(vitesse));
        return false;
    }
    TempoSaut = saut;
    TempoTir = tir;
    TempopTir = pTir;
    VitesseSaut = static_cast<int32_t>(vitesse);
    // Only the low byte is kept: the field may be any 32-bit value.
    Orientation = static_cast<uint8_t>(static_cast<uint32_t>(LectOrientation(Position(ChOrientationImage))) + 1u);
    return true;
}

void LitResolution()
{
    ResolutionDpiX = static_cast<uint32_t>(LectDpiX(Position(ChDpiX)));
    ResolutionDpiY = static_cast<uint32_t>(LectDpiY(Position(ChDpiY)));
}

void LitPuissanceEtVitesse(bool full)
{
    BlackInitialpower = bSimulation != 0 ? 0 : LectPowerInitialDuNoir(Position(ChPuissanceNoir));
    if (full) LitTemposCylindre();
    if (!full || kKm250Line) WritePower(static_cast<uint16_t>(BlackInitialpower));
    else LFWritePowerV2(static_cast<uint16_t>(BlackInitialpower));
    VitesseInitiale = LectInitialSpeed(Position(ChVitesseInitiale));
    WriteInitialSpeed(static_cast<uint16_t>(VitesseInitiale));
    if (!full) return;
    lasparam.VitesseMarquage = ArrondiEntier(MarkingSpeed / 10.0);
    if constexpr (kFibreLine) std::printf("Vitesse de marquage : %d mm/s\n", lasparam.VitesseMarquage);
    if constexpr (build::kId == Id::FibreNoDmc || (kKm250Line && !kViper))
        std::printf("VitesseInitiale=%ld mm/s\n", L(VitesseInitiale));
    if constexpr (kViper) std::printf("Vitesse de marquage : %d\n", lasparam.VitesseMarquage);
}

// Correction types, angles, gains and the fixed word, then the lens is loaded.
void ActiveCorrection(ParamCorrection p)
{
    // Only the low byte is kept: the field may be any 32-bit value.
    p.TypeCorrectionX = static_cast<uint8_t>(static_cast<uint32_t>(LectTypeCorrectionX(Position(ChTypeCorrectionX))) + 1u);
    p.TypeCorrectionY = static_cast<uint8_t>(static_cast<uint32_t>(LectTypeCorrectionY(Position(ChTypeCorrectionY))) + 1u);
    p.AngleX = ChampFlottant(ChCorrecAngX, 10.0);
    p.AngleY = ChampFlottant(ChCorrecAngY, 10.0);
    p.GainX = ChampFlottant(ChGainLineaireX, 1000.0);
    p.GainY = ChampFlottant(ChGainLineaireY, 1000.0);
    p.Reserve = 40;
    ActiveFocale(p);
}

// An unknown lens keeps the lens loaded now.
ParamCorrection FocaleInconnue()
{
    std::printf("Numéro de focale inconnu !");
    ParamCorrection p{};
    p.Focale = CurrentParamCorrection.Focale;
    p.CourseX = CurrentParamCorrection.CourseX;
    p.CourseY = CurrentParamCorrection.CourseY;
    return p;
}

void FinCommune()
{
    bNegatif = LectTypeMarquage(Position(ChTypeMarquage)) != 0 ? 1 : 0;
    RasterPatternCorrection = LectDiffusion(Position(ChDiffusion));
    char texte[256];
    std::snprintf(texte, sizeof texte, " VALEUR ENTETE %li %li %li %li %li", L(VitesseSaut), L(TempoSaut),
                  L(TempoTir), L(TempopTir), L(VitesseSaut));
    FK_PP(texte);
}

int32_t AnalyseComplete(unsigned char* job)
{
    BuffCourant = job;
    const VueJob vue = VueCourante();
    if (!ControleJob(vue, Forme::Complete)) return Refuse(vue);

    if constexpr (build::kId == Id::FibreNoDmc) LitModele();
    if constexpr (kViper) {
        LitUnite();
        LitMarquageUnique();
    } else {
        LitTypeFichier();
        if constexpr (build::kId == Id::Km250) LitModele();
        LitUnite();
        LitMarquageUnique();
        if (kKm250Line && bChangementIP != 0) return static_cast<int32_t>(LgAvantEntete + LgEntete - 1);
        if constexpr (kFibreLine) FixeUnite();
    }

    if (bReceptionFirmware != 0 || (kAvecCarte && bPositionningFleche != 0)) {
        if (bReceptionFirmware != 0) LitFirmware();
        else if constexpr (kFibreLine) std::printf("Positionnement OU retour origine\n");
        else
            std::printf("Réglage origine rotation (Flèche mandrin verticale) OU retour origine détecté par "
                        "capteur\n");
        return FinAnalyse();
    }

    int32_t perimetreJob = 0;
    LitCylindre(perimetreJob);
    if constexpr (build::kId == Id::Fibre) LitModele();
    if constexpr (kViper) LitTypeFichier();
    ClasseFiche();

    OrgXPlaque = LectOrigineXPlaque(Position(ChOrigineX));
    OrgYPlaque = LectOrigineYPlaque(Position(ChOrigineY));
    NumFocale = LectTypeFocale(Position(ChFocale));
    if constexpr (kViper) std::printf("Origine : X=%ld    Y=%ld\n", L(OrgXPlaque), L(OrgYPlaque));
    if (!OrigineDansLaPratique(perimetreJob)) return Refuse(vue);

    DimXPlaque = LectDimXDeLaPlaque(Position(ChPlaqueX));
    DimYPlaque = LectDimYDeLaPlaque(Position(ChPlaqueY));
    if constexpr (kAvecCarte) {
        MarquageIntExtCylindre = LectTypeMarquageIntExt(Position(ChIntExt));
        sens_DMC_OK = MarquageIntExtCylindre != 0 ? 1 : 0;
        Reglage_Sens_DMC();
    }
    if (!LitTempos()) return Refuse(vue);
    if constexpr (build::kId == Id::FibreNoDmc) std::printf("Vitesse de saut=%ld mm/s\n", L(VitesseSaut / 10));
    LitResolution();
    if constexpr (kFibreLine)
        std::printf("ResolutionDpiX= %ld ResolutionDpiY=%ld\n", UL(ResolutionDpiX), UL(ResolutionDpiY));
    LitPuissanceEtVitesse(true);
    OrientationMarquage = LectOrientationMarquage(Position(ChOrientation));

    ParamCorrection p{};
    if (NumFocale >= 0 && NumFocale < kFocalesConnues) {
        const Focale& f = kFocales[static_cast<size_t>(NumFocale)];
        p.Focale = f.focale;
        p.CourseX = f.course;
        p.CourseY = bTC_DMC != 0 ? fPerimetreEnmm : f.course;
        DemiCourse = kViper ? kDemiCourseCourte[static_cast<size_t>(NumFocale)] : f.demiCourse;
    } else {
        p = FocaleInconnue();
    }
    GainXRectPosition = ChampFlottant(ChGainRectX, 1000.0);
    GainYRectPosition = ChampFlottant(ChGainRectY, 1000.0);
    std::printf("Gain diode de visee : sur X = %.3f    sur Y = %.3f\n", static_cast<double>(GainXRectPosition),
                static_cast<double>(GainYRectPosition));
    ActiveCorrection(p);
    FinCommune();
    return FinAnalyse();
}

// The YAG loop's header: no file type, cylinder or model; the position field
// only when the header is long enough to hold it.
int32_t AnalyseCourte(unsigned char* job)
{
    BuffCourant = job;
    const VueJob vue = VueCourante();
    if (!ControleJob(vue, Forme::Courte)) return Refuse(vue);
    if (bChangementIP != 0) return static_cast<int32_t>(LgAvantEntete + LgEntete - 1);
    if (bReceptionFirmware != 0) {
        LitFirmware();
        return FinAnalyse();
    }
    PositionningTimeout = LgEntete > DecalageChamp(ChPositionnement) + 3 ? static_cast<uint32_t>(Champ(ChPositionnement)) : 0;
    bSimulation = PositionningTimeout != 0 ? 1 : 0;
    // Moves are made of the unit factors: a header without the unit field is in 1/100 mm.
    if (LgEntete > DecalageChamp(ChUnite) + 3) LitUnite();
    else UniteDeLg = 0;
    FixeUnite();

    OrgXPlaque = LectOrigineXPlaque(Position(ChOrigineX));
    OrgYPlaque = LectOrigineYPlaque(Position(ChOrigineY));
    NumFocale = LectTypeFocale(Position(ChFocale));
    constexpr std::array<int32_t, 5> kDecalages = {550, 500, 1000, 0, 0};
    if (NumFocale >= 0 && NumFocale < 5) {
        const int32_t d = kDecalages[static_cast<size_t>(NumFocale)];
        if (!DecaleOrigine(d, d)) return Refuse(vue);
    }

    DimXPlaque = LectDimXDeLaPlaque(Position(ChPlaqueX));
    DimYPlaque = LectDimYDeLaPlaque(Position(ChPlaqueY));
    if (!LitTempos()) return Refuse(vue);
    std::printf("Fiche de Marquage ou de positionnement\n");
    LitResolution();
    if constexpr (build::kId == Id::FibreNoDmc)
        std::printf("ResolutionDpiX= %ld ResolutionDpiY=%ld\n", UL(ResolutionDpiX), UL(ResolutionDpiY));
    LitPuissanceEtVitesse(false);
    OrientationMarquage = LectOrientationMarquage(Position(ChOrientation));

    ParamCorrection p{};
    if (NumFocale >= 0 && NumFocale < 5) {
        const Focale& f = kFocales[static_cast<size_t>(NumFocale)];
        p.Focale = f.focale;
        p.CourseX = NumFocale < 3 ? f.course : 1.0f;
        p.CourseY = p.CourseX;
        DemiCourse = NumFocale < 3 ? kDemiCourseCourte[static_cast<size_t>(NumFocale)] : 1.0f;
    } else {
        p = FocaleInconnue();
    }
    GainXRectPosition = ChampFlottant(ChGainRectX, 1000.0);
    GainYRectPosition = ChampFlottant(ChGainRectY, 1000.0);
    ActiveCorrection(p);
    FinCommune();
    return FinAnalyse();
}

}  // namespace

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
        FirmwareFilename[i] = c == ' ' ? '\0' : static_cast<char>(c);
    }
    FirmwareFilename[16] = '\0';
    std::printf("File name : %s\n", FirmwareFilename);
    return FirmwareFilename;
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
                    brut, L(v), tAfficheUnitCourante);
    } else {
        const char* unite = UniteDeLg != 0 ? "1/1000" : "1/100";
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
    if constexpr (kAvecCarte) return DMC_OK != 0 && v != 0 ? 1 : 0;
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
    int64_t v = bFocalisationAPlat != 0 ? 2500 : Champ32(position);
    if constexpr (kAvecCarte) {
        if (bPositionnementTC != 0 || bPositionTC2 != 0 || bPositionXEtau != 0 || bPositionYEtau != 0) v *= 50;
    }
    if constexpr (build::kId != Id::FibreNoDmc && !kViper)
        std::printf("Vitesse de saut : %lld mm/s\n", static_cast<long long>(v));
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
    if constexpr (build::kId == Id::FibreNoDmc) {
        std::printf(ModelDuLaser == 772 ? "Fibre 300 détecté Puissance initiale = %d = %x\n"
                                        : "Autre Laser détecté Puissance initiale = %d = %x\n",
                    code, unsigned{code});
        std::printf("Puissance initiale configurée=%d (0x%x source fibre)\n", septBits, unsigned(septBits));
    } else {
        std::printf(ModelDuLaser == 772   ? "Fibre 300 détecté - Puissance initiale = %d\n"
                    : ModelDuLaser == 774 ? "Fibre 500 détecté - Puissance initiale = %d\n"
                                          : "Fibre100/200 détecté - Puissance initiale = %d\n",
                    code);
        std::printf("Puissance initiale configurée de la source fibre =%d \n", septBits);
    }
    Pilot_Puissance(septBits);
}

void WriteInitialSpeed(uint16_t speed)
{
    MarkingSpeed = speed * 10;
    DeltaMarkingSpeed = static_cast<int32_t>(MarkingSpeed * 0.8);
    SpeedInc = static_cast<double>(DeltaMarkingSpeed / 64);
}
