#include "mlas_main.h"

#include "AnalyseEnteteFichier.h"
#include "CommunicationViperGL.h"
#include "GestionMenu.h"
#include "LiaisonSerie.h"
#include "TitanIO.h"
#include "mk_dmc.h"
#include "mlas_conf.h"
#include "mlas_correction.h"
#include "mlas_dep.h"
#include "mlas_dmc.h"
#include "mlas_etat.h"
#include "mlas_func.h"
#include "mlas_param.h"
#include "prnCommonFunctions.h"
#include "prnReception.h"
#include "prnVectorFunctions.h"
#include "prnanalyse.h"
#include "tcpip.h"
#include "get_lib.h"
#include "watchdog.h"

#include "mlas_boucles.h"
#include "plan_materiel.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

char MainVersion[21] = {};
const char* MainDate = build::kTraits.date;

libdevmem_handle* HandleOUT = nullptr;

uint8_t CestUnSaut = 1;
uint32_t CurrentBufferIndex = 0;
uint16_t RasterPatternSize = 0;
uint16_t RasterPatternDrawing = 2;
int32_t TEMPO_PRE_AMP = 40000;
uint8_t bFirstLoop = 1;
uint8_t pen_Up = 1;
int32_t LIMITE_PD = 2500;
uint8_t marquage_encours = 0;
uint8_t Marquage_chaine_en_cours = 0;
int32_t XMligne = 0;
int32_t XMcolonne = 0;
uint8_t point_par_point = 0;
uint8_t M_a_faire = 0;
int32_t X0Saut = 0;
int32_t Y0Saut = 0;
unsigned char EndInst[6] = {0xFF, 0xFD, 'J', 'F', 0, 0};
float fNtour = 0.0f;
int32_t NbTotalIteration = 0;
uint8_t bEventdetected = 0;

namespace {

using namespace materiel;

// The KM250 line keeps integers where the fibre line has the field sizes.
template <typename P>
void ChampsParDefaut(P& p)
{
    if constexpr (build::kKm250Line) {
        p.Reserve[0] = 1;
        p.Reserve[1] = 1;
    } else {
        p.LargeurChamp = 400.0f;
        p.HauteurChamp = 400.0f;
    }
}

void CarteRotation()
{
    if constexpr (build::kDmc) {
        init_DMC_Laser();
        if (DMC_OK == 0) {
            std::printf("Pas de marquage possible sur TC \n");
            for (int i = 0; i < 5; ++i) FlashLEDs();
        } else {
            Reglage_Sens_DMC();
        }
    }
}

int CarteProcesseur()
{
    TypeCarteCPU = cardType();
    switch (TypeCarteCPU) {
    case 1:
        std::printf("Carte VIPER.\n");
        NbrePeriodeTimerParMs = 3686.4;
        break;
    case 2:
        std::printf("Carte TITAN.\n");
        if constexpr (!build::kViper) {
            if (InitI2cIO() < 0) {
                std::printf("ERROR de configuration du bus I2C de la carte TITAN\n");
                return 1;
            }
        }
        NbrePeriodeTimerParMs = 3250.0;
        break;
    default: std::printf("Carte inconnue.\n"); break;
    }
    return 0;
}

int ConfigurationEtDsp()
{
    if constexpr (build::kKm250Line) std::printf("- Lecture des fichiers de configuration (.INI)\n");
    Lire_Config_Laser();
    if constexpr (build::kKm250Line) std::printf("- Chargement du DSP\n");
    Charge_Dsp();
    std::printf("Fin du chargement du DSP. Validation servomoteur\n");
    if (EnableServo() == 0) {
        std::printf("Erreur dans la fonction EnableServo \n");
        return 1;
    }
    return 0;
}

void GalvanometreY()
{
    HandleOUT = libdevmem_open(kGpio, kLongueurGpio);
    if (HandleOUT != nullptr) libdevmem_write_uint32(HandleOUT, kGpioMiseA0, kGpio21);
    else std::printf("Erreur d'ouverture des registres GPIO\n");
    std::printf("Mode Sarvel - Validation du galvanométre Y \n");
}

void OrigineRotation()
{
    if constexpr (build::kDmc) {
        if (DMC_OK != 0) PriseOrigine();
    }
}

// Marking modes: 8 the fibre loop and 1 the YAG loop in the fibre line, 1 the
// KM250 loop in the KM250 line. They do not come back.
void ModeDeMarquage(unsigned char mode)
{
    if constexpr (build::kFibreLine) {
        if (mode == 8) LFMarquageLFQuantel();
        else if (mode == 1) BoucleYag();
    } else {
        if (mode == 1) BoucleKm250();
    }
}

// Nothing more can come from the operator: the program ends as it would on
// Ctrl-C, but with success.
int FinDeConsole()
{
    ArretSiDemande();  // Ctrl-C ended the read: it stops the program as such
    std::printf("\nFin de la saisie console\n");
    ArretProgramme();
    return 0;
}

}  // namespace

