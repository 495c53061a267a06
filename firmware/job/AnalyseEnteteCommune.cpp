#include "AnalyseEnteteInterne.h"
#include "mlas_entiers.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "prnReception.h"
#include "etat_marquage.h"
#include "etat_rotation.h"
#include "etat_reception.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace entete {

// Position of a field's last byte from BuffCourant.
uint32_t Position(ChampEntete champ)
{
    return uint32_t{marquage.LgAvantEntete} + DecalageChamp(champ) + 3;
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
    if constexpr (kAvecCarte) return rotation.DMC_OK != 0 && champ != 0;
    else return champ != 0;
}

namespace {

// The source a pre-header tag names: TypeLaser in the fibre line, ModelLaser
// in the KM250 line.
void NoteSource(uint8_t code, const char* texteFibre, const char* texteKm250)
{
    uint8_t& source = kFibreLine ? marquage.TypeLaser : marquage.ModelLaser;
    source = code;
    std::printf(kFibreLine ? texteFibre : texteKm250, source);
}

}  // namespace

AvantEntete LitAvantEntete()
{
    const VueJob vue = VueCourante();
    if constexpr (!kViper) {
        marquage.bReceptionFirmware = 0;
        if constexpr (kAvecCarte) marquage.bPositionningFleche = 0;
        marquage.bChangementIP = 0;
        if constexpr (kFibreLine) marquage.TypeLaser = 0;
        else marquage.ModelLaser = 0;
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
    marquage.LgAvantEntete = static_cast<uint8_t>(longueur);
    if constexpr (kKm250Line) std::printf("Longueur avant Entete : %u\n", unsigned{marquage.LgAvantEntete});

    const std::string_view t(tag, 3);
    if constexpr (kViper) {
        marquage.bReceptionFirmware = 0;
        marquage.bChangementIP = 0;
        marquage.LaserKM250 = 0;
        if (t == "!KM") {
            marquage.LaserKM250 = 1;
        } else if (t == "!LF") {
            marquage.bReceptionFirmware = 1;
            marquage.bSimulation = 0;
        } else if (t == "!IP") {
            marquage.bChangementIP = 1;
        }
        if (t == "!PC") {
            marquage.bPreChauffe = 1;
            std::printf("LectAvantEntete        Fiche de PreChauffe\n");
        }
    } else {
        if (t == "!KM") NoteSource(1, "TypeLaser=%d  -> YAG100\n", build::kTraits.texteLaserYag);
        if (t == "!ZK") NoteSource(2, "TypeLaser=%d  -> Fiber Laser\n", "ModelLaser=%d  -> Fiber Laser\n");
        if (t == "!LF") {
            marquage.bReceptionFirmware = 1;
            marquage.bSimulation = 0;
        }
        if (kAvecCarte && t == "!PF") {
            std::printf("Fiche de positionnement fleche (Indicatif origine rotation) ou de retour origine\n");
            marquage.bPositionningFleche = 1;
            marquage.bSimulation = 0;
        }
        if (t == "!IP") marquage.bChangementIP = 1;
        // The header is read afterwards: this is the previous job's file type.
        if (kKm250Line && marquage.TypeDuFichier == 2) marquage.bPreChauffe = 1;
    }

    if (kAvecCarte && marquage.bPositionningFleche != 0) {
        ++marquage.LgAvantEntete;
        if (!vue.Couvre(0, marquage.LgAvantEntete + 1u)) return AvantEntete::Incomplete;
        marquage.NbrePasRotation = static_cast<int32_t>(LectNbrePasRotation(marquage.LgAvantEntete));
        if constexpr (kFibreLine) std::printf(" NbrePasRotation=%d\n", marquage.NbrePasRotation);
        else std::printf(" NbrePasRotation=%ld\n", L(marquage.NbrePasRotation));
        return AvantEntete::Valide;
    }
    if (!vue.Couvre(0, marquage.LgAvantEntete)) return AvantEntete::Incomplete;
    auto chiffre = [&](uint32_t p) { return static_cast<uint8_t>(vue.Octet(p) - 0x30); };
    marquage.LgEntete = 100u * chiffre(marquage.LgAvantEntete - 4u) + 10u * chiffre(marquage.LgAvantEntete - 3u) + chiffre(marquage.LgAvantEntete - 2u);
    if constexpr (!kViper) std::printf("Longueur avant Entete : %d\n", marquage.LgAvantEntete);
    std::printf("Longeur de l'EnTete : %lu\n", UL(marquage.LgEntete));
    return AvantEntete::Valide;
}

// Clears what would make the wait run something other than a marking.
void EffaceGenresFiche()
{
    marquage.bSimulation = 0;
    marquage.PositionningTimeout = 0;
    marquage.bTCReglageMinMax = 0;
    marquage.bFocalisationAPlat = 0;
    marquage.bFocalisationTC = 0;
    marquage.bPositionnementTC = 0;
    marquage.bPositionTC2 = 0;
    marquage.bPositionXEtau = 0;
    marquage.bPositionYEtau = 0;
    marquage.bTestInscription = 0;
}

int32_t Refuse(const VueJob& vue)
{
    std::printf("Fichier pas valide -> Pas d'analyse de l'entête\n");
    reception.FichierOK = 0;
    EffaceGenresFiche();
    marquage.bReceptionFirmware = 0;
    marquage.bPositionningFleche = 0;
    marquage.bChangementIP = 0;
    marquage.bPreChauffe = 0;
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
    if (kAvecCarte && marquage.bPositionningFleche != 0) return true;
    const uint64_t attendus = uint64_t{marquage.LgAvantEntete} + marquage.LgEntete;
    if (attendus > vue.taille) {
        std::printf("Fichier incomplet : %lu octets reçus pour une entête de %lu octets\n", UL(vue.taille),
                    UL(marquage.LgEntete));
        return false;
    }
    const bool retourIP = forme == Forme::Courte || (kKm250Line && !kViper);
    if (marquage.bReceptionFirmware != 0 || (marquage.bChangementIP != 0 && retourIP)) return true;

    if (forme == Forme::Complete && CylindreDemande() && Perimetre100e(Champ(ChPerimetre), Champ(ChUnite)) == 0) {
        std::printf("Périmètre du cylindre nul dans l'entête\n");
        return false;
    }
    return true;
}

int32_t FinAnalyse()
{
    std::printf("FIN de l'analyse de l'entête\n");
    return static_cast<int32_t>(marquage.LgAvantEntete + marquage.LgEntete - 1);
}

void LitFirmware()
{
    std::printf("Firmware upload\n");
    LectFilename(marquage.LgAvantEntete + kDecalageNom);
    marquage.FirmwareFilesize = LectFilesize(Position(ChTailleFirmware));
    marquage.FirmwareChecksum = LectChecksum(Position(ChChecksum));
}

void LitUnite()
{
    marquage.UniteDeLg = LectUniteFirmware(Position(ChUnite));
    std::printf("Unitée de longueur utilisée (0->1/100e  1->1/1000e de mm) : %ld\n", L(marquage.UniteDeLg));
}

void FixeUnite()
{
    if (marquage.UniteDeLg != 0) {
        marquage.CoefDivUnitVersmm = 1000.0f;
        marquage.CoefUnitVersNano = 1000;
        marquage.CoefUnitVersMicron = 1;
        marquage.tAfficheUnitCourante = tAfficheUnit1000e;
    } else {
        marquage.CoefDivUnitVersmm = 100.0f;
        marquage.CoefUnitVersNano = 10000;
        marquage.CoefUnitVersMicron = 10;
        marquage.tAfficheUnitCourante = tAfficheUnit100e;
    }
}

// Offsets added to the plate origin; false, with the message, when the
// origin would leave 32 bits: the job is refused.
bool DecaleOrigine(int64_t dx, int64_t dy)
{
    const int64_t x = int64_t{marquage.OrgXPlaque} + dx;
    const int64_t y = int64_t{marquage.OrgYPlaque} + dy;
    if (!Tient32(x) || !Tient32(y)) {
        std::printf("Origine de la plaque hors limites : X=%lld  Y=%lld\n", static_cast<long long>(x),
                    static_cast<long long>(y));
        return false;
    }
    marquage.OrgXPlaque = static_cast<int32_t>(x);
    marquage.OrgYPlaque = static_cast<int32_t>(y);
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
    marquage.TempoSaut = saut;
    marquage.TempoTir = tir;
    marquage.TempopTir = pTir;
    marquage.VitesseSaut = static_cast<int32_t>(vitesse);
    // Only the low byte is kept: the field may be any 32-bit value.
    marquage.Orientation = static_cast<uint8_t>(static_cast<uint32_t>(LectOrientation(Position(ChOrientationImage))) + 1u);
    return true;
}

void LitResolution()
{
    marquage.ResolutionDpiX = static_cast<uint32_t>(LectDpiX(Position(ChDpiX)));
    marquage.ResolutionDpiY = static_cast<uint32_t>(LectDpiY(Position(ChDpiY)));
}

void LitPuissanceEtVitesse(bool full)
{
    marquage.BlackInitialpower = marquage.bSimulation != 0 ? 0 : LectPowerInitialDuNoir(Position(ChPuissanceNoir));
    if (full) LitTemposCylindre();
    if (!full || kKm250Line) WritePower(static_cast<uint16_t>(marquage.BlackInitialpower));
    else LFWritePowerV2(static_cast<uint16_t>(marquage.BlackInitialpower));
    marquage.VitesseInitiale = LectInitialSpeed(Position(ChVitesseInitiale));
    WriteInitialSpeed(static_cast<uint16_t>(marquage.VitesseInitiale));
    if (!full) return;
    lasparam.VitesseMarquage = ArrondiEntier(marquage.MarkingSpeed / 10.0);
    if constexpr (kFibreLine) std::printf("Vitesse de marquage : %d mm/s\n", lasparam.VitesseMarquage);
    build::Affiche(build::kTraits.texteVitesseInitiale, L(marquage.VitesseInitiale));
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
    marquage.bNegatif = LectTypeMarquage(Position(ChTypeMarquage)) != 0 ? 1 : 0;
    marquage.RasterPatternCorrection = LectDiffusion(Position(ChDiffusion));
    char texte[256];
    std::snprintf(texte, sizeof texte, " VALEUR ENTETE %li %li %li %li %li", L(marquage.VitesseSaut), L(marquage.TempoSaut),
                  L(marquage.TempoTir), L(marquage.TempopTir), L(marquage.VitesseSaut));
    FK_PP(texte);
}

}  // namespace entete
