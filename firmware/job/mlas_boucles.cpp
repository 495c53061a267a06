#include "mlas_boucles.h"

#include "AidePositionnement.h"
#include "AnalyseEnteteFichier.h"
#include "CommunicationViperGL.h"
#include "GestionStatusSourceQL.h"
#include "LiaisonSerie.h"
#include "MiseAJour.h"
#include "build.h"
#include "mk_dmc.h"
#include "mlas_dep.h"
#include "mlas_func.h"
#include "mlas_main.h"
#include "mlas_param.h"
#include "plan_materiel.h"
#include "prnCommonFunctions.h"
#include "prnReception.h"
#include "prnanalyse.h"
#include "prnbuffer.h"
#include "process.h"
#include "tcpip.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"
#include "etat_reception.h"
#include "etat_boucles.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr unsigned char kLampePrete = 1;
constexpr unsigned char kLampeMarquage = 2;
constexpr unsigned char kEntreeStart = 1;

[[maybe_unused]] constexpr uint8_t kAttente = 1;
constexpr uint8_t kSerie = 2;
constexpr uint8_t kTCP = 3;
constexpr uint8_t kFermeAvantJob = 4;

constexpr const char* kEcouteEthernet = "Logiciel en écoute sur le Port Ethernet\n";
constexpr const char* kAttenteLancement = "ATTENTE LANCEMENT DU MARQUAGE\n";
constexpr const char* kFichierPasValide = "Fichier pas valide -> Pas d'analyse de l'entête\n";
constexpr const char* kReceptionNouveau = "Reception nouveau fichier\n";
constexpr const char* kSortieBoucle = "SORTIE de la boucle de traitement du marquage\n";

void Lampe(unsigned char sortie, bool allumee)
{
    Ecrire_Tor_Dsp(sortie, allumee ? 1 : 0);
}

bool StartAppuye()
{
    return Lire_Tor_Dsp(kEntreeStart) != 0;
}

// The listener threads of a wait: TCP, and the PC serial line when asked.
// Whatever way the wait ends, they are stopped and joined.
class Ecouteurs {
public:
    explicit Ecouteurs(bool serie) : serie_(serie) {}
    Ecouteurs(const Ecouteurs&) = delete;
    Ecouteurs& operator=(const Ecouteurs&) = delete;
    ~Ecouteurs() { ArreteEcouteurs(); }

    void Demarre(const char* message = kEcouteEthernet)
    {
        ArreteEcouteurs();
        std::printf("%s", message);
        if (serie_) std::printf("Logiciel en écoute sur le Port RS232\n");
        DemarreEcouteurs(serie_);
    }
    static void Arrete() { ArreteEcouteurs(); }

private:
    bool serie_;
};

using Analyse = int32_t (*)(unsigned char*);

// The header of the job in memory, from CurrentBufferIndex. A job that is not
// whole and saved is not analysed: FichierOK stays 0 and no start is taken.
bool AnalyseFiche(Analyse analyse, const char* titre)
{
    if (reception.FichierOK == 0) {
        if constexpr (!build::kViper) std::printf("%s", kFichierPasValide);
        return false;
    }
    std::printf("%s", titre);
    reception.CurrentBufferIndex += static_cast<uint32_t>(analyse(RecepBuff.data + reception.CurrentBufferIndex));
    return reception.FichierOK != 0;
}

// A job just received while waiting, analysed from the start of the buffer.
bool AnalyseNouvelleFiche(Analyse analyse)
{
    if (reception.FichierOK == 0) {
        if constexpr (!build::kViper) std::printf("%s", kFichierPasValide);
        return false;
    }
    reception.CurrentBufferIndex = static_cast<uint32_t>(analyse(RecepBuff.data));
    return reception.FichierOK != 0;
}

unsigned char* Fiche()
{
    return RecepBuff.data + reception.CurrentBufferIndex;
}

enum class Aide { ParType, Yag };

