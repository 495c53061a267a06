#include "GestionStatusSourceQL.h"

#include "get_lib.h"
#include "zkserial.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <span>

namespace {

constexpr unsigned char kPortSource = 3;
// Time-outs in units of 100 microseconds.
constexpr unsigned short kAttenteOctet = 100;           // between the bytes of a line
constexpr unsigned short kAttenteLigne = 1000;          // between the bytes of a multi-line reply
constexpr unsigned short kAttentePremierOctet = 10000;  // first byte of a typed command's reply
// A reply that stays silent this long has ended, whole or not.
constexpr int kSilenceMax = 10000;
constexpr std::size_t kTailleLigne = 255;
constexpr std::size_t kTailleReponse = 1024;
constexpr std::size_t kTailleCommande = 20;  // typed command, CR and zero padding

constexpr const char* kReponseIncomplete = "Réponse de la source incomplète\n";

// Appends the port's bytes to the reply until `lignes` LFs have come.
bool LitLignes(unsigned char port, int lignes, unsigned short attente, std::size_t taille, std::string& reponse,
               bool trace)
{
    int silence = 0;
    while (lignes > 0) {
        unsigned char octet = 0;
        if (GetByteFromUART_BMode(port, &octet, attente) != 1) {
            silence += attente;
            if (silence >= kSilenceMax) return false;
            continue;
        }
        silence = 0;
        if (reponse.size() >= taille) return false;
        reponse.push_back(static_cast<char>(octet));
        if (trace) std::printf("Char Rep=%x - ", octet);
        if (octet == '\n') --lignes;
    }
    return true;
}

// A line's text without its CR LF.
void CoupeFinDeLigne(std::string& ligne)
{
    ligne.erase(ligne.size() >= 2 ? ligne.size() - 2 : 0);
}

bool LitReponse(int lignes, std::string& reponse)
{
    reponse.clear();
    if (LitLignes(kPortSource, lignes, kAttenteLigne, kTailleReponse, reponse, false)) return true;
    std::printf("%s", kReponseIncomplete);
    return false;
}

void AfficheEtiquettes(std::string_view reponse, std::span<const char* const> etiquettes)
{
    const auto lignes = LignesReponse(reponse);
    for (std::size_t i = 0; i < lignes.size() && i < etiquettes.size(); ++i) {
        std::printf("%s %.*s\n", etiquettes[i], static_cast<int>(lignes[i].size()), lignes[i].data());
    }
}

constexpr std::array<const char*, 14> kEtiquettesRUC = {
    "Pulse length (ns) : ",
    "High Pulse length (ns) : ",
    "Low Pulse length (ns) : ",
    "Repetition Rate (kHz) : ",
    "High Repetition Rate (kHz) : ",
    "Low Repetition Rate (kHz)) : ",
    "Courant Pump 1 (A) : ",
    "Temperature Pump 1 (°C) : ",
    "Courant Pump 2 (A) : ",
    "Temperature Pump 2 (°C) : ",
    "Courant Booster (A) : ",
    "Limite Courant Booster (A) : ",
    "Temperature de consigne de la source laser (°C): ",
    "Courant de la diode de visée (mA): ",
};

constexpr std::array<const char*, 5> kEtiquettesICT = {
    "Pulse Source Temperature (°C) : ", "Courant Pump 1 (A) : ", "Temperature Pump 1 (°C) : ",
    "Courant Pump 2 (A) : ",            "Temperature Pump 2 (°C) : ",
};

constexpr std::array<const char*, 13> kElementsSTB = {
    "Average power",         "Pulse source current", "Pump 1 current",      "Pump 2 current",
    "Booster current",       "Guide current",        "Pulse source temperature", "Pump 1 temperature",
    "Pump 2 temperature",    "PCB temperature",      "Interlock",           "Master pump current",
    "Low power supply",
};

enum class Forme { Ligne, RCD, RUC, IDR, ICT, STB };

struct CommandeStatus {
    const char* lettres;
    const char* sens;
    Forme forme;
    const char* avant = "";  // one-line replies: text around the value
    const char* apres = "";
};

constexpr std::array<CommandeStatus, 18> kCommandesStatus = {{
    {"REP", "Puissance de la source impulsionnelle", Forme::Ligne, "Puissance = ", "\n"},
    {"RET", "Température de la source impulsionnelle", Forme::Ligne, "Temperature = ", " °C\n"},
    {"RC1", "Courant du pré-amplificateur 1", Forme::Ligne, "Courant Pump 1 = ", " A\n"},
    {"RC2", "Courant du pré-amplificateur 2", Forme::Ligne, "Courant Pump 2 = ", " A\n"},
    {"RBC", "Courant du booster", Forme::Ligne, "Courant du Booster = ", " A\n"},
    {"RT1", "Température du pré-amplificateur 1", Forme::Ligne, "Temperature Pump 1 : ", " °C\n"},
    {"RT2", "Température du pré-amplificateur 2", Forme::Ligne, "Temperature Pump 2 : ", " °C\n"},
    {"RGC", "Courant de la diode de visée", Forme::Ligne, "Courant diode laser ", " A\n"},
    {"RAT", "Seuil de puissance moyenne", Forme::Ligne, "Seuil puissance moyenne : ", "\n"},
    {"RAP", "Puissance moyenne", Forme::Ligne, "Puissance moyenne : ", "\n"},
    {"RCD", "Données de calibration", Forme::RCD},
    {"RUC", "Configuration utilisateur", Forme::RUC},
    {"RBT", "Température de la carte", Forme::Ligne, "Temperature carte : ", " °C\n"},
    {"RRR", "Fréquence de répétition", Forme::Ligne, "Frequence : ", " kHz\n"},
    {"IDR", "Identification", Forme::IDR},
    {"TIR", "Temps de fonctionnement du booster", Forme::Ligne, "Temps total Booster actif : ", " \n"},
    {"ICT", "Courants et températures usine", Forme::ICT},
    {"STB", "Octet d'état", Forme::STB},
}};

// The replies of more than one line, in the order of Forme after Ligne.
struct ReponseLongue {
    bool (*lit)(std::string&);
    void (*affiche)(std::string_view);
};

constexpr std::array<ReponseLongue, 5> kReponsesLongues = {{
    {LectRepSpeRCD, AfficheRepCdeRCD},
    {LectRepSpeRUC, AfficheRepCdeRUC},
    {LectureRepSpeIDR, AfficheRepCdeIDR},
    {LectRepSpeICT, AfficheRepCdeICT},
    {LectRepSpeSBT, AfficheRepCdeSBT},
}};

constexpr int kQuitter = 19;

}  // namespace

