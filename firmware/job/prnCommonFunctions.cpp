#include "prnCommonFunctions.h"

#include "AnalyseEnteteFichier.h"
#include "CommunicationViperGL.h"
#include "VueJob.h"
#include "build.h"
#include "mlas_dep.h"
#include "mlas_entiers.h"
#include "mk_dmc.h"
#include "mlas_dmc.h"
#include "mlas_func.h"
#include "mlas_param.h"
#include "prnanalyse.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

RaccordsCarteRotation RaccordsRotation;

namespace {

uint16_t Valeur(int32_t pos)
{
    return VueCourante().Mot16(static_cast<uint32_t>(pos) + 2);
}

// Frequencies come from the job: their ranges are worked out in 64 bits and held to 32.
int32_t Sature(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                     std::numeric_limits<int32_t>::max()));
}

// Percent to the power code of the laser family: base + floor(percent / 100 x span).
// Above 100 the code would run into the emission bit or past the byte.
uint16_t CodePuissance(uint16_t pourcent, int base, float etendue)
{
    const float f = std::floor(static_cast<float>(std::min<uint16_t>(pourcent, 100)) / 100.0f * etendue);
    return static_cast<uint16_t>(base + static_cast<int>(f));
}

// The 32-bit value of an FR pair; false when the low half does not follow.
bool PaireFR(int32_t pos, uint32_t& valeur)
{
    const VueJob vue = VueCourante();
    const auto p = static_cast<uint32_t>(pos);
    if (vue.Mot16(p + 4) != 0xFFFD || vue.Octet(p + 6) != 'F' || vue.Octet(p + 7) != 'R') {
        std::printf("Fréquence incomplète dans le fichier (FR sans sa seconde moitié) adresse=%x\n",
                    static_cast<unsigned>(pos));
        return false;
    }
    valeur = uint32_t{vue.Mot16(p + 2)} << 16 | vue.Mot16(p + 8);
    return true;
}

// The ready lamp lit until the start; false when a reset ends the wait instead.
bool AttenteDepart()
{
    if constexpr (build::kViper) Ecrire_Tor_Dsp(1, 1);
    for (;;) {
        if constexpr (!build::kViper) {
            Ecrire_Tor_Dsp(1, 1);
            if constexpr (build::kFibreLine) LFTestSiEventEnCours();
            else TestSiEventEnCours();
        }
        const unsigned char entrees = Get_Dsp_In();
        if ((entrees & 2) != 0) return true;
        if ((entrees & 1) == 0) return false;
    }
}

// Reset instead of start: the job ends here, kept for the next start.
int32_t PlanSuivantAbandonne()
{
    std::printf("Reset pendant l'attente du plan suivant -> Arrêt du marquage\n");
    Ecrire_Tor_Dsp(1, 0);
    InterromptMarquage(ArretMarquage::Reset);
    deplacement.MemX_PU = deplacement.MemY_PU = 0;
    return 4;
}

}  // namespace

void TourneDMC(double demiPas, char absolu)
{
    if constexpr (build::kDmc) {
        rotation.DMC_ON = 1;
        START_DMC();
        DEPLACE_DMC(demiPas, absolu, "NON");
        STOP_DMC();
        rotation.DMC_ON = 0;
    }
}

void DeplaceVersOriginePlaque()
{
    int32_t nano = 0;
    if constexpr (build::kFibreLine) nano = marquage.CoefUnitVersNano;
    else nano = marquage.UniteDeLg != 0 ? 1000 : 10000;
    DoVecteurMicrons(ArrondiEntier(static_cast<double>(marquage.OrgXPlaque) * nano),
                     ArrondiEntier(static_cast<double>(marquage.OrgYPlaque) * nano), 1, 0);
}

// DP, AI, RF, and OP on the last page: read, nothing to do on this machine.
int32_t FonctionDP(int32_t pos)
{
    return FonctionSansEffet(pos);
}

int32_t FonctionAssistanceAir(int32_t pos)
{
    return FonctionSansEffet(pos);
}

