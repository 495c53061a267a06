#include "CommunicationViperGL.h"

#include "GestionStatusSourceQL.h"
#include "build.h"
#include "mlas_func.h"
#include "zkserial.h"
#include "plan_materiel.h"
#include "etat_deplacement.h"
#include "etat_pupitre.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

void (*AppelInitFreqLFMin)() = nullptr;

namespace {

constexpr unsigned char kPortGL = 2;
constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kCr = 0x0D;
constexpr float kAttenteTrame = 100.0f;  // milliseconds

// The reader's traces: the fibre line prints them, the KM250 line does not.
[[gnu::format(printf, 1, 2)]] void Trace(const char* format, ...)
{
    if constexpr (build::kFibreLine) {
        va_list arguments;
        va_start(arguments, format);
        std::vprintf(format, arguments);
        va_end(arguments);
    }
}

// Without the board's port there is nothing to read, and without the timer
// window no time-out could ever end a wait.
bool PupitrePret()
{
    return File_Com[kPortGL] >= 0 && hOSTimer != nullptr;
}

// The text a frame is built in: bytes put at fixed positions of a zeroed
// buffer and read as a zero-terminated text, so a zero parameter ends it.
class TexteTrame {
public:
    void Vide() { octets_.fill(0); }
    void Pose(std::size_t position, unsigned char octet)
    {
        if (position < kTaille) octets_[position] = static_cast<char>(octet);
    }
    const char* c_str() const { return octets_.data(); }
    std::string Texte() const { return std::string(octets_.data(), strnlen(octets_.data(), kTaille)); }

private:
    static constexpr std::size_t kTaille = 255;
    std::array<char, kTaille + 1> octets_{};
};

enum class Etape { Esc, Commande, Longueur, Param, Cr, Fin };

class LecteurTrame {
public:
    explicit LecteurTrame(int etape) : etape_(etape == 0 ? Etape::Esc : Etape::Commande) {}

    std::string Lit(float timeout)
    {
        const double limite = static_cast<double>(timeout) * deplacement.NbrePeriodeTimerParMs;
        uint32_t t0 = LireTimer();
        bool timeOut = false;
        do {
            const uint32_t maintenant = LireTimer();
            if (maintenant < t0) t0 = maintenant;
            if (static_cast<double>(maintenant - t0) > limite) timeOut = true;
            Pas();
        } while (!timeOut && !finTrame_);
        if (etape_ == Etape::Fin) {
            if (depuisAttente_) Trace("FIN2 LectRSRepGL\n");
            return trame_.Texte();
        }
        Trace("FIN3 LectRSRepGL\n");
        std::printf("NO TRAME  TimeOut=%d FinTrame=%d\n", timeOut, finTrame_);
        return {};
    }

private:
    void Pas()
    {
        switch (etape_) {
        case Etape::Esc: PasEsc(); break;
        case Etape::Commande: PasCommande(); break;
        case Etape::Longueur: PasLongueur(); break;
        case Etape::Param: PasParam(); break;
        case Etape::Cr: PasCr(); break;
        case Etape::Fin: break;
        }
    }

    // The next byte: those of a failed frame first, then the line's.
    bool Octet(unsigned char& octet)
    {
        if (!enAttente_.empty()) {
            octet = static_cast<unsigned char>(enAttente_.front());
            enAttente_.erase(0, 1);
            depuisAttente_ = true;
            return true;
        }
        return GetByteFromUART_BMode(kPortGL, &octet, 0) == 1;
    }

    // The failed frame's bytes are looked at again for a following ESC.
    void Abandon()
    {
        enAttente_ = trame_.Texte();
        etape_ = Etape::Esc;
    }

    void PasEsc()
    {
        trame_.Vide();
        depuisAttente_ = false;
        if (!enAttente_.empty()) {
            Resynchronise();
            return;
        }
        unsigned char octet = 0;
        if (GetByteFromUART_BMode(kPortGL, &octet, 0) != 1) return;
        Trace(" ESC2 Val Recue %x ", octet);
        if (octet == kEsc) {
            Trace("\nESC3 Passage à l'étape CDE\n");
            etape_ = Etape::Commande;
        }
    }