// A help sheet, a firmware upload or an arrow job in memory: the lamp goes
// off and it runs (unless `lance` is false: the job reloaded at power-up).
// True when the job in memory was one of them, so it is not marked.
bool FicheSansMarquage(bool lance, Aide aide, const char* messageFleche = nullptr)
{
    if (marquage.bSimulation != 0) {
        Lampe(kLampePrete, false);
        if (lance) {
            if (aide == Aide::Yag) PositionningHelp(Fiche());
            else AideParType(Fiche());
        }
        return true;
    }
    if (marquage.bReceptionFirmware != 0) {
        Lampe(kLampePrete, false);
        if (lance) WriteFile2Disk(Fiche() + 1);
        return true;
    }
    if constexpr (build::kDmc) {
        if (aide == Aide::ParType && marquage.bPositionningFleche != 0 && lance) {
            if (messageFleche != nullptr) std::printf("%s", messageFleche);
            Lampe(kLampePrete, false);
            PositionningOrigineFleche(Fiche());
            return true;
        }
    }
    return false;
}

// Cylinder-turner min/max adjustment: ten rounds, each step ended by the start
// button, then back to the centre.
void ReglageTC(const char* prefixe)
{
    for (int tour = 0; marquage.bTCReglageMinMax != 0;) {
        std::printf("%sReglage du TC Envoi de la valeur MAX. au DSP\n", prefixe);
        Deplacement(materiel::kBlocSansFaisceau, static_cast<unsigned short>(deplacement.VPULASER),
                    static_cast<unsigned short>(deplacement.VPULASER), 0xFFFC, 32766, 0);
        AttenteFinReglageTC();
        std::printf("%sReglage du TC Envoi de la valeur MIN. au DSP\n", prefixe);
        Deplacement(materiel::kBlocSansFaisceau, static_cast<unsigned short>(deplacement.VPULASER),
                    static_cast<unsigned short>(deplacement.VPULASER), 0xFFFE, 32766, 0);
        AttenteFinReglageTC();
        std::printf("\n");
        if (++tour == 10) {
            marquage.bTCReglageMinMax = 0;
            VaAuCentre();
            std::printf("Fin réglage TC \n");
        }
    }
}

constexpr const char* kReglagePremier = "1-";
constexpr const char* kReglageEnAttente = "2- ";

// The job in memory is ready to mark: the lamp tells the operator.
void PretAMarquer()
{
    deplacement.FirstDeplacementCentreObjet = 1;
    deplacement.RetourOrigineOK = 0;
    if (reception.FichierOK != 0) Lampe(kLampePrete, true);
}

// Listening again, the lamp lit when the job in memory may be started.
void EnAttente(Ecouteurs& ecouteurs)
{
    ecouteurs.Demarre();
    if (reception.FichierOK != 0) std::printf("%s", kAttenteLancement);
    PretAMarquer();
}

// A job shown by a listener: received in place of the one in memory, and
// analysed when it came whole. True when it is valid.
bool RecoitEnAttente(Ecouteurs& ecouteurs, Analyse analyse)
{
    Lampe(kLampePrete, false);
    ecouteurs.Arrete();
    std::printf("%s", kReceptionNouveau);
    // A reception that failed left the job in memory as it was, analysed.
    if (ReceptQ8File() != 0) {
        if (reception.FichierOK == 0 && !build::kViper) std::printf("%s", kFichierPasValide);
        return false;
    }
    return AnalyseNouvelleFiche(analyse);
}

// What a job received while waiting runs at once; true when it does not mark.
bool LanceFicheRecue()
{
    if (FicheSansMarquage(true, Aide::ParType)) return true;
    if (marquage.bTCReglageMinMax == 0) return false;
    ReglageTC(kReglageEnAttente);
    return true;
}

// Start pressed: the wait ends with the lamp off.
uint8_t Depart(Ecouteurs& ecouteurs)
{
    ecouteurs.Arrete();
    Lampe(kLampePrete, false);
    return 1;
}

// Pre-heat job of the KM250 line: copied over the job file, loaded and analysed.
// False when its file is missing.
bool Prechauffe()
{
    int statut = 0;
    if constexpr (build::kViper) {
        std::printf("WaitStartMarking          DEMANDE DE PRECHAUFFE\n");
        statut = std::system("cp FichePrechauffe.prn tmpprn.prn");
    } else {
        std::printf("COPIE PRECHAUFFE YAG200 -> TMP\n");
        statut = std::system("cp PreChauffeYag200.prn tmpprn.prn");
    }
    if (statut != 0) {
        std::printf("ERROR : Preheat file Not found\n");
        return false;
    }
    if (LoadTmpPRN() == 0) {
        std::printf("No file found, Wait for new marking file ...\n");
        DetectCommMode();
        std::printf(build::kViper ? kReceptionNouveau : "Reception fichier de Préchauffe\n");
        ReceptQ8File();
    }
    reception.CurrentBufferIndex = 0;
    AnalyseFiche(AnalyseEntete, "Analyse de l'Entete de la fiche de prechauffe\n");
    marquage.bPreChauffe = 0;
    return true;
}