void VideBufRep(unsigned char port)
{
    std::array<unsigned char, 10> octets{};
    GetBufferFromUART_BMode(port, octets.data(), static_cast<int>(octets.size()), 1000);
}

void LectureStatus()
{
    for (int choix = MenuStatus(); choix != kQuitter; choix = MenuStatus()) GestionCdeStatus(choix);
}

int MenuStatus()
{
    for (std::size_t i = 0; i < kCommandesStatus.size(); ++i) {
        std::printf(" %zu - %s : %s\n", i + 1, kCommandesStatus[i].lettres, kCommandesStatus[i].sens);
    }
    std::printf(" 19 - Quitter\n");
    std::printf("Votre choix : ");
    std::string ligne;
    const SaisieConsole saisie = LitLigneConsole(ligne, 32);
    if (saisie == SaisieConsole::Fin) return kQuitter;
    const std::size_t debut = std::min(ligne.find_first_not_of(" \t"), ligne.size());
    int choix = 0;
    if (saisie == SaisieConsole::Lue) std::from_chars(ligne.data() + debut, ligne.data() + ligne.size(), choix);
    return choix;
}

void GestionCdeStatus(int choix)
{
    if (choix < 1 || choix > static_cast<int>(kCommandesStatus.size())) return;
    const CommandeStatus& commande = kCommandesStatus[static_cast<std::size_t>(choix - 1)];
    VideBufRep(kPortSource);
    const std::string trame = std::string(commande.lettres) + "\r";
    SendBufferToUART(kPortSource, trame.data(), static_cast<int>(trame.size()));

    std::string reponse;
    if (commande.forme == Forme::Ligne) {
        if (!LectureRep(kPortSource, reponse)) return;
        std::printf("%s%s%s", commande.avant, reponse.c_str(), commande.apres);
    } else {
        const ReponseLongue& r = kReponsesLongues[static_cast<std::size_t>(commande.forme) - 1];
        if (!r.lit(reponse)) return;
        r.affiche(reponse);
    }
    TestRepOK();
}

bool LectureRep(unsigned char port, std::string& reponse)
{
    std::printf("LectureRep\n");
    reponse.clear();
    const bool lue = LitLignes(port, 1, kAttenteOctet, kTailleLigne, reponse, true);
    std::printf("\n");
    if (!lue) {
        std::printf("%s", kReponseIncomplete);
        return false;
    }
    CoupeFinDeLigne(reponse);
    return true;
}