    void Resynchronise()
    {
        Trace("\nESC4  Chaine pas vide   strRep=%s", enAttente_.c_str());
        for (char c : enAttente_) Trace(" Var=%x ", static_cast<unsigned char>(c));
        const std::size_t position = enAttente_.find_last_of(static_cast<char>(kEsc));
        if (position == std::string::npos || position == 0) {
            enAttente_.clear();
            return;
        }
        Trace("\nESC PosDuChar : %d ", static_cast<int>(position));
        Trace("\nESC5  strRep=%s   PosDuChar=%d", enAttente_.c_str(), static_cast<int>(position));
        enAttente_.erase(0, position + 1);
        Trace("\nESC6  strRep=%s", enAttente_.c_str());
        Trace("\nESC7      ESC détecté passage à l'étape CDE");
        etape_ = Etape::Commande;
    }

    void PasCommande()
    {
        const bool attente = !enAttente_.empty();
        unsigned char octet = 0;
        if (!Octet(octet)) return;
        if (attente) Trace(" CDE PAS vide\n");
        Trace("Cde en Cours : %x \n", octet);
        if (OctetdeCde(&octet) == 1) {
            trame_.Vide();
            trame_.Pose(0, octet);
            etape_ = Etape::Longueur;
        } else {
            Trace("CDE retour Etape ESC\n");
            etape_ = Etape::Esc;
        }
    }

    void PasLongueur()
    {
        Trace("longueur trame : ");
        const bool attente = !enAttente_.empty();
        unsigned char octet = 0;
        if (!Octet(octet)) return;
        trame_.Pose(1, octet);
        Trace("Lg=%x\n", octet);
        if (attente) Trace("Lg attendue (chaine en attente) : %d\n", octet);
        if (octet >= 3 && octet <= 6) {
            longueur_ = octet;
            Trace("Lg OK -> Etape PARAM\n");
            etape_ = Etape::Param;
        } else {
            Trace("PB Longueur -> retour etape ESC\n");
            Abandon();
        }
    }

    // The parameters come in one go: the overall time-out is not looked at,
    // only a gap of 2 ms between two bytes.
    void PasParam()
    {
        const double ecartMax = 2.0 * deplacement.NbrePeriodeTimerParMs;
        unsigned nombre = 2;
        uint32_t dernier = LireTimer();
        while (nombre < longueur_) {
            unsigned char octet = 0;
            if (Octet(octet)) {
                trame_.Pose(nombre++, octet);
                dernier = LireTimer();
            } else if (static_cast<double>(LireTimer() - dernier) > ecartMax) {
                break;
            }
        }
        Trace("PARAM3    Chaine en cours strNewRep=%s   NbreParam=%d\n", trame_.c_str(), nombre);
        if (nombre == longueur_) etape_ = Etape::Cr;
        else Abandon();
    }

    void PasCr()
    {
        unsigned char octet = 0;
        if (!Octet(octet)) return;
        trame_.Pose(longueur_, octet);
        Trace("\nCR4    Chaine en cours strNewRep=%s   ", trame_.c_str());
        if (octet == kCr) {
            Trace("CR3 Fin trame\n");
            etape_ = Etape::Fin;
            finTrame_ = true;
        } else {
            Trace("CR2 Ce n'est pas un CR, on recommence à 0 -> Etape ESC\n");
            Abandon();
        }
    }