// Pre-amplifier steps around a fibre marking: the program cannot go on
// without them.
void PreAmpli(int (*commande)(), const char* erreur)
{
    if (commande() == 0) {
        std::printf("%s", erreur);
        std::exit(1);
    }
}

constexpr double kAttenteCapteur = 2.0;  // s

// After a marking interrupted on a cylinder: the axis back to its origin.
void RetourOrigineRotation(const char* message)
{
    if constexpr (build::kDmc) {
        if (deplacement.RetourOrigineOK != 0 || rotation.bDMCpasApas == 0) return;
        DoVecteurMicrons(0, 0, 1, 0);
        std::printf(message, deplacement.RetourOrigineOK);
        TourneDMC(0.0, 1);
        deplacement.RetourOrigineOK = 1;
        marquage.bDdeRetourOrigine = 0;
        // A reset request cuts the move short of the sensor; a move that did
        // not end there does not get there by waiting.
        Chronometre chrono;
        while (DmcEstALOrigine() == 0 && Test_Reset() == 0) {
            if (chrono.Secondes() > kAttenteCapteur) {
                std::printf("Origine rotation non détectée (capteur) après %.0f s\n", kAttenteCapteur);
                return;
            }
        }
        std::printf("Origine rotation détectée (capteur) - Retour centre focale\n");
    } else {
        (void)message;
    }
}

constexpr const char* kRetourOrigineReset =
    "SORTIE SUR RESET : Retour origine rotation en absolu sans recherche du capteur    RetourOrigineOK=%d\n";

// After a job that does not mark, a new one: when the reception fails no job
// is ready, for the one in memory was run and is not to be marked.
bool RecoitApresFicheSansMarquage()
{
    if (ReceptQ8File() == 0) return true;
    reception.FichierOK = 0;
    return false;
}

// Single marking: the job file goes once marked, and the next job is awaited
// on both links unless one is found on disk. A marking that stopped before its
// end keeps its job for the next start.
void MarquageUniqueFait(const char* message)
{
    if (marquage.MarquageUnique == 0 || MarquageInterrompu()) return;
    std::printf("%s", message);
    std::system("rm -f ./tmpprn.prn");
    reception.CurrentBufferIndex = 0;
    if (LoadTmpPRN() == 0) {
        std::printf("Plus de fichier de marquage, Attente d'une nouvelle fiche ...\n");
        DetectCommMode();
        std::printf("Reception d'un nouveau fichier\n");
        ReceptQ8File();
    }
}

// The job file reloaded at start-up, else the first job from the links.
void PremiereFiche(const char* absente, void (*attente)(), const char* texteReception)
{
    reception.CurrentBufferIndex = 0;
    if (LoadTmpPRN() != 0) return;
    std::printf("%s", absente);
    attente();
    std::printf("%s", texteReception);
    ReceptQ8File();
}

// YAG and KM250 loops: after a pass, the next one starts where this one left
// off while data remain and no reset is asked for.
void FinDePassage(bool sortieAnnoncee)
{
    const bool reste = RecepBuff.count > reception.CurrentBufferIndex;
    if (reste && Test_Reset() == 0) return;
    if (sortieAnnoncee) std::printf("%s", kSortieBoucle);
    reception.CurrentBufferIndex = reste ? boucles.MemCurrentBufferPosition : 0;
}

// A pass waits for the start from the data not marked yet; after a job that
// does not mark, the next one starts from the beginning.
uint8_t Passage(uint8_t (*attente)(uint8_t), uint8_t premierPassage, bool annonce)
{
    if (annonce) std::printf("Entree dans la boucle de traitement pour le marquage.\n");
    boucles.MemCurrentBufferPosition = reception.CurrentBufferIndex;
    const uint8_t marque = attente(premierPassage);
    if (marque == 0) {
        reception.CurrentBufferIndex = 0;
        boucles.MemCurrentBufferPosition = 0;
    }
    return marque;
}