void Init_Var()
{
    constexpr bool kFibre = build::kFibreLine;
    constexpr bool kKm250 = build::kKm250Line;
    constexpr bool kDmc = build::kDmc;
    constexpr bool kViper = build::kViper;

    ChampsParDefaut(lasparam);
    NumblocDSP = 0;
    NBWORD = 6;
    DIV_PD = 1;
    DIV_PU = 1;
    VPULASER = 1;
    LIMITE_PU = 5000;
    PX_reel = 0;
    PY_reel = 0;
    iTabD = 0;
    LPen_Up = 1;
    if constexpr (build::kTraits.presseEffaceeAuDemarrage) Reset_presse = 0;
    X0TabDeplace = 0;
    Y0TabDeplace = 0;
    CestUnSaut = 1;
    SautX = 0;
    SautY = 0;
    CurrentBufferIndex = 0;
    MemoFocale = 0;
    DureeImpulsion = 1.0f;
    MarkingSpeed = 2000;
    DeltaMarkingSpeed = 0;
    Frequency = 55000;
    DeltaFrequency = 0;
    RasterPatternSize = 0;
    RasterPatternDrawing = 2;
    bNegatif = 0;
    Orientation = 2;
    RasterPatternCorrection = 0;
    h = libdevmem_open(kPortDsp, kLongueurPortDsp);
    handleOSTimer = libdevmem_open(kTimerOs, kFenetreTimerOs);
    if constexpr (kDmc) handleDMC = libdevmem_open(kPortsDmc, kLongueurPortsDmc);
    std::memcpy(StartInst, "!LB 1;", sizeof StartInst);
    CommMode = 1;
    DSPTimerFreq = 250000.0f;
    GainXRectPosition = 0;
    GainYRectPosition = 0;
    DemiCourse = 0;
    bRechercheOrigine = 0;
    if constexpr (!kViper) {
        bEcoMode = 0;
        bNormalMode = 0;
    }
    if constexpr (kFibre) {
        bKeyOFF = 0;
        bAlarmeEnCours = 0;
        bMarquageEnCours = 0;
        bRetourNormalPendantMarquage = 0;
        TEMPO_PRE_AMP = 40000;
        bFirstLoop = 1;
    }
    bTCReglageMinMax = 0;
    fRatioVitesseXY = 0;
    bTC_DMC = 0;
    bCestUneRotation = 0;
    SavePerimetreCylindre = 0;
    PerimetreCylindreAMarquer = 0;
    FirstDeplacementCentreObjet = 1;
    bRasterC1C2 = 0;
    VitesseDeDeplacementEnTC = 0;
    bFocalisationAPlat = 0;
    bFocalisationTC = 0;
    if constexpr (kDmc) {
        bPositionnementTC = 0;
        bPositionTC2 = 0;
        bPositionXEtau = 0;
        bPositionYEtau = 0;
    }
    if constexpr (!kViper) bTestInscription = 0;
    ModeTurboTCValide = 0;
    TempoFinRotation = 0;
    TempoInterligneTC = 0;
    bRotationPUVecteur = 0;
    if constexpr (kDmc) bFirstRotationPU = 0;
    if constexpr (!kViper) TypeCarteCPU = -1;
    NbrePeriodeTimerParMs = 0.0;
    if constexpr (kDmc) {
        inversy = -1;
        DMC_ON = 0;
        SUPPRIMER_RAMPE = 0;
        pas_DMC = 760000;
        DMC_X = 0;
        DMC_Y = 1;
        sens_DMC_OK = 1;
        DMCvertical = 0;
        DMCsuivant = 0;
        sens_marq = 3;
        positionnement = 0;
        FMARQDMC = 1875;
        FDEPLDMC = 1583;
        FACCELDMC = 302;
        FACCELX = 0;
        FACCELY = 0;
        PDMC_reel = 0.0;
        TransfoX = 1;
        TransfoY = 1;
        bMOdeIndexe = 0;
        DMC_OK = 0;
        bDMCpasApas = 0;
        Origine_DMC = 1;
        RetourOrigineOK = 0;
        bLastFicheMultiPlansTC = 0;
        NbrePasRotation = 1000;
        LgEntete = 0;
    }
    if constexpr (!kViper) FichierOK = 1;
    DoSegment = 1;
    if constexpr (kFibre) TypeSource = 0;
    UniteDeLg = 55;
    MarquageUnique = 55;
    MargeFocaleCurrentUnit = 0;
    NbreDataPourPositionnement = 0;
    NbreDataPositionnementTC = 0;
    if constexpr (kFibre) {
        CoefDivUnitVersmm = 0;
        CoefUnitVersNano = 0;
        CoefUnitVersMicron = 0;
    }
    if constexpr (kKm250) {
        pen_Up = 1;
        LIMITE_PD = 2500;
        marquage_encours = 0;
        Marquage_chaine_en_cours = 0;
        XMligne = 0;
        XMcolonne = 0;
        point_par_point = 0;
        M_a_faire = 0;
        X0Saut = 0;
        Y0Saut = 0;
        std::memcpy(EndInst, "\xFF\xFDJF\0\0", sizeof EndInst);
        bPreChauffe = 0;
        fNtour = 0;
        NbTotalIteration = 0;
        if constexpr (!kViper) bEventdetected = 0;
        bDdeRetourOrigine = 0;
    }
}