int32_t FonctionRefocalisation(int32_t pos)
{
    return FonctionSansEffet(pos);
}

int32_t FonctionRetourOriginePlaque(int32_t pos)
{
    return FonctionSansEffet(pos);
}

int32_t FonctionGestionTC2(int32_t pos)
{
    return FonctionSansEffet(pos);
}

int32_t FonctionSansEffet(int32_t)
{
    return 4;
}

int32_t LFFonctionPowerV2(int32_t pos)
{
    uint16_t p = CodePuissance(Valeur(pos), 128, 127.0f);
    if (marquage.ModelDuLaser == 772) build::Affiche(build::kTraits.texteFibre300Configuree, p, p);
    else if (marquage.ModelDuLaser == 774) build::Affiche(build::kTraits.texteFibre500Configuree, p, p);
    if (pupitre.bEcoMode != 0) {
        p &= 0x7F;
        build::Affiche(build::kTraits.texteModeEco, p);
    } else if constexpr (build::kFibreLine) {
        if (pupitre.bRetourNormalPendantMarquage != 0) {
            build::Affiche(build::kTraits.texteRetourNormal, p);
        } else {
            std::printf("Puissance marquage valide = 0x%x\n", p);
        }
    }
    Pilot_Puissance(p);
    return 4;
}

int32_t FonctionPower(int32_t pos)
{
    Pilot_Puissance(CodePuissance(Valeur(pos), 192, 63.0f));
    return 4;
}

int32_t FonctionVitesseMarquage(int32_t pos)
{
    uint16_t v = Valeur(pos);
    if (marquage.ModeTurboTCValide != 0) {
        v = static_cast<uint16_t>(v * 4);
        std::printf("Vitesse en mode Turbo TC = %d  mm/s \n", v);
    }
    marquage.MarkingSpeed = v * 10;
    std::printf("Vitesse marquage lue = %d  mm/s \n", v);
    marquage.DeltaMarkingSpeed = static_cast<int32_t>(std::floor(marquage.MarkingSpeed * 0.8));
    marquage.SpeedInc = static_cast<float>(marquage.DeltaMarkingSpeed) / 64.0f;
    return 4;
}

int32_t LFFonctionFrequence(int32_t pos)
{
    uint32_t valeur = 0;
    if (!PaireFR(pos, valeur)) return 4;
    marquage.Frequency = static_cast<int32_t>(valeur);
    std::printf("Frequence de marquage lue dans le fichier : %ld Hz - Calcul des plages d'utilisation\n",
                static_cast<long>(marquage.Frequency));
    const int32_t minimum = LFLimitesFrequence();
    if (minimum != 0 && marquage.Frequency < minimum) marquage.Frequency = minimum;
    marquage.PlageFreq = Sature(int64_t{marquage.FreqMaxDuLaser} - marquage.Frequency);
    marquage.FreqInc = marquage.PlageFreq / 128;
    marquage.FreqMoyenne = static_cast<double>(int64_t{marquage.Frequency} + marquage.PlageFreq / 2);
    return 10;
}

int32_t FonctionFrequence(int32_t pos)
{
    uint32_t valeur = 0;
    if (!PaireFR(pos, valeur)) return 4;
    marquage.Frequency = static_cast<int32_t>(valeur);
    if constexpr (build::kViper) {
        marquage.DeltaFrequency = Sature(int64_t{100000} - marquage.Frequency);
        marquage.FreqInc = marquage.DeltaFrequency / 64;
    } else {
        marquage.PlageFreq = Sature(int64_t{200000} - marquage.Frequency);
        marquage.FreqInc = marquage.PlageFreq / 128;
        marquage.FreqMoyenne = static_cast<double>(int64_t{marquage.Frequency} + marquage.PlageFreq / 2);
        std::printf("Frequence de marquage demandée : %ld Hz\n", static_cast<long>(marquage.Frequency));
    }
    return 10;
}