unsigned short VersionStartSeq(unsigned char majeure, unsigned char mineure)
{
    return static_cast<unsigned short>(majeure | mineure << 8);
}

}  // namespace

// The help sheet of the job in memory, by its file type.
void AideParType(unsigned char* fiche)
{
    constexpr bool kFibre = build::kFibreLine;
    switch (marquage.TypeDuFichier) {
    case 1:
        if constexpr (kFibre) LFPositionningHelp(fiche);
        else PositionningHelp(fiche);
        break;
    case 3:
        if constexpr (kFibre) LFFocalisationHelp(fiche);
        else FocalisationHelp(fiche);
        break;
    case 5: TCHelp(fiche); break;
    case 6: FocalisationTCHelp(fiche); break;
    case 7:
        if constexpr (build::kDmc) TCHelp(fiche);
        break;
    case 8:
        if constexpr (build::kDmc) PositionningEtauSarvelSelonX(fiche);
        break;
    default:
        if constexpr (build::kDmc) PositionningEtauSarvelSelonY(fiche);
        break;
    }
}

uint8_t LFWaitStartMarking(uint8_t premierPassage)
{
    const bool lance = premierPassage == 0;
    bStopReceptionThreads = 0;
    reception.CurrentBufferIndex = 0;
    if (AnalyseFiche(LFAnalyseEntete, "\nAnalyse de l'Entete de la fiche à marquer\n")) {
        if (FicheSansMarquage(lance, Aide::ParType,
                              "Demande de réglage origine rotation (Flèche mandrin verticale) OU demande retour "
                              "origine détecté par capteur\n"))
            return 0;
        if (marquage.bTCReglageMinMax != 0 && lance) ReglageTC(kReglagePremier);
    }

    Ecouteurs ecouteurs(false);
    EnAttente(ecouteurs);
    for (;;) {
        ArretSiDemande();
        const uint8_t etat = CommMode.load();
        if (etat == kSerie || etat == kTCP) {
            if (RecoitEnAttente(ecouteurs, LFAnalyseEntete) && LanceFicheRecue()) return 0;
            EnAttente(ecouteurs);
        } else if (etat == kFermeAvantJob) {
            ecouteurs.Demarre("Logiciel en écoute sur le Port Ethernet \n");
            if (reception.FichierOK != 0) Lampe(kLampePrete, true);
            std::printf("ATTENTE LANCEMENT DU MARQUAGE      franchissement de la zone interdite détecté\n");
            deplacement.FirstDeplacementCentreObjet = 1;
        }
        if constexpr (!build::kViper) LFTestSiEventEnCours();
        if (reception.FichierOK != 0 && StartAppuye()) return Depart(ecouteurs);
    }
}

uint8_t WaitStartMarking(uint8_t premierPassage)
{
    constexpr bool kYag = build::kFibreLine;
    const bool lance = premierPassage == 0;
    bStopReceptionThreads = 0;
    reception.CurrentBufferIndex = 0;
    const bool valide = AnalyseFiche(AnalyseEntete, kYag ? "Analyse de l'Entete de la fiche à marquer\n"
                                                         : "- ANALYSE DE L'ENTETE de la fiche à marquer\n");
    if (valide) {
        if (marquage.bChangementIP != 0) {
            Lampe(kLampePrete, false);
            if (lance) ChangementAdrIP(Fiche());
            return 0;
        }
        if (FicheSansMarquage(lance, kYag ? Aide::Yag : Aide::ParType,
                              "Demande de réglage origine rotation (Flèche mandrin verticale) OU demmade retour "
                              "origine détecté par capteur\n"))
            return 0;
    }
    if constexpr (!kYag) {
        if (valide && marquage.bPreChauffe != 0 && !Prechauffe()) return 0;
        if (reception.FichierOK != 0 && marquage.bTCReglageMinMax != 0 && lance) ReglageTC(kReglagePremier);
    }

    Ecouteurs ecouteurs(true);
    EnAttente(ecouteurs);
    for (;;) {
        ArretSiDemande();
        const uint8_t etat = CommMode.load();
        if (etat == kSerie || etat == kTCP) {
            if (RecoitEnAttente(ecouteurs, AnalyseEntete)) {
                if constexpr (kYag) {
                    if (marquage.bSimulation != 0) std::printf("Fichier d'aide au positionnement\n");
                    if (FicheSansMarquage(true, Aide::Yag)) return 0;
                } else if (LanceFicheRecue()) {
                    return 0;
                }
            }
            EnAttente(ecouteurs);
        } else if (etat == kFermeAvantJob) {
            // A peer that closed without a job leaves the job in memory as it was.
            ecouteurs.Demarre();
        }
        if constexpr (!kYag && !build::kViper) {
            if (TestSiEventEnCours() != 0) {
                std::printf("EVENT pendant attente\n");
                if (pupitre.bEcoMode != 0) boucles.bEventdetected = 1;
                if (pupitre.bNormalMode != 0) boucles.bEventdetected = 0;
            }
        }
        if (reception.FichierOK != 0 && StartAppuye()) return Depart(ecouteurs);
    }
}

