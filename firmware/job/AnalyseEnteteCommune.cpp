#include "AnalyseEnteteInterne.h"
#include "mlas_entiers.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "prnReception.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace entete {

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

// Longest delay a header may ask for, in microseconds. Galvanometers settle
// and sources fire within tens to hundreds of microseconds; one second is far
// beyond that and above the configuration's defaults (150,000 at most). The
// jump delay goes out twenty times over: 20 s for a full-field jump.
constexpr uint32_t kTempoMax = 1000000;

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

namespace {

// The source a pre-header tag names: TypeLaser in the fibre line, ModelLaser
// in the KM250 line.
void NoteSource(uint8_t code, const char* texteFibre, const char* texteKm250)
{
    uint8_t& source = kFibreLine ? TypeLaser : ModelLaser;
    source = code;
    std::printf(kFibreLine ? texteFibre : texteKm250, source);
}

}  // namespace

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
        if (t == "!KM") NoteSource(1, "TypeLaser=%d  -> YAG100\n", build::kTraits.texteLaserYag);
        if (t == "!ZK") NoteSource(2, "TypeLaser=%d  -> Fiber Laser\n", "ModelLaser=%d  -> Fiber Laser\n");
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
    build::Affiche(build::kTraits.texteVitesseInitiale, L(VitesseInitiale));
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

}  // namespace entete
