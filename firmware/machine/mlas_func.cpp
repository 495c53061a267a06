#include "mlas_func.h"

#include "TitanIO.h"
#include "build.h"
#include "mlas_dep.h"
#include "plan_materiel.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <pthread.h>
#include <string>
#include <vector>

libdevmem_handle* h = nullptr;
libdevmem_handle* hOSTimer = nullptr;

namespace {

clock_t HorlogeProcessus()
{
    return clock();
}

void (*arretCtrlC)() = nullptr;
pthread_t threadArret{};
bool arretEnCours = false;

using materiel::kAcquittement;
using materiel::kRegistreAdresse;
using materiel::kRegistreDonnee;
using materiel::kRegistreReset;

void EnvoieCommande(uint8_t code, uint16_t adresse = 0, std::initializer_list<uint16_t> parametres = {})
{
    if (parametres.size() != 0) {
        AdresseDsp(adresse);
        for (uint16_t mot : parametres) EcritDsp(mot);
    }
    AdresseDsp(materiel::kDspStatut);
    EcritDsp(0x0000);
    EcritDsp(code);
}

int CommandeUneFois(int t, uint8_t code, uint16_t adresse = 0, std::initializer_list<uint16_t> parametres = {})
{
    EnvoieCommande(code, adresse, parametres);
    return Dsp_Retour(t);
}

// Test_Reset talks to the DSP itself (command 0x01) and may serve a board
// event that does too, so the status read next would not be this command's:
// the command goes out again before the wait goes on.
int CommandeJusquAcquittementOuReset(int t, uint8_t code, uint16_t adresse = 0,
                                     std::initializer_list<uint16_t> parametres = {})
{
    for (;;) {
        EnvoieCommande(code, adresse, parametres);
        if (Dsp_Retour(t) == kAcquittement) return 1;
        if (Test_Reset() != 0) return 0;
    }
}

// Float to a 16-bit register word, saturating what does not fit.
uint16_t Mot16(double valeur)
{
    if (!(valeur >= 0.0)) return 0;
    if (valeur > 65535.0) return 0xFFFF;
    return static_cast<uint16_t>(valeur);
}

// Characters [debut, debut + nombre) of a token read as hexadecimal.
unsigned long ValeurHexa(const std::string& jeton, std::size_t debut, std::size_t nombre)
{
    const std::string texte = "0x" + (debut < jeton.size() ? jeton.substr(debut, nombre) : std::string());
    return std::strtoul(texte.c_str(), nullptr, 0);
}

struct FermeFichier {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using Fichier = std::unique_ptr<std::FILE, FermeFichier>;

// True once the start word is written.
bool ChargeProgramme(std::FILE* programme, std::FILE* journal)
{
    char lu[256];
    auto suivant = [&] { return std::fscanf(programme, "%255s", lu) == 1; };
    auto note = [&](const char* format, unsigned long valeur) {
        if (journal != nullptr) std::fprintf(journal, format, valeur);
    };

    bool identifie = false;
    while (!identifie && suivant()) identifie = std::strcmp(lu, "@PA") == 0;
    if (!identifie) {
        std::printf("Erreur d'identification du fichier DSP\n");
        return false;
    }
    if (!suivant() || std::strcmp(lu, "0000") != 0 || !suivant()) {
        std::printf("Erreur dans le fichier 2");
        return false;
    }
    const std::string motDemarrage = lu;

    AdresseDsp(materiel::kDspChargement);
    EcritDsp(materiel::kDspMotChargement);
    AdresseDsp(materiel::kDspProgramme);
    const unsigned long saveH = ValeurHexa(motDemarrage, 0, 4);
    const unsigned long saveL = ValeurHexa(motDemarrage, 4, 2);

    while (suivant() && lu[0] != '#') {
        const std::string jeton = lu;
        const unsigned long i = ValeurHexa(jeton, 0, 4);
        EcritDsp(static_cast<uint16_t>(i));
        note("i= %lu\n", i);
        const unsigned long i2 = ValeurHexa(jeton, 4, 2);
        EcritDsp(static_cast<uint16_t>(i2));
        note("I2= %lu\n", i2);
    }

    // Word 0 last: writing it starts the DSP program.
    AdresseDsp(materiel::kDspDemarrage);
    EcritDsp(static_cast<uint16_t>(saveH));
    note("saveH= %lu\n", saveH);
    EcritDsp(static_cast<uint16_t>(saveL));
    note("saveL= %lu\n", saveL);
    return true;
}

}  // namespace

clock_t (*LireHorloge)() = HorlogeProcessus;

Chronometre::Chronometre() : precedent_(LireHorloge()) {}

double Chronometre::Secondes()
{
    const clock_t t = LireHorloge();
    if (t > precedent_) ecoule_ += static_cast<double>(t - precedent_) / CLOCKS_PER_SEC;
    precedent_ = t;
    return ecoule_;
}

std::atomic<bool> bArretDemande{false};

void BrancheArretCtrlC(void (*arret)())
{
    arretCtrlC = arret;
    threadArret = pthread_self();
}

void ArretSiDemande()
{
    if (!bArretDemande.load(std::memory_order_relaxed) || arretEnCours || arretCtrlC == nullptr ||
        !pthread_equal(pthread_self(), threadArret))
        return;
    arretEnCours = true;
    arretCtrlC();
}

bool ArretEnCours()
{
    return arretEnCours;
}

void AdresseDsp(uint16_t adresse)
{
    libdevmem_write_uint16(h, kRegistreAdresse, adresse);
}

void EcritDsp(uint16_t mot)
{
    libdevmem_write_uint16(h, kRegistreDonnee, mot);
}

uint16_t LitDsp()
{
    return libdevmem_read_uint16(h, kRegistreDonnee);
}
int (*ScruteEvenementsPupitre)() = nullptr;

void Ecrire_Port(unsigned long address, char type, unsigned long value)
{
    const auto offset = static_cast<uint32_t>(address - materiel::kPortDsp);
    switch (type) {
    case 'b': libdevmem_write_uint8(h, offset, static_cast<uint8_t>(value)); break;
    case 'w': libdevmem_write_uint16(h, offset, static_cast<uint16_t>(value)); break;
    case 'l': libdevmem_write_uint32(h, offset, static_cast<uint32_t>(value)); break;
    default: break;
    }
}

unsigned long Lire_Port(unsigned long address, char type)
{
    const auto offset = static_cast<uint32_t>(address - materiel::kPortDsp);
    switch (type) {
    case 'b': return libdevmem_read_uint8(h, offset);
    case 'w': return libdevmem_read_uint16(h, offset);
    case 'l': return libdevmem_read_uint32(h, offset);
    default:
        std::fprintf(stderr, "Illegal data type '%c'.\n", type);
        std::exit(2);
    }
}

int Dsp_Retour(int t)
{
    const clock_t limite = static_cast<clock_t>(t) * 1000 * 2;
    clock_t debut = LireHorloge();
    for (;;) {
        AdresseDsp(materiel::kDspStatut);
        const uint16_t statut = LitDsp();
        if (statut != 0 || deplacement.bDspSansProgramme != 0) return statut;
        const clock_t maintenant = LireHorloge();
        if (maintenant < debut) debut = maintenant;
        if (maintenant - debut > limite) return 0;
    }
}

unsigned char Get_Dsp_In()
{
    // Every wait of the firmware reads the inputs: where Ctrl-C is seen.
    ArretSiDemande();
    if (CommandeUneFois(2000, materiel::kCmdEntrees) != kAcquittement) return 0;
    AdresseDsp(materiel::kDspEntrees);
    return static_cast<unsigned char>(~LitDsp() & 0xFF);
}

// A setting reaches the DSP at once: the marks queued before it are done first.
int Pilot_PWM(int freq, float duty)
{
    FinitMarquesEnAttente();
    const float quotient = 8192000.0f / static_cast<float>(freq);
    const uint16_t periode = Mot16(std::floor(quotient + 0.5f));
    const uint16_t haut = Mot16(std::floor(quotient / 100.0f * duty + 0.5f));
    return CommandeJusquAcquittementOuReset(10, materiel::kCmdPeriodeQSwitch, materiel::kDspPeriodeQSwitch, {periode, haut});
}

int Pilot_Vitesse(unsigned short a, unsigned short b)
{
    FinitMarquesEnAttente();
    const uint16_t rapport = Mot16(std::floor(32768000.0 / deplacement.DSPTimerFreq + 0.5));
    return CommandeUneFois(1000, materiel::kCmdVitesse, materiel::kDspVitesse, {rapport, a, b}) == kAcquittement ? 1 : 0;
}

int Pilot_Puissance(int power)
{
    FinitMarquesEnAttente();
    const int resultat =
        CommandeJusquAcquittementOuReset(100, materiel::kCmdPuissance, materiel::kDspPuissance,
                                         {static_cast<uint16_t>(power & 0xFFFF)});
    deplacement.MemCurrentPower = power;
    return resultat;
}

void StartSeq(unsigned short version)
{
    const int majeure = version & 0xFF;
    const int mineure = version >> 8 & 0xFF;
    std::printf("Version -> EFS : %d.%d\n", majeure, mineure);
    std::vector<int> valeurs = {1, 127, 112};
    for (int chiffres : {majeure, mineure}) {
        const int dizaines = chiffres / 10;
        const int unites = chiffres % 10;
        valeurs.insert(valeurs.end(), {dizaines, dizaines + 0x40, unites, unites + 0x40});
    }
    valeurs.push_back(85);
    for (int valeur : valeurs) {
        Pilot_Puissance(valeur);
        Pause_Las(100);
    }
}

int EnablePWM()
{
    std::printf("Validation Signal PWM du DSP\n");
    return CommandeJusquAcquittementOuReset(1000, materiel::kCmdValidePwm);
}

int EnableServo()
{
    return CommandeJusquAcquittementOuReset(1000, materiel::kCmdValideServo);
}

int DisableServo()
{
    return CommandeUneFois(2000, materiel::kCmdDevalideServo) == kAcquittement ? 1 : 0;
}

int Ecrire_Tor_Dsp(unsigned char n, char on)
{
    static uint16_t Sorties_TOR_DSP = 0;
    if (n < 1 || n > 4) return n;
    const uint16_t bit = static_cast<uint16_t>(1u << (n + 8));
    Sorties_TOR_DSP = static_cast<uint16_t>(on == 1 ? Sorties_TOR_DSP | bit : Sorties_TOR_DSP & ~bit);
    return CommandeUneFois(2000, materiel::kCmdSorties, materiel::kDspSorties, {Sorties_TOR_DSP});
}

int Ecriture_TOR_DSP(unsigned char v)
{
    static uint16_t Sorties_TOR_DSP = 0;
    Sorties_TOR_DSP = static_cast<uint16_t>((v & 0xF) << 9);
    return CommandeUneFois(2000, materiel::kCmdSorties, materiel::kDspSorties, {Sorties_TOR_DSP});
}

int EnablePreAmp()
{
    std::printf("Validation Pre-Amp\n");
    return CommandeJusquAcquittementOuReset(1000, materiel::kCmdValidePreAmp);
}

int DisablePreAmp()
{
    std::printf("Devalidation PRE-AMP (DSP)\n");
    return CommandeJusquAcquittementOuReset(1000, materiel::kCmdDevalidePreAmp);
}

int Fixe_Increment(unsigned short div_pd, unsigned short div_pu)
{
    FinitMarquesEnAttente();
    AdresseDsp(materiel::kDspIncrements);
    EcritDsp(div_pu);
    EcritDsp(div_pd);
    // No command of its own: the status still holds the previous reply.
    for (;;) {
        if (Dsp_Retour(1000) == kAcquittement) return 1;
        if (Test_Reset() != 0) return 0;
    }
}

void EcritLesOrigines(unsigned short dac_x, unsigned short dac_y, unsigned short adc_x, unsigned short adc_y)
{
    AdresseDsp(materiel::kDspOrigines);
    EcritDsp(dac_x);
    EcritDsp(dac_y);
    EcritDsp(adc_x);
    EcritDsp(adc_y);
}

void LitLesOrigines()
{
    AdresseDsp(materiel::kDspOrigines);
    const unsigned dacX = LitDsp();
    const unsigned dacY = LitDsp();
    const unsigned adcX = LitDsp();
    const unsigned adcY = LitDsp();
    std::printf("OrigineDacX :%x\n OrigineDacY :%x\n OrigineAdcX :%x\n OrigineAdcY :%x\n", dacX, dacY, adcX, adcY);
    Pause_Las(1000);
}

unsigned char Lire_Tor_Dsp(unsigned char n)
{
    if (n >= 8) return 0;
    return static_cast<unsigned char>(Get_Dsp_In() >> n & 1);
}

int Test_Reset()
{
    if constexpr (!build::kViper) {
        if (ScruteEvenementsPupitre != nullptr) ScruteEvenementsPupitre();
    }
    return Lire_Tor_Dsp(0) == 0 ? 1 : 0;
}

void Pause_Las(unsigned long ms)
{
    clock_t t0 = LireHorloge();
    double ecoule = 0.0;
    do {
        ArretSiDemande();
        const clock_t t1 = LireHorloge();
        if (t0 > t1) {
            t0 = -2147483648L;
            std::printf("!!!!!!! REMARQUE : Cas particulier -> le compteur de clock() a fait un tour complet -> "
                        "t0= %f  t1= %f\n",
                        static_cast<double>(t0), static_cast<double>(t1));
        }
        ecoule = (static_cast<double>(t1) - static_cast<double>(t0)) / 1000000.0 * 1000.0;
    } while (static_cast<double>(ms) > ecoule);
}

void Reset_Dsp()
{
    std::printf("Reset du DSP avec pause : ");
    libdevmem_write_uint8(h, kRegistreReset, 0);
    Pause_Las(500);
    std::printf("pause 500");
    libdevmem_write_uint8(h, kRegistreReset, 1);
    Pause_Las(200);
    std::printf("  pause 200\n");
}

void Charge_Dsp()
{
    const clock_t debut = LireHorloge();
    Reset_Dsp();
    {
        Fichier programme(std::fopen(build::kTraits.dspProgram, "r"));
        Fichier journal(std::fopen("log_dsp.txt", "w+"));
        if (!programme) std::printf("Fichier DSP absent -> FIN du programme");
        else if (ChargeProgramme(programme.get(), journal.get())) deplacement.bDspSansProgramme = 0;
    }
    build::Affiche(build::kTraits.texteTempsChargement, static_cast<long>(LireHorloge() - debut));
    Pause_Las(1000);
}

void SwitchPlatCylindre()
{
    const bool cylindre = rotation.bTC_DMC != 0;

    if (build::kViper || pupitre.TypeCarteCPU == 1) {
        libdevmem_handle* gpio = libdevmem_open(materiel::kGpio, build::kViper ? 40 : materiel::kLongueurGpio);
        if (gpio == nullptr) {
            std::printf("Erreur d'ouverture des registres GPIO\n");
            return;
        }
        if constexpr (build::kViper) std::printf(cylindre ? "Marquage sur cylindre\n" : "Marquage à plat \n");
        else std::printf(cylindre ? "Carte Viper : Marquage sur cylindre\n" : "Carte Viper : Marquage à plat\n");
        libdevmem_write_uint32(gpio, cylindre ? materiel::kGpioMiseA1 : materiel::kGpioMiseA0, materiel::kGpio21);
        libdevmem_close(gpio);
        return;
    }
    if constexpr (!build::kViper) {
        GVT_TourneCylindre(cylindre ? 1 : 0);
        std::printf(cylindre ? "Carte Titan : Marquage sur cylindre\n" : "Carte Titan : Marquage à plat\n");
    }
}