void LFMarquageLFQuantel()
{
    if constexpr (build::kFibreLine) {
        serveurTCPIP = InitServerTCP(PortServeurTCP());
        LFFlashLEDs();
        if constexpr (!build::kViper) {
            EnvoiGLCdeStart();
            EnvoiGLCdeDiodes(3);
        }
        VideBufRep(2);
        PremiereFiche("Pas de fichier de marquage, Attente d'une fiche à marquer\n", LFWaitComTCP,
                      "Reception d'un nouveau fichier\n");

        for (;;) {
            const uint8_t marque = Passage(LFWaitStartMarking, boucles.bFirstLoop, true);
            if (marque == 0) {
                std::printf("Le fichier pésent en mémoire est soit un fichier de positionnement soit un fichier d'upload "
                            "du Firmware\n");
                std::printf("Attente d'une nouvelle fiche à marquer\n");
                // A peer that closes without a job brings none: the one in memory does not mark.
                for (;;) {
                    LFWaitComTCP();
                    std::printf("%s", kReceptionNouveau);
                    if (CommMode == kFermeAvantJob) {
                        std::printf("Zone interdite franchie");
                        continue;
                    }
                    if (RecoitApresFicheSansMarquage()) break;
                    std::printf("Attente d'un autre fichier\n");
                }
                marquage.TypeDuFichier = 0;
            } else {
                boucles.LFNbrePtTotal = 0;
                boucles.LFNbreLigne = 0;
                boucles.LFLgTotal = 0.0;
                boucles.LFNbrepointE = 0;
                boucles.LFNbrepointA = 0;
                std::printf("DEBUT DU MARQUAGE   \n");
                pupitre.bMarquageEnCours = 1;
                PreAmpli(EnablePreAmp, "Erreur dans la fonction de validation de la Pre-Amp\n");
                Gestion_Tempo_us(boucles.TEMPO_PRE_AMP, 1);
                Lampe(kLampeMarquage, true);
                reception.CurrentBufferIndex += static_cast<uint32_t>(AnalysePRN(Fiche()));
                Lampe(kLampeMarquage, false);
                pupitre.bMarquageEnCours = 0;
                pupitre.bRetourNormalPendantMarquage = 0;
                std::printf("FIN DU MARQUAGE\n");
                rotation.bLastFicheMultiPlansTC = 0;
                VideBufRep(3);
                PreAmpli(DisablePreAmp, "Erreur dans la fonction de Devalidation de la Pre-Amp\n");
            }

            if constexpr (build::kDmc) RetourOrigineRotation(kRetourOrigineReset);
            // Only a job that was marked is deleted: one just received waits for its start.
            if (marque != 0) MarquageUniqueFait("Suppression APRES MARQUAGE de la fiche tmpprn.prn\n");
            boucles.bFirstLoop = 0;
            if (RecepBuff.count <= reception.CurrentBufferIndex || Test_Reset() != 0) std::printf("%s", kSortieBoucle);
        }
    }
    // The KM250 line has no fibre loop.
    std::abort();
}