int cardType()
{
    const char* variable = std::getenv("MLAS_CPUINFO");
    const char* nom = variable != nullptr && *variable != '\0' ? variable : "/proc/cpuinfo";
    struct Ferme {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    const std::unique_ptr<std::FILE, Ferme> fichier(std::fopen(nom, "r"));
    if (!fichier) {
        std::printf("File %s open error.\n", nom);
        return -1;
    }
    char ligne[81];
    while (std::fgets(ligne, sizeof ligne, fichier.get()) != nullptr) {
        if (std::strstr(ligne, "Hardware") == nullptr) continue;
        if (std::strstr(ligne, "VIPER") != nullptr) return 1;
        if (std::strstr(ligne, "TITAN") != nullptr) return 2;
    }
    return 0;
}

void PriseOrigine()
{
    if constexpr (build::kDmc) {
        std::printf("PRISE ORIGINE ROTATION au boot de la carte OU après marquage - Rotation horaire - AVEC recherche "
                    "capteur (sens_DMC_OK=%d)\n",
                    sens_DMC_OK);
        EnSensHoraire([] {
            const auto origine = static_cast<uint8_t>(Prise_Origine_DMC(""));
            std::printf("Origine détectée : %d     (sens_DMC_OK=%d)\n", origine, sens_DMC_OK);
        });
    }
}

// Runs where the signal lands, maybe while the main thread holds a lock or
// talks to a device: it only records the request.
void OnSIGINT(int)
{
    bArretDemande = true;
}

void ArretCtrlC()
{
    std::printf(build::kViper ? "Arrêt demandé ...\n" : "Arrêt du programme demandé (Ctrl C)\n");
    ArreteEcouteurs();
    // No board event is served any more, no stacked mark is sent: the beam
    // and the outputs go off first.
    ScruteEvenementsPupitre = nullptr;
    iTabD = 0;
    if (h != nullptr) {
        Pilot_Puissance(0);
        Ecrire_Tor_Dsp(2, 0);
        Ecrire_Tor_Dsp(1, 0);
    }
    ArretProgramme();
    // Ending by the signal does not flush the console.
    std::fflush(stdout);
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    std::_Exit(128 + SIGINT);
}

void ArretProgramme()
{
    wd_stop();
    CloseTCP(serveurTCPIP);
    FermeLignes();
    std::printf("Programme arrêté\n");
    libdevmem_close(h);
    h = nullptr;
    if constexpr (build::kDmc) {
        libdevmem_close(handleDMC);
        handleDMC = nullptr;
    }
}

void FlashLEDs()
{
    Ecrire_Tor_Dsp(1, 1);
    Pause_Las(200);
    Ecrire_Tor_Dsp(2, 1);
    Pause_Las(200);
    Ecrire_Tor_Dsp(1, 0);
    Pause_Las(200);
    Ecrire_Tor_Dsp(2, 0);
}

void LFFlashLEDs()
{
    Ecrire_Tor_Dsp(1, 1);
    Pause_Las(200);
    Ecrire_Tor_Dsp(1, 0);
    Pause_Las(200);
    Ecrire_Tor_Dsp(1, 1);
    Pause_Las(200);
    Ecrire_Tor_Dsp(1, 0);
}

int Demarrage()
{
    BrancheArretCtrlC(ArretCtrlC);
    // Not restarted: a console read that Ctrl-C interrupts returns, and the stop is seen.
    struct sigaction action {};
    action.sa_handler = OnSIGINT;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    std::snprintf(MainVersion, sizeof MainVersion, "%hhu.%02hhu", kVersionMajeure, kVersionMineure);
    std::printf(build::kFibreLine ? "QUILMARDE SOFTWARE  v%s %s - Précision 1/1000e et 1/100e - Pas de segmentation "
                                    "Horizontaux/verticaux\n"
                                  : "QUILMARDE SOFTWARE  v%s %s - Précision 1/1000e et 1/100e - Pas de segmentation "
                                    "Horizontaux/verticaux \n",
                MainVersion, MainDate);
    std::printf("Initialisation des variables globales\n");
    Init_Var();
    if (h == nullptr) {
        std::printf("Erreur d'ouverture des registres du DSP\n");
        return 1;
    }
    // Until its program is loaded the card cannot answer: what is sent to it
    // before goes out as always, without waiting for replies.
    bDspSansProgramme = 1;
    if constexpr (!build::kViper) BrancheEvenementsPupitre();
    if constexpr (build::kDmc) RaccordsRotation.PriseOrigine = PriseOrigine;
    if constexpr (build::kFibreLine) AppelInitFreqLFMin = InitFreqLFMin;

    constexpr bool kRotationAvant = build::kTraits.rotationAvantProcesseur;
    if constexpr (build::kDmc && kRotationAvant) CarteRotation();
    if constexpr (!build::kViper) {
        if (CarteProcesseur() != 0) return 1;
    }
    if constexpr (build::kDmc && !kRotationAvant) CarteRotation();
    if (ConfigurationEtDsp() != 0) return 1;
    Fixe_Increment(DIV_PD, DIV_PU);
    if constexpr (build::kDmc) GalvanometreY();
    if constexpr (build::kFibreLine) LFInitFiberLaser();
    if constexpr (!build::kViper) hOSTimer = libdevmem_open(kCompteurTimerOs, 4);
    OrigineRotation();
    if (VaAuCentre() == 0) std::printf("Erreur dans la fonction VaAuCentre \n");
    if constexpr (build::kKm250Line && !build::kViper) {
        InitComGL_Viper();
        bEcoMode = 1;
    }
    MemCurrentPower = 0;
    if constexpr (build::kKm250Line) Pilot_Puissance(255);
    return 0;
}

int BoucleDesModes(int argc, char* argv[])
{
    const bool menu = argc > 1 && std::strcmp(argv[1], "-menu") == 0;
    for (;;) {
        const unsigned char mode = menu ? StartMenu() : build::kFibreLine ? 8 : 1;
        if (bConsoleFermee) return FinDeConsole();
        ModeDeMarquage(mode);
        if (!ModeDeService(mode)) return 0;
        if (bConsoleFermee) return FinDeConsole();
    }
}

int mlas_main(int argc, char* argv[])
{
    // Each line reaches the console when it is printed, a pipe included.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (const int statut = Demarrage(); statut != 0) return statut;
    return BoucleDesModes(argc, argv);
}