int32_t FonctionDureeImpulsion(int32_t pos)
{
    marquage.DureeImpulsion = static_cast<float>(Valeur(pos) / 10);
    return 4;
}

int32_t FonctionTestFinDeFile(int32_t pos, uint8_t& last)
{
    std::printf("OP détecté -> FonctionTestFinDeFile\n");
    const VueJob vue = VueCourante();
    const auto suivant = static_cast<uint32_t>(pos) + 6;
    // A job cut after its page end has no next page to wait for.
    last = !vue.Couvre(suivant, 2) || (vue.Octet(suivant) == 'J' && vue.Octet(suivant + 1) == 'F') ? 1 : 0;
    std::printf(last != 0 ? "FinDeFile = true\n" : "FinDeFile = false\n");
    return 4;
}

int32_t FonctionAttenteCdePageSuivante(int32_t)
{
    std::printf("OP -> JUMP \n");
    std::printf("\nAttente depart Marquage :\n");
    DepileTabPD();
    RetourOrigineInverse();
    Pause_Las(100);

    if constexpr (build::kViper) {
        // One move to the origin, in the job's unit, before the wait: the next
        // plane starts where the first one did.
        DeplaceVersOriginePlaque();
        Pause_Las(500);
        if (!AttenteDepart()) return PlanSuivantAbandonne();
        Ecrire_Tor_Dsp(1, 0);
        deplacement.MemX_PU = deplacement.MemY_PU = 0;
        return 4;
    }

    if constexpr (build::kDmc) {
        if (rotation.bDMCpasApas != 0) {
            if (RaccordsRotation.PriseOrigine != nullptr) RaccordsRotation.PriseOrigine();
            deplacement.RetourOrigineOK = 1;
            marquage.bDdeRetourOrigine = 0;
        }
        std::printf("\nAttente depart Marquage pour le marquage du Plan suivant :\n");
    }
    Ecrire_Tor_Dsp(2, 0);
    Pause_Las(200);
    if (!AttenteDepart()) return PlanSuivantAbandonne();
    deplacement.CUneRechercheOrgigine = 1;
    DeplaceVersOriginePlaque();
    Pause_Las(1000);
    Ecrire_Tor_Dsp(1, 0);
    Ecrire_Tor_Dsp(2, 1);
    deplacement.MemX_PU = deplacement.MemY_PU = 0;
    return 4;
}

int32_t FonctionFinDePage(int32_t pos)
{
    uint8_t last = 0;
    int32_t consumed = FonctionTestFinDeFile(pos, last);
    if (last != 0) {
        consumed = FonctionRetourOriginePlaque(pos);
        if constexpr (build::kDmc) {
            if (rotation.bDMCpasApas != 0) rotation.bLastFicheMultiPlansTC = 1;
        }
    } else {
        consumed = FonctionAttenteCdePageSuivante(pos);
    }
    if constexpr (build::kDmc) {
        if (marquage.bDdeRetourOrigine != 0 || rotation.bLastFicheMultiPlansTC != 0) {
            DoVecteurMicrons(0, 0, 1, 0);
            std::printf("FIN NORMAL - Prise Origine avec recherche du capteur - En relatif - Sens horaire\n");
            if (RaccordsRotation.PriseOrigine != nullptr) RaccordsRotation.PriseOrigine();
            deplacement.RetourOrigineOK = 1;
            marquage.bDdeRetourOrigine = 0;
        }
    }
    return consumed;
}

int32_t FonctionRetourRotation(int32_t pos)
{
    uint8_t last = 0;
    int32_t consumed = FonctionTestFinDeFile(pos, last);
    if (last != 0) consumed = FonctionRetourOriginePlaque(pos);
    DoVecteurMicrons(0, 0, 1, 0);
    if constexpr (build::kDmc) {
        rotation.DMC_ON = 1;
        START_DMC();
        std::printf("Retour origine rotation - En absolu - Sans recherche du capteur\n");
        DEPLACE_DMC(0.0, 1, "NON");
        STOP_DMC();
        rotation.DMC_ON = 0;
    }
    return consumed;
}