bool LectRepSpeRCD(std::string& reponse)
{
    return LitReponse(12, reponse);
}

bool LectRepSpeRUC(std::string& reponse)
{
    return LitReponse(14, reponse);
}

bool LectureRepSpeIDR(std::string& reponse)
{
    return LitReponse(2, reponse);
}

bool LectRepSpeICT(std::string& reponse)
{
    return LitReponse(5, reponse);
}

bool LectRepSpeSBT(std::string& reponse)
{
    if (!LitReponse(1, reponse)) return false;
    CoupeFinDeLigne(reponse);
    return true;
}

std::vector<std::string_view> LignesReponse(std::string_view reponse)
{
    std::vector<std::string_view> lignes;
    while (!reponse.empty()) {
        const std::size_t fin = reponse.find('\n');
        lignes.push_back(reponse.substr(0, fin));
        reponse.remove_prefix(fin == std::string_view::npos ? reponse.size() : fin + 1);
    }
    return lignes;
}

void AfficheRepCdeRCD(std::string_view reponse)
{
    AfficheEtiquettes(reponse, std::span(kEtiquettesRUC).first(12));
}

void AfficheRepCdeRUC(std::string_view reponse)
{
    AfficheEtiquettes(reponse, kEtiquettesRUC);
}

void AfficheRepCdeIDR(std::string_view reponse)
{
    std::printf("\n");
    for (std::string_view ligne : LignesReponse(reponse)) {
        std::printf("%.*s\n", static_cast<int>(ligne.size()), ligne.data());
    }
}

void AfficheRepCdeICT(std::string_view reponse)
{
    AfficheEtiquettes(reponse, kEtiquettesICT);
}

void AfficheRepCdeSBT(std::string_view reponse)
{
    for (std::size_t i = 0; i < reponse.size() && i < kElementsSTB.size(); ++i) {
        AnalyseRepSTB(reponse[i], static_cast<int>(i));
    }
    std::printf("\n");
}

void AnalyseRepSTB(char etat, int index)
{
    if (index < 0 || index >= static_cast<int>(kElementsSTB.size())) return;
    const bool bon = etat == '1';
    const char* texte = index == 12 ? (bon ? "ON" : "OFF") : (bon ? "OK" : "ALARM");
    std::printf("\n %s : %s", kElementsSTB[static_cast<std::size_t>(index)], texte);
}

void TestRepOK()
{
    std::printf("REPONSE PAS TESTEE\n");
}

void SendCdeManuelle()
{
    std::printf("Cde : ");
    std::string commande;
    SaisieConsole saisie = SaisieConsole::Lue;
    // The end of the menu's line may still be pending: an empty line is no command.
    do saisie = LitLigneConsole(commande, kTailleCommande - 2);
    while (saisie == SaisieConsole::Lue && commande.empty());
    if (saisie == SaisieConsole::Fin) return;
    if (saisie == SaisieConsole::TropLongue) {
        std::printf("Commande trop longue : %zu caractères au plus\n", kTailleCommande - 2);
        return;
    }
    std::array<char, kTailleCommande> trame{};
    std::copy(commande.begin(), commande.end(), trame.begin());
    trame[commande.size()] = '\r';
    SendBufferToUART(kPortSource, trame.data(), static_cast<int>(trame.size()));
    std::printf("Atttente réponse : ");
    std::fflush(stdout);

    std::string reponse;
    unsigned char premier = 0;
    if (GetByteFromUART_BMode(kPortSource, &premier, kAttentePremierOctet) != 1) {
        std::printf("Erruer de communication\n");
    } else {
        reponse.push_back(static_cast<char>(premier));
        if (premier == '\n' || LitLignes(kPortSource, 1, kAttenteOctet, kTailleLigne, reponse, false)) {
            CoupeFinDeLigne(reponse);
        } else {
            std::printf("%s", kReponseIncomplete);
            reponse.clear();
        }
    }
    std::printf(reponse == "OK" ? "OK\n" : "Erreur de Commande\n");
}

void LectureBufUART()
{
    std::array<unsigned char, 255> octets{};
    GetBufferFromUART_BMode(kPortSource, octets.data(), static_cast<int>(octets.size()), 1000);
    for (unsigned char octet : octets) std::printf(" 0x%x", octet);
}
