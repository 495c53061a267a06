#include "GestionMenu.h"

#include "AnalyseEnteteFichier.h"
#include "CommunicationViperGL.h"
#include "GestionStatusSourceQL.h"
#include "LiaisonSerie.h"
#include "build.h"
#include "get_lib.h"
#include "mk_dmc.h"
#include "mlas_dmc.h"
#include "mlas_main.h"
#include "prnCommonFunctions.h"
#include "prnanalyse.h"
#include "etat_marquage.h"
#include "etat_rotation.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string>

namespace {

constexpr std::size_t kLongueurSaisie = 32;

enum class Nombre { Lu, Invalide, Fin };

std::string_view SansBlancs(std::string_view texte)
{
    const std::size_t debut = texte.find_first_not_of(" \t");
    if (debut == std::string_view::npos) return {};
    return texte.substr(debut, texte.find_last_not_of(" \t") + 1 - debut);
}

// One number alone on its line; blank lines are passed over, as "%d" does.
Nombre LitNombre(long& valeur)
{
    std::string ligne;
    for (;;) {
        const SaisieConsole saisie = LitLigneConsole(ligne, kLongueurSaisie);
        if (saisie == SaisieConsole::Fin) return Nombre::Fin;
        if (saisie == SaisieConsole::TropLongue) return Nombre::Invalide;
        std::string_view texte = SansBlancs(ligne);
        if (texte.empty()) continue;
        if (texte.size() > 1 && texte[0] == '+' && texte[1] != '-') texte.remove_prefix(1);
        const auto [fin, erreur] = std::from_chars(texte.data(), texte.data() + texte.size(), valeur);
        return erreur == std::errc() && fin == texte.data() + texte.size() ? Nombre::Lu : Nombre::Invalide;
    }
}

struct Question {
    const char* texte;
    long min = LONG_MIN;
    long max = LONG_MAX;
    const char* sousMin = nullptr;  // refusal of a value below min, when it has its own
    void (*avant)() = nullptr;      // shown before the text each time
};

// Asks until a number within the limits is typed; false when the console ended.
bool Demande(const Question& question, long& valeur)
{
    for (;;) {
        if (question.avant != nullptr) question.avant();
        std::printf("%s", question.texte);
        const Nombre lu = LitNombre(valeur);
        if (lu == Nombre::Fin) return false;
        if (lu == Nombre::Invalide) std::printf("Valeur invalide");
        else if (valeur >= question.min && valeur <= question.max) return true;
        else if (valeur < question.min && question.sousMin != nullptr) std::printf("%s", question.sousMin);
        else std::printf("Valeur invalide : elle doit être comprise entre %ld et %ld", question.min, question.max);
        if (question.texte[0] != '\n' && question.avant == nullptr) std::printf("\n");
    }
}

// Numbers go into narrower globals only once they fit.
template <typename T>
void Regle(T& cible, Question question)
{
    question.min = std::max<long>(question.min, std::numeric_limits<T>::min());
    question.max = std::min<long>(question.max, std::numeric_limits<T>::max());
    long valeur = 0;
    if (Demande(question, valeur)) cible = static_cast<T>(valeur);
}

// Console input ahead of the menu was typed before it was seen.
void Invite()
{
    std::printf("\n");
    VideSaisieConsole();
}

void Cadre(const char* titre)
{
    std::printf("\n ----------------------------------------------------------\n");
    std::printf("|                          QUILMARDE                       |\n");
    std::printf("|                                                          |\n");
    std::printf("%s", titre);
    std::printf("|                                                          |\n");
    std::printf(" ----------------------------------------------------------\n");
    std::printf("\n");
}

// mlas-fibre lists the rotation-card tests its loop runs at 9, 10 and 11, and
// quits at 12.
void MenuFibre()
{
    Cadre("|            Programme de marquage Laser Fibre QUANTEL\t   |\n");
    if constexpr (build::kDmc) std::printf(" 0 - Test du fonctionnement moteur TC Pas à Pas\n");
    std::printf(" 1 - Laser en Reception (Mode YAG 100)\n");
    std::printf(" 2 - Init. et test communication série\n");
    std::printf(" 3 - Envoi de commandes\n");
    std::printf(" 4 - Lecture Etat du Laser\n");
    std::printf(" 5 - Lecture Buffer UART Source QL       (valeur en Hexa)\n");
    std::printf(" 6 - Entrer une commande\n");
    std::printf(" 7 - Tester une commande\n");
    std::printf(" 8 - Marquage Laser Fibre QUANTEL\n");
    if constexpr (build::kDmc) {
        std::printf(" 9 - Test TC Sarvel \n");
        std::printf(" 10 - Recherche Origine \n");
        std::printf(" 11 - Initialisation du moteur TC\n");
        std::printf(" 12 - Quitter\n");
    } else {
        std::printf(" 9 - Affichage variation fréquence\n");
        std::printf(" 10 - Quitter\n");
    }
    Invite();
}

void MenuKm250()
{
    Cadre("| Programme de marquage laser KM250 avec driver Dranvik |\n");
    if constexpr (build::kDmc) std::printf(" 0 - Test DMC\n");
    std::printf(" 1 - Commande RS232\n");
    std::printf(" 2 - Paramétrer la fréquence (valeur actuelle : %li Hz)\n", static_cast<long>(marquage.Frequency));
    std::printf(" 3 - Paramétrer la variation de fréquence (valeur actuelle : %li Hz)\n", static_cast<long>(marquage.DeltaFrequency));
    std::printf(" 4 - Paramétrer la variation de vitesse raster (valeur actuelle : %li mm/s)\n",
                static_cast<long>(marquage.DeltaMarkingSpeed));
    std::printf(" 5 - Changer la hauteur du motif raster (valeur actuelle : %u microns)\n", unsigned{marquage.RasterPatternSize});
    std::printf(" 6 - Changer le dessin du motif raster (valeur actuelle : %u)\n", unsigned{marquage.RasterPatternDrawing});
    std::printf(" 7 - Modifier le marquage négatif (valeur actuelle : %u)\n", unsigned{marquage.bNegatif});
    std::printf(" 8 - Modifier l'orientation du laser par rapport à l'opérateur (valeur actuelle : %u)\n",
                unsigned{marquage.Orientation});
    if constexpr (build::kDmc) {
        std::printf(" 9 - Test TC Sarvel \n");
        std::printf(" 10 - Recherche Origine \n");
        std::printf(" 11 - Initialisation du moteur TC\n");
    } else {
        std::printf(" 9 - Quitter\n");
    }
    Invite();
}

// One key, from a terminal as it is pressed.
void AttendTouche()
{
    std::fflush(stdout);
    if (isatty(STDIN_FILENO)) {
        getch();
    } else if (std::getchar() == EOF) {
        bConsoleFermee = true;
    }
}

// Rotation-card tests, run with the card started and the direction set.
template <typename Mouvements>
void EssaiRotation(Mouvements mouvements)
{
    if constexpr (build::kDmc) {
        rotation.DMC_ON = 1;
        Reglage_Sens_DMC();
        STOP_DMC();
        START_DMC();
        mouvements();
        STOP_DMC();
        rotation.DMC_ON = 0;
    }
}

void Deplace(const char* texte, double demiPas, char absolu, const char* mode = "NON")
{
    if constexpr (build::kDmc) {
        if (texte != nullptr) std::printf("%s", texte);
        DEPLACE_DMC(demiPas, absolu, mode);
    }
}

// The angle is asked for, but the test turns by fixed amounts.
void TestMoteur()
{
    long angle = 0;
    if (!Demande({"\nVeuillez saisir l'angle de rotation relatif (en 1/10 de d°) : "}, angle)) return;
    EssaiRotation([] {
        for (int fois = 0; fois < 2; ++fois) Deplace("Deplacement absolu en 7600\n", 7600.0, 1);
        Deplace("Deplacement relatif de 600\n", 600.0, 0);
        Deplace("Deplacement relatif de -600\n", -600.0, 0);
    });
}

void TestRotation()
{
    if constexpr (build::kDmc) {
        long fleche = 0;
        if (!Demande({" Rotation Anti-Horaire : 1    -    Horaire : 2 ? "}, fleche)) return;
        rotation.sens_DMC_OK = fleche == 1 ? 1 : 0;
        std::printf("RotationFleche =%ld     sens_DMC_OK=%d \n", fleche, rotation.sens_DMC_OK);
        long demiPas = 0;
        if (!Demande({" Veuillez saisir le nombre de DEMI-PAS de la rotation (15200 pour un tour) \n"}, demiPas)) return;
        EssaiRotation([demiPas] { Deplace(nullptr, static_cast<double>(demiPas), 0); });
    }
}

void RechercheOrigine()
{
    if constexpr (build::kDmc) {
        rotation.sens_DMC_OK = 0;
        std::printf("sens_DMC_OK=%d \n", rotation.sens_DMC_OK);
        EssaiRotation([] {
            Deplace("1000 Horaire relatif SANS capteur\n", 1000.0, 0);
            Deplace(nullptr, 15200.0, 0, "ORIGINE");
        });
    }
}

void InitialisationMoteur()
{
    if constexpr (build::kDmc) {
        std::printf("Initialisation du TC Sarvel\n");
        init_DMC_Laser();
        rotation.sens_DMC_OK = 0;
        std::printf("sens_DMC_OK=%d -> Sens HORAIRE\n", rotation.sens_DMC_OK);
        EssaiRotation([] {
            Deplace("5000 Horaire relatif SANS capteur\n", 5000.0, 0);
            Deplace("Déplacement Horaire absolue vers l'origine SANS capteur\n", 0.0, 1);
        });
        std::printf("FIN INITIALISATION ET TEST DEPLACEMENT     TOUCHE\n");
        AttendTouche();
    }
}

// Rotation-card tests of choices 0, 9, 10 and 11; false for other choices.
bool TestCarteRotation(uint8_t choix)
{
    switch (choix) {
    case 0: TestMoteur(); return true;
    case 9: TestRotation(); return true;
    case 10: RechercheOrigine(); return true;
    case 11: InitialisationMoteur(); return true;
    default: return false;
    }
}

// The parameter prompts of the KM250 line; false for other choices.
bool ParametreKm250(uint8_t choix)
{
    switch (choix) {
    case 2: {
        long frequence = 0;
        if (Demande({"\nVeuillez saisir la nouvelle fréquence (en Hz) : \n", 10000, INT32_MAX,
                     "Valeur invalide : la fréquence minimale est 10000 Hz"},
                    frequence)) {
            marquage.Frequency = static_cast<int32_t>(frequence);
            marquage.DeltaFrequency = marquage.Frequency - 10000;
        }
        return true;
    }
    case 3: Regle(marquage.DeltaFrequency, {"\nVeuillez saisir la nouvelle variation de fréquence (en Hz) : \n"}); return true;
    case 4:
        Regle(marquage.DeltaMarkingSpeed, {"\nVeuillez saisir la nouvelle variation de vitesse raster (en mm/s) : \n"});
        return true;
    case 5:
        Regle(marquage.RasterPatternSize, {"\nVeuillez saisir la nouvelle hauteur du motif raster (en microns) : \n"});
        return true;
    case 6:
        Regle(marquage.RasterPatternDrawing, {"\nVeuillez saisir le nouveau dessin du motif raster : \n"
                                     "1 <=> Flèche\n"
                                     "2 <=> Barre horizontale\n"
                                     "3 <=> Barre verticale\n"
                                     "4 <=> Croix\n"
                                     "5 <=> Demi-flèche\n",
                                     1, 5});
        return true;
    case 7: Regle(marquage.bNegatif, {"\n0 = positif, 1 = negatif : \n", 0, 1}); return true;
    case 8:
        Regle(marquage.Orientation, {"\nVeuillez saisir l'orientation du laser par rapport à l'opérateur : \n"
                            "1 <=> 0° (Dans l'axe de l'opérateur, dans la pratique c'est impossible)\n"
                            "2 <=> 90° (A gauche de l'opérateur <=> Sur colonne)\n"
                            "3 <=> 180° (Face à l'opérateur <=> Station Benchtop)\n"
                            "4 <=> 270° (A droite de l'opérateur)\n",
                            1, 4});
        return true;
    default: return false;
    }
}

bool ServiceKm250(uint8_t choix)
{
    if (ParametreKm250(choix)) return true;
    return build::kDmc && TestCarteRotation(choix);
}

// The source's commands and status go out on its UART, which the single-port
// build lacks; that build is of the KM250 line, whose menu has none of them.
constexpr unsigned char kPortSource = 3;
constexpr int kQuitterCmdes = 7;

struct CommandeSource {
    const char* lettres;
    std::size_t valeur;  // characters of the typed value; 0: none
};

constexpr CommandeSource kCommandesSource[] = {{"SRR ", 3}, {"SBC ", 4}, {"EBE", 0},
                                               {"DBE", 0},  {"EGE", 0},  {"DGE", 0}};

// The value typed for a frame's fixed field: it must fill it exactly.
bool ValeurDeTrame(std::size_t longueur, std::string& valeur)
{
    std::printf("Valeur : ");
    std::string ligne;
    SaisieConsole saisie = SaisieConsole::Lue;
    do saisie = LitLigneConsole(ligne, kLongueurSaisie);
    while (saisie == SaisieConsole::Lue && SansBlancs(ligne).empty());
    if (saisie == SaisieConsole::Fin) return false;
    valeur = SansBlancs(ligne);
    if (saisie == SaisieConsole::Lue && valeur.size() == longueur && valeur.find_first_of(" \t") == std::string::npos)
        return true;
    std::printf("Valeur refusée : %zu caractères attendus\n", longueur);
    return false;
}

void MenuDesCmdes()
{
    std::printf("\n");
    std::printf(" 1 - SRR : Set Repetion Rate (Fréquence de marquage en kHz de 020 à 100)\n");
    std::printf(" 2 - SBC : Set Booster pump Current (Puisssance en Ampère X.XX A)\n");
    std::printf(" 3 - EBE : Enable Booster Emission\n");
    std::printf(" 4 - DBE : Disable Booster Emission\n");
    std::printf(" 5 - EGE : Enable Guide Emission  (Validation diode de visée)\n");
    std::printf(" 6 - DGE : Disable Guide Emission (Dévalidation diode de visée)\n");
    std::printf(" 7 - Quitter\n");
    Invite();
}

// The source's link and status choices.
void ServiceSource(uint8_t choix)
{
    if constexpr (!build::kSerieUnique) {
        switch (choix) {
        case 2: InitPortRSViper_SourceQL(); break;
        case 4: LectureStatus(); break;
        case 5: LectureBufUART(); break;
        case 6: SendCdeManuelle(); break;
        default: break;
        }
    }
}

bool ServiceFibre(uint8_t choix)
{
    if (build::kDmc && TestCarteRotation(choix)) return true;
    switch (choix) {
    case 2:
    case 4:
    case 5:
    case 6: ServiceSource(choix); break;
    case 3: SendCmdes(); break;
    case 7: std::printf("Test Envoi Cde : Pas de Cde en test\n"); break;
    case 9:
        std::printf("choix 9\n");
        AfficheVariationFreq();
        break;
    case 10: return false;
    case 12: return !build::kDmc;
    default: break;
    }
    return true;
}

}  // namespace