void BoucleYag()
{
    if constexpr (build::kFibreLine) {
        serveurTCPIP = InitServerTCP(PortServeurTCP());
        OuvreLigne(1, 115200, 0, 0, 0);
        FlashLEDs();
        StartSeq(VersionStartSeq(11, 20));
        Pilot_Puissance(255);
        PremiereFiche("No .prn File : Wait for new marking file ...\n", DetectCommMode, kReceptionNouveau);

        for (;;) {
            if (Passage(WaitStartMarking, boucles.bFirstLoop, false) == 0) {
                std::printf("Le fichier pésent en mémoire est soit un fichier de positionnement soit un fichier d'upload "
                            "du Firmware\n");
                std::printf("Attente d'une nouvelle fiche à marquer\n");
                DetectCommMode();
                std::printf("%s", kReceptionNouveau);
                RecoitApresFicheSansMarquage();
                marquage.TypeDuFichier = 0;
            } else {
                std::printf("LANCEMENT DU MARQUAGE\n");
                Lampe(kLampeMarquage, true);
                reception.CurrentBufferIndex += static_cast<uint32_t>(AnalysePRN(Fiche()));
                build::Affiche(build::kTraits.texteFinMarquageYag);
                rotation.bLastFicheMultiPlansTC = 0;
                if constexpr (build::kDmc)
                    RetourOrigineRotation("Sortie sur Reset : Retour origine rotation en absolu sans recherche du capteur\n");
                Lampe(kLampeMarquage, false);
            }
            boucles.bFirstLoop = 0;
            FinDePassage(false);
        }
    }
    // The KM250 line has no YAG loop.
    std::abort();
}

void BoucleKm250()
{
    if constexpr (build::kKm250Line) {
        serveurTCPIP = InitServerTCP(PortServeurTCP());
        if constexpr (build::kViper) {
            OuvreLigne(1, 115200, 0, 0, 0);
            FlashLEDs();
            StartSeq(VersionStartSeq(kVersionMajeure, kVersionMineure));
        } else {
            InitPortRSPC_Viper();
            EnvoiGLCdeViperStarted();
            EnvoiGLCdeDiodes(3);
            FlashLEDs();
        }
        Pilot_Puissance(255);
        PremiereFiche("No .prn File : Wait for new marking file ...\n", DetectCommMode, kReceptionNouveau);

        uint8_t premierPassage = 1;
        for (;;) {
            const uint8_t marque = Passage(WaitStartMarking, premierPassage, true);
            if (marque == 0) {
                std::printf(build::kViper ? "Le fichier chargé n'est pas un fichier de marquage (c'est un Positionnement, "
                                            "Reglage, etc. ...)\n"
                                          : "Le fichier chargé est un fichier de Positionnement ou de Reglage\n");
                std::printf("Attente d'une nouvelle fiche à marquer\n");
                for (;;) {
                    DetectCommMode();
                    std::printf("%s", kReceptionNouveau);
                    if (RecoitApresFicheSansMarquage()) break;
                    std::printf("Attente d'un autre fichier\n");
                    if constexpr (build::kViper) break;
                }
                marquage.TypeDuFichier = 0;
            } else {
                build::Affiche(build::kTraits.texteLancementMarquage);
                Lampe(kLampeMarquage, true);
                reception.CurrentBufferIndex += static_cast<uint32_t>(AnalysePRN(Fiche()));
                std::printf("FIN MARQUAGE\n");
                rotation.bLastFicheMultiPlansTC = 0;
                if constexpr (build::kDmc) RetourOrigineRotation(kRetourOrigineReset);
                Lampe(kLampeMarquage, false);
                MarquageUniqueFait("MARQUAGE UNIQUE: Suppression APRES MARQUAGE de la fiche tmpprn.prn\n");
            }
            premierPassage = 0;
            FinDePassage(true);
        }
    }
    // The fibre line has no KM250 loop.
    std::abort();
}

void InitFreqLFMin()
{
    if (marquage.TypeSource == 0) marquage.FreqQSwitch = 30000;
    else if (marquage.TypeSource == 1) marquage.FreqQSwitch = 35000;
    if constexpr (build::kFibre500) {
        if (marquage.ModelDuLaser == 774) marquage.FreqQSwitch = 50000;
    }
    std::printf("Initialisation de la freq. MIN par défaut au boot à %ld Hz\n", static_cast<long>(marquage.FreqQSwitch));
    marquage.RapportCyclique = 50.0f;
    Init_QSwitch();
}