    Etape etape_;
    TexteTrame trame_;
    std::string enAttente_;  // bytes of a failed frame still to look at
    unsigned longueur_ = 0;
    bool finTrame_ = false;
    bool depuisAttente_ = false;
};

// Five-byte frame ESC letter 3 parameter CR.
std::array<unsigned char, 5> TrameCourte(unsigned char lettre, unsigned char parametre)
{
    return {kEsc, lettre, 3, parametre, kCr};
}

template <std::size_t N>
unsigned char EnvoiTrame(const std::array<unsigned char, N>& trame)
{
    VideBufRep(kPortGL);
    return SendBufferToUART(kPortGL, trame.data(), static_cast<int>(N));
}

unsigned char EnvoiTrameTracee(const char* nom, unsigned char lettre)
{
    const auto trame = TrameCourte(lettre, 0);
    std::printf("%s\n", nom);
    for (unsigned char octet : trame) std::printf("Val = %x ", octet);
    std::printf("\n");
    return EnvoiTrame(trame);
}

bool EstEvenement(std::string_view trame, char lettre)
{
    return trame.size() == 2 && trame[0] == lettre && trame[1] == 3;
}

// An event that raises its flag, sets one other and is acknowledged.
int EvenementSimple(std::string_view trame, char lettre, const char* texte, uint8_t& drapeau, uint8_t& autre,
                    uint8_t valeur, unsigned char (*reponse)())
{
    if (!EstEvenement(trame, lettre)) return 0;
    std::printf("%s", texte);
    drapeau = 1;
    autre = valeur;
    reponse();
    return drapeau;
}

// First step of both polls: a lone zero-wait poll for the ESC, then the frame.
bool LitEvenement(std::string& trame)
{
    if (!PupitrePret()) return false;
    unsigned char octet = 0;
    if (GetByteFromUART_BMode(kPortGL, &octet, 0) != 1 || octet != kEsc) return false;
    bLectureTrame(trame);
    return true;
}

struct FermeFichier {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

unsigned char InitPortRSPC_Viper()
{
    std::printf(" Init. port COM2  PC <-> VIPER \n");
    return InitCom(1, 115200, 0, 0, 0);
}

unsigned char InitPortRSGL_Viper()
{
    std::printf(" Init. port COM3  VIPER <-> GL \n");
    return InitCom(kPortGL, 57600, 0, 0, 0);
}

unsigned char InitPortRSViper_SourceQL()
{
    std::printf(" Init. port COM4  VIPER <-> SOURCE QL\n");
    return InitCom(3, 9600, 0, 0, 0);
}

void InitTabDeCde()
{
    if constexpr (build::kFibreLine) pupitre.TabDeCde = "ghijkUbcdef";
    else pupitre.TabDeCde = "ghdm";
}

void InitComGL_Viper()
{
    InitPortRSGL_Viper();
    InitTabDeCde();
}

void LFInitFiberLaser()
{
    InitPortRSGL_Viper();
    InitTabDeCde();
    InitPortRSViper_SourceQL();
    InitPortRSPC_Viper();
    if (EnablePWM() == 0) {
        std::printf("Erreur dans la fonction de validation du PWM\n");
        std::exit(1);
    }
    pupitre.bEcoMode = 1;
    if (AppelInitFreqLFMin != nullptr) AppelInitFreqLFMin();
}

void BrancheEvenementsPupitre()
{
    if constexpr (build::kFibreLine) ScruteEvenementsPupitre = LFTestSiEventEnCours;
    else ScruteEvenementsPupitre = TestSiEventEnCours;
}

uint32_t LireTimer()
{
    return hOSTimer != nullptr ? libdevmem_read_uint32(hOSTimer, 0) : 0;
}

std::string LectRSRepGL(float timeout, int etape)
{
    if (!PupitrePret()) return {};
    return LecteurTrame(etape).Lit(timeout);
}

bool bLectureTrame(std::string& trame)
{
    trame = LectRSRepGL(kAttenteTrame, 1);
    return !trame.empty();
}

int OctetdeCde(const unsigned char* octet)
{
    return *octet != 0 && pupitre.TabDeCde.find(static_cast<char>(*octet)) != std::string::npos ? 1 : 0;
}

int LFTestSiEventEnCours()
{
    std::string trame;
    if (!LitEvenement(trame)) return 0;
    std::printf("Trame lue : ");
    for (std::size_t i = 0; i < 6; ++i) std::printf(" %x ", i < trame.size() ? static_cast<unsigned char>(trame[i]) : 0u);
    std::printf("\n");

    if (TstSiDdeModeEco(trame)) {
        DisablePreAmp();
        return 1;
    }
    if (TstSiDdeModeNormal(trame) || TstSiKeyON(trame)) return 1;
    if (TstSiKeyOFF(trame)) {
        DisablePreAmp();
        return 1;
    }
    if (TstSiAlarme(trame)) {
        DdeStatus();
        return 1;
    }
    return 0;
}

int TestSiEventEnCours()
{
    std::string trame;
    if (!LitEvenement(trame)) return 0;
    return TstSiDdeModeEco(trame) || TstSiDdeModeNormal(trame) ? 1 : 0;
}

int TstSiDdeModeEco(std::string_view trame)
{
    if (!EstEvenement(trame, 'g')) return 0;
    if constexpr (build::kFibreLine) std::printf(" MODE ECO \n");
    pupitre.bEcoMode = 1;
    pupitre.bNormalMode = 0;
    if constexpr (build::kFibreLine) RepACdeModeEco();
    else std::printf("ECO\n");
    return pupitre.bEcoMode;
}

int TstSiDdeModeNormal(std::string_view trame)
{
    if (!EstEvenement(trame, 'h')) return 0;
    pupitre.bEcoMode = 0;
    pupitre.bNormalMode = 1;
    if constexpr (build::kFibreLine) {
        std::printf(" MODE NORMAL \n");
        pupitre.bKeyOFF = 0;
        pupitre.bRetourNormalPendantMarquage = pupitre.bMarquageEnCours != 0 ? 1 : 0;
        RepACdeModeNormal();
    } else {
        std::printf("NORMAL\n");
    }
    return pupitre.bNormalMode;
}

int TstSiKeyON(std::string_view trame)
{
    return EvenementSimple(trame, 'i', " KEY ON \n", pupitre.bKeyON, pupitre.bKeyOFF, 0, RepACdeKeyON);
}

int TstSiKeyOFF(std::string_view trame)
{
    return EvenementSimple(trame, 'j', " KEY OFF \n", pupitre.bKeyOFF, pupitre.bAlarmeEnCours, 0, RepACdeKeyOFF);
}

int TstSiAlarme(std::string_view trame)
{
    return EvenementSimple(trame, 'k', "Alarme ON\n", pupitre.bAlarmeEnCours, pupitre.bEcoMode, 1, RepACdeAlarme);
}

unsigned char RepACdeModeEco()
{
    return EnvoiTrame(TrameCourte('g', 0));
}

unsigned char RepACdeModeNormal()
{
    return EnvoiTrame(TrameCourte('h', 0));
}

unsigned char RepACdeKeyON()
{
    return EnvoiTrame(TrameCourte('i', 0));
}

unsigned char RepACdeKeyOFF()
{
    return EnvoiTrame(TrameCourte('j', 0));
}

unsigned char RepACdeAlarme()
{
    return EnvoiTrame(TrameCourte('k', 0));
}

void DdeStatus()
{
    EnvoiTrame(TrameCourte('f', 0));
    const std::string reponse = LectRSRepGL(kAttenteTrame, 0);
    const unsigned etat = reponse.size() > 3 ? static_cast<unsigned char>(reponse[3]) : 0u;
    static constexpr const char* kAlarmes[4] = {"AlarmeAntiRetour\n", "AlarmeTemperature\n", "AlarmeOscillator\n",
                                                "AlarmeSynchro\n"};
    for (int bit = 3; bit >= 0; --bit) {
        if ((etat >> bit & 1) != 0) std::printf("%s", kAlarmes[bit]);
    }
}

unsigned char EnvoiGLCdeStart()
{
    if constexpr (build::kFibreLine) {
        std::printf("Start CPU <-> GL\n");
        return EnvoiTrame(TrameCourte('e', 3));
    } else {
        std::printf("ENVOI StartUp\n");
        std::array<unsigned char, 18> trame{kEsc, 'm', 16};
        std::copy(pupitre.stTypAdrMask.begin(), pupitre.stTypAdrMask.end(), trame.begin() + 3);
        trame[11] = pupitre.TypeVersion[0];
        trame[12] = pupitre.TypeVersion[1];
        trame[13] = pupitre.TypeVersionDSP[1];
        trame[14] = pupitre.TypeVersionDSP[0];
        trame[15] = pupitre.TypeAnneeDSP[0];
        trame[16] = pupitre.TypeAnneeDSP[1];
        trame[17] = kCr;
        return EnvoiTrame(trame);
    }
}

unsigned char EnvoiGLCdeDiodes(unsigned char etat)
{
    return EnvoiTrame(TrameCourte('d', etat));
}

unsigned char EnvoiGLCdeResetPIC()
{
    return EnvoiTrameTracee("EnvoiGLCdeResetPIC", 'U');
}

unsigned char EnvoiGLStatus()
{
    return EnvoiTrameTracee("EnvoiGLStatus", 'f');
}

void EnvoiGLCdeViperStarted()
{
    LitIP();
    LitVersionFirmware();
    LectureVersionDSP();
    EnvoiGLCdeStart();
}

int LitIP()
{
    [[maybe_unused]] const int etat = std::system(". ifip eth0 > /var/tmp/IPFile");
    std::array<uint8_t, 8> lus{};
    bool bon = false;
    if (std::unique_ptr<std::FILE, FermeFichier> fichier{std::fopen("/var/tmp/IPFile", "r+")}) {
        char adresse[32] = {};
        char masque[32] = {};
        bon = std::fscanf(fichier.get(), "%31s %31s", adresse, masque) == 2 &&
              TraitementChaine(adresse, std::span(lus).first<4>()) && TraitementChaine(masque, std::span(lus).last<4>());
    }
    // A missing or malformed answer must not put a wrong address on the board.
    pupitre.stTypAdrMask = bon ? lus : std::array<uint8_t, 8>{};
    if (!bon) {
        std::printf("ERROR : PB ouverture fichier IPFile\n");
        return 255;
    }
    return 0;
}

bool TraitementChaine(std::string_view texte, std::span<uint8_t, 4> octets)
{
    std::array<uint8_t, 4> valeurs{};
    for (std::size_t i = 0; i < valeurs.size(); ++i) {
        const bool dernier = i + 1 == valeurs.size();
        const std::size_t fin = dernier ? texte.size() : texte.find('.');
        if (fin == std::string_view::npos || fin == 0 || fin > 3) return false;
        unsigned valeur = 0;
        const auto [suite, erreur] = std::from_chars(texte.data(), texte.data() + fin, valeur);
        if (erreur != std::errc{} || suite != texte.data() + fin || valeur > 255) return false;
        valeurs[i] = static_cast<uint8_t>(valeur);
        texte.remove_prefix(dernier ? fin : fin + 1);
    }
    std::copy(valeurs.begin(), valeurs.end(), octets.begin());
    return true;
}

void LitVersionFirmware()
{
    pupitre.TypeVersion = {build::kDmc ? uint8_t{11} : uint8_t{10}, 20};
}

void LectureVersionDSP()
{
    Ecrire_Port(materiel::kPortDsp + materiel::kRegistreAdresse, 'w', materiel::kDspVersion);
    const unsigned long version = Lire_Port(materiel::kPortDsp + materiel::kRegistreDonnee, 'w');
    const unsigned long annee = Lire_Port(materiel::kPortDsp + materiel::kRegistreDonnee, 'w');
    pupitre.TypeVersionDSP = {static_cast<uint8_t>(version / 100), static_cast<uint8_t>(version % 100)};
    pupitre.TypeAnneeDSP = {static_cast<uint8_t>(annee >> 8), static_cast<uint8_t>(annee & 0xFF)};
}

void OnSIGSTOPMARKING(int)
{
    std::printf("Arrêt du MARQUAGE DEMANDE\n");
}