uint8_t StartMenu()
{
    long choix = 0;
    const bool lu = Demande({"Votre choix : ", 0, UINT8_MAX, nullptr, build::kFibreLine ? MenuFibre : MenuKm250}, choix);
    return lu ? static_cast<uint8_t>(choix) : 0;
}

bool ModeDeService(uint8_t choix)
{
    if constexpr (build::kFibreLine) return ServiceFibre(choix);
    const bool suite = ServiceKm250(choix);
    if (!bConsoleFermee) {
        // The shell command writes on the same console.
        std::fflush(stdout);
        std::system("clear");
    }
    return suite;
}

int SendCmdes()
{
    int resultat = 0;
    for (int choix = MenuCmdes(); choix != kQuitterCmdes; choix = MenuCmdes()) {
        resultat = GestionCmdes(choix);
        if (bConsoleFermee) break;
    }
    return resultat;
}

int MenuCmdes()
{
    long choix = 0;
    if (!Demande({"Votre choix : ", INT_MIN, INT_MAX, nullptr, MenuDesCmdes}, choix)) return kQuitterCmdes;
    return static_cast<int>(choix);
}

int GestionCmdes(int choix)
{
    if (choix < 1 || choix > static_cast<int>(std::size(kCommandesSource))) return 0;
    const CommandeSource& commande = kCommandesSource[choix - 1];
    std::string trame = commande.lettres;
    if (commande.valeur != 0) {
        std::string valeur;
        if (!ValeurDeTrame(commande.valeur, valeur)) return 0;
        trame += valeur;
    }
    trame += '\r';
    if constexpr (!build::kSerieUnique) VideBufRep(kPortSource);
    EcritLigne(kPortSource, trame.data(), static_cast<int>(trame.size()));
    return 0;
}

void AfficheVariationFreq()
{
    std::printf("Resultat Fonction varation fréquence\n");
    for (float f : marquage.TabCoefNonLineaires) std::printf("f=%f   ", static_cast<double>(f));
    std::printf("\n");
}
