#include "prnReception.h"

#include "ChampsEntete.h"

#include "LiaisonSerie.h"
#include "build.h"
#include "mlas_func.h"
#include "prnbuffer.h"
#include "process.h"
#include "tcpip.h"
#include "tools.h"
#include "etat_reception.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

std::atomic<uint8_t> CommMode{1};
std::atomic<uint8_t> bStopReceptionThreads{0};
std::atomic<int> client{-1};
int serveurTCPIP = -1;

namespace {

constexpr uint8_t kAttente = 1;
constexpr uint8_t kSerie = 2;
constexpr uint8_t kTCP = 3;
constexpr uint8_t kFermeAvantJob = 4;

constexpr uint32_t kTailleMaxJob = 20970000;
constexpr int kPortDefaut = 9100;
constexpr unsigned char kPortPC = 1;
constexpr unsigned short kAttenteDetection = 1;  // units of the serial layer
constexpr unsigned short kAttenteReception = 100;
constexpr int kAttenteEcouteMs = 10;  // how soon a listener sees the stop flag
constexpr int kTrancheReceptionMs = 100;  // how soon a TCP reception sees Ctrl-C
constexpr size_t kClientsMax = 8;  // TCP peers watched at once for the start instruction
constexpr const char* kFichierJob = "tmpprn.prn";
constexpr const char* kFichierJobPartiel = "tmpprn.prn.part";

constexpr unsigned char kOctetTCP = build::kFibreLine ? 1 : 0;
constexpr unsigned char kCalmeTCP = build::kFibreLine ? 2 : 255;

// Each listener feeds its own window; each TCP peer has its own too.
thread_local unsigned char DetectBuff[7];

bool Detecte(unsigned char* fenetre, const unsigned char* pattern, unsigned char byte)
{
    std::memmove(fenetre, fenetre + 1, 5);
    fenetre[5] = byte;
    return std::memcmp(fenetre, pattern, 6) == 0;
}

// Bytes read from a link and not consumed yet: the listeners read in blocks,
// and what follows the start instruction belongs to the job.
template <size_t N>
struct LectureAvance {
    unsigned char octets[N];
    size_t debut = 0;
    size_t fin = 0;

    size_t Reste() const { return fin - debut; }
    unsigned char Prend() { return octets[debut++]; }
    void Rempli(size_t n) { debut = 0, fin = n; }
    void Vide() { debut = fin = 0; }
    bool Detecte()
    {
        while (debut < fin) {
            if (bDetectStr(reception.StartInst, octets[debut++])) return true;
        }
        return false;
    }
    // Appends the bytes to the job being received; false when it is full.
    bool Range();
};

// A job is received here and takes the place of the one in RecepBuff only
// once it came whole and was saved: a failed reception changes nothing.
PRNBuffer RecepEnCours;

template <size_t N>
bool LectureAvance<N>::Range()
{
    const bool complet = PRNBuffWriteBuff(&RecepEnCours, octets + debut, static_cast<uint32_t>(Reste())) == 0;
    Vide();
    return complet;
}

LectureAvance<65536> avanceTCP;
// A serial block read gives its count in 8 bits, 255 meaning an error.
LectureAvance<254> avanceSerie;

bool Arret()
{
    return bStopReceptionThreads.load() != 0;
}

// The first link to show the start instruction takes the job.
bool PrendLeJob(uint8_t etat)
{
    uint8_t attendu = kAttente;
    return CommMode.compare_exchange_strong(attendu, etat);
}

// 1-254 bytes read ahead, 0 nothing within the time-out, 255 a read error.
unsigned char LitSerie(unsigned short attente)
{
    const unsigned char n = LitLigneBMode(kPortPC, avanceSerie.octets, sizeof avanceSerie.octets, attente);
    if (n != 0 && n != 255) avanceSerie.Rempli(n);
    return n;
}

bool SerieCalme(unsigned char lu)
{
    return lu == 0 || lu == 255;
}

void FermeClient()
{
    const int c = client.exchange(-1);
    if (c != -1) CloseTCP(c);
    avanceTCP.Vide();
}

using Horloge = std::chrono::steady_clock;

Horloge::duration Silence()
{
    return std::chrono::milliseconds(std::max<int32_t>(reception.DelaiSilenceTCP, 0));
}

// A TCP peer watched for the start instruction, with its own window.
struct Pair {
    int fd;
    unsigned char fenetre[6];
    Horloge::time_point dernierOctet;
};

enum class Lecture { Rien, Detecte, Ferme };
enum class Ecoute { Rien, Detecte, Ferme };

// What the peer sent: its bytes fed to its window; those after the start
// instruction are the job's and stay read ahead.
Lecture LitPair(Pair& pair)
{
    errno = 0;
    const ssize_t n = recv(pair.fd, avanceTCP.octets, sizeof avanceTCP.octets, MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return Lecture::Ferme;
    if (n < 0) return Lecture::Rien;
    pair.dernierOctet = Horloge::now();
    for (ssize_t i = 0; i < n; ++i) {
        if (Detecte(pair.fenetre, reception.StartInst, avanceTCP.octets[i])) {
            avanceTCP.debut = static_cast<size_t>(i + 1);
            avanceTCP.fin = static_cast<size_t>(n);
            return Lecture::Detecte;
        }
    }
    return Lecture::Rien;
}

// Every peer connected is watched at once, so that a silent one never holds
// up the next; one that stays silent too long is let go.
class Pairs {
public:
    ~Pairs()
    {
        for (const Pair& p : pairs_) Ferme(p.fd);
    }
    void Accepte()
    {
        const int c = WaitConnexionTCP_NONBLOCK(serveurTCPIP);
        if (c == -1) return;
        if (pairs_.size() == kClientsMax) Retire(0);  // the oldest makes room
        pairs_.push_back({c, {}, Horloge::now()});
        client = c;
    }
    // Waits up to kAttenteEcouteMs for a peer or a byte; what came is read.
    Ecoute Attend()
    {
        std::vector<pollfd> fds{{serveurTCPIP, POLLIN, 0}};
        for (const Pair& p : pairs_) fds.push_back({p.fd, POLLIN, 0});
        poll(fds.data(), fds.size(), kAttenteEcouteMs);
        if ((fds[0].revents & POLLIN) != 0) Accepte();
        const auto maintenant = Horloge::now();
        for (size_t i = pairs_.size(); i-- > 0;) {
            if (i + 1 < fds.size() && fds[i + 1].revents != 0) {
                const Lecture l = LitPair(pairs_[i]);
                if (l == Lecture::Detecte) {
                    client = pairs_[i].fd;
                    pairs_.erase(pairs_.begin() + static_cast<long>(i));
                    return Ecoute::Detecte;
                }
                if (l == Lecture::Ferme) {
                    Retire(i);
                    if constexpr (build::kFibreLine) return Ecoute::Ferme;
                    continue;
                }
            }
            if (maintenant - pairs_[i].dernierOctet > Silence()) {
                std::printf("Client TCP silencieux depuis %ld ms -> connexion fermée\n",
                            static_cast<long>(reception.DelaiSilenceTCP));
                Retire(i);
            }
        }
        return Ecoute::Rien;
    }

private:
    static void Ferme(int fd)
    {
        int attendu = fd;
        client.compare_exchange_strong(attendu, -1);
        CloseTCP(fd);
    }
    void Retire(size_t i)
    {
        Ferme(pairs_[i].fd);
        pairs_.erase(pairs_.begin() + static_cast<long>(i));
    }
    std::vector<Pair> pairs_;
};

// Listener threads of the wait in progress: started together, always stopped
// and joined together, so that no link is read once the wait is over.
pthread_t ecouteTCP{};
pthread_t ecouteSerie{};
bool ecouteursActifs = false;
bool ecouteSerieActive = false;

void AttendSurLesLiens(bool serie)
{
    DemarreEcouteurs(serie);
    while (CommMode.load() == kAttente) {
        ArretSiDemande();
        usleep(1000);
    }
    ArreteEcouteurs();
}

enum class Fin { Calme, Plein, Silence };

// Until the peer closes; a peer that sends nothing for DelaiSilenceTCP ms
// gets its job dropped.
Fin RecoitTCP()
{
    auto dernierOctet = Horloge::now();
    for (;;) {
        if (avanceTCP.Reste() == 0) {
            ArretSiDemande();
            errno = 0;
            const int n = ReceiveTCP_NoBlock(client, avanceTCP.octets, sizeof avanceTCP.octets, 0,
                                             kTrancheReceptionMs * 1000);
            if (n < 0 && (errno == 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                if (Horloge::now() - dernierOctet > Silence()) return Fin::Silence;
                continue;
            }
            if (n <= 0) return Fin::Calme;
            dernierOctet = Horloge::now();
            avanceTCP.Rempli(static_cast<size_t>(n));
        }
        if (!avanceTCP.Range()) return Fin::Plein;
    }
}

Fin RecoitSerie()
{
    for (;;) {
        ArretSiDemande();
        if (avanceSerie.Reste() == 0 && SerieCalme(LitSerie(kAttenteReception))) return Fin::Calme;
        if (!avanceSerie.Range()) {
            // The rest of a job too large must not be taken for the next one.
            while (!SerieCalme(LitSerie(kAttenteReception))) {
            }
            avanceSerie.Vide();
            return Fin::Plein;
        }
    }
}

// Written under another name, then renamed: a power cut leaves the old job or
// the new one, never part of one.
bool SauveJob(const PRNBuffer& job)
{
    const int fd = open(kFichierJobPartiel, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd == -1) {
        std::printf("Error to open file %s !\n", kFichierJob);
        return false;
    }
    const long taille = static_cast<long>(job.count);
    long ecrit = 0;
    while (ecrit < taille) {
        const ssize_t n = write(fd, job.data + ecrit, static_cast<size_t>(taille - ecrit));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        ecrit += n;
    }
    bool ok = ecrit == taille;
    if (!ok) {
        std::printf("Write error (%d writed instead of %ld).\n", static_cast<int>(ecrit), taille);
    } else if (fsync(fd) != 0) {
        std::perror("fsync");
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        std::perror("close");
        ok = false;
    }
    if (ok && std::rename(kFichierJobPartiel, kFichierJob) != 0) {
        std::perror("rename");
        ok = false;
    }
    if (!ok) unlink(kFichierJobPartiel);
    return ok;
}

void RefuseTropGrand(unsigned long long taille)
{
    std::printf("Fichier %s trop grand (%llu octets) -> On ne le charge pas\n", kFichierJob, taille);
}

constexpr uint32_t kChampTaille = DecalageChamp(ChTailleFichier);  // in headers of 204 bytes or more

// A job came whole when its last record is the end record and, where the
// header carries the file size, it has that size (the start instruction the
// listener took included). Upload, arrow and IP-change jobs end otherwise.
// Null when whole, else why not.
const char* Incomplet(const unsigned char* octets, uint32_t n)
{
    uint32_t p = 0;
    while (n - p >= 6 && std::memcmp(octets + p, "!LB", 3) == 0) p += 6;
    if (n - p >= 3) {
        for (const char* sansFin : {"!LF", "!PF", "!IP"})
            if (std::memcmp(octets + p, sansFin, 3) == 0) return nullptr;
    }
    if (n < 6 || octets[n - 6] != 0xFF || octets[n - 5] != 0xFD || octets[n - 4] != 'J' || octets[n - 3] != 'F')
        return "pas de fin de fichier (JF)";
    if (n - p < 8) return nullptr;
    uint32_t entete = 0;
    for (uint32_t i = p + 4; i < p + 7; ++i) {
        if (octets[i] < '0' || octets[i] > '9') return nullptr;
        entete = entete * 10 + (octets[i] - '0');
    }
    const uint32_t champ = p + 8 + kChampTaille;
    if (entete < kChampTaille + 4 || uint64_t{champ} + 4 > n) return nullptr;
    const uint32_t annonce = uint32_t{octets[champ]} << 24 | uint32_t{octets[champ + 1]} << 16 |
                             uint32_t{octets[champ + 2]} << 8 | octets[champ + 3];
    if (annonce != 0 && annonce != uint64_t{n} + sizeof reception.StartInst) return "taille différente de celle de l'entête";
    return nullptr;
}

}  // namespace

int PortServeurTCP()
{
    const char* texte = std::getenv("MLAS_TCP_PORT");
    if (texte == nullptr || *texte == '\0') return kPortDefaut;
    char* fin = nullptr;
    errno = 0;
    const long port = std::strtol(texte, &fin, 10);
    if (errno != 0 || *fin != '\0' || port < 0 || port > 65535) {
        std::printf("MLAS_TCP_PORT=%s n'est pas un port -> port %d\n", texte, kPortDefaut);
        return kPortDefaut;
    }
    return static_cast<int>(port);
}

bool bDetectStr(const unsigned char* pattern, unsigned char byte)
{
    return Detecte(DetectBuff, pattern, byte);
}

unsigned char GetByteFromTCPIP_timeout(unsigned char* byte, uint32_t tries)
{
    for (uint32_t essai = 0;;) {
        if (avanceTCP.Reste() != 0) {
            *byte = avanceTCP.Prend();
            return kOctetTCP;
        }
        if (essai == tries) return kCalmeTCP;
        // A peer silent for DelaiSilenceTCP ms is a quiet link too.
        const int32_t silence = std::max<int32_t>(reception.DelaiSilenceTCP, 0);
        errno = 0;
        const int n = ReceiveTCP_NoBlock(client, avanceTCP.octets, sizeof avanceTCP.octets, silence / 1000,
                                         silence % 1000 * 1000);
        if (n > 0) {
            avanceTCP.Rempli(static_cast<size_t>(n));
        } else if (n < 0 && errno == 0) {
            return kCalmeTCP;
        } else {
            ++essai;
            Pause_Las(1);
        }
    }
}

unsigned char GetByte_timeout(unsigned char* byte, unsigned short timeout)
{
    switch (CommMode.load()) {
    case kTCP:
        return GetByteFromTCPIP_timeout(byte, timeout);
    case kSerie:
        if (avanceSerie.Reste() == 0 && SerieCalme(LitSerie(timeout))) return 0;
        *byte = avanceSerie.Prend();
        return 1;
    default:
        return 255;
    }
}

void* DetectTCPIPConnection(void*)
{
    avanceTCP.Vide();
    Pairs pairs;
    for (;;) {
        if (Arret()) return nullptr;
        switch (pairs.Attend()) {
        case Ecoute::Detecte:
            if (PrendLeJob(kTCP)) std::printf("Détection sur TCPIP\n");
            else FermeClient();  // the serial line has the job
            return nullptr;
        case Ecoute::Ferme:
            // Fibre line: a peer that closed before the start instruction ends the wait.
            if (PrendLeJob(kFermeAvantJob)) bStopReceptionThreads = 1;
            return nullptr;
        case Ecoute::Rien:
            break;
        }
    }
}

void* DetectRS232Connection(void*)
{
    for (;;) {
        if (Arret()) return nullptr;
        if (avanceSerie.Detecte()) break;
        if (LitSerie(kAttenteDetection) == 255) Wait(1);  // a failing line must not spin
    }
    if (PrendLeJob(kSerie)) std::printf("Détection sur RS232\n");
    return nullptr;
}

void DemarreEcouteurs(bool serie)
{
    ArreteEcouteurs();
    CommMode = kAttente;
    bStopReceptionThreads = 0;
    // Ctrl-C is for the main thread, whose waits see it: the listeners block it.
    sigset_t ctrlC;
    sigset_t avant;
    sigemptyset(&ctrlC);
    sigaddset(&ctrlC, SIGINT);
    pthread_sigmask(SIG_BLOCK, &ctrlC, &avant);
    ecouteTCP = ThreadNew(DetectTCPIPConnection, nullptr);
    ecouteSerieActive = serie;
    if (serie) ecouteSerie = ThreadNew(DetectRS232Connection, nullptr);
    pthread_sigmask(SIG_SETMASK, &avant, nullptr);
    ecouteursActifs = true;
}

void ArreteEcouteurs()
{
    bStopReceptionThreads = 1;
    if (!ecouteursActifs) return;
    ThreadWaitFinish(ecouteTCP);
    if (ecouteSerieActive) ThreadWaitFinish(ecouteSerie);
    ecouteursActifs = false;
}

void DetectCommMode()
{
    AttendSurLesLiens(true);
}

void LFWaitComTCP()
{
    AttendSurLesLiens(false);
}

unsigned char ReceptQ8File()
{
    PRNBuffClear(&RecepEnCours);
    const uint8_t lien = CommMode.load();
    Fin fin = Fin::Calme;
    if (lien == kTCP) {
        fin = RecoitTCP();
        FermeClient();
    } else if (lien == kSerie) {
        fin = RecoitSerie();
    }
    if (fin == Fin::Plein) {
        std::printf("Buff write error result :%d\n", 255);
        return 255;
    }
    if (fin == Fin::Silence) {
        std::printf("Plus rien reçu depuis %ld ms -> Fichier abandonné (%ld octets reçus)\n",
                    static_cast<long>(reception.DelaiSilenceTCP), static_cast<long>(RecepEnCours.count));
        return 255;
    }
    std::printf("%ld octets reçus\n", static_cast<long>(RecepEnCours.count));
    if constexpr (!build::kViper) {
        if (RecepEnCours.count > kTailleMaxJob) {
            std::printf("Taille du fichier reçu trop grande -> On ne le sauvegarde pas\n");
            return 255;
        }
    }
    if (RecepEnCours.count == 0) return 255;
    if (const char* raison = Incomplet(RecepEnCours.data, RecepEnCours.count)) {
        std::printf("Fichier reçu incomplet (%s) -> On ne le garde pas\n", raison);
        return 255;
    }
    if constexpr (!build::kViper) std::printf("Taille fichier valide -> On le sauvegarde\n");
    if (!SauveJob(RecepEnCours)) return 255;
    PRNBuffClear(&RecepBuff);
    PRNBuffWriteBuff(&RecepBuff, RecepEnCours.data, RecepEnCours.count);
    reception.FichierOK = 1;
    return 0;
}

int LoadTmpPRN()
{
    PRNBuffClear(&RecepBuff);
    reception.FichierOK = 0;
    struct stat etat {};
    if (stat(kFichierJob, &etat) == 0 && etat.st_size > static_cast<off_t>(kTaillePRNBuff)) {
        RefuseTropGrand(static_cast<unsigned long long>(etat.st_size));
        return 0;
    }
    uint32_t taille = 0;
    const std::unique_ptr<unsigned char, decltype(&std::free)> image(ReadAFile(kFichierJob, &taille), &std::free);
    if (image != nullptr && taille > kTaillePRNBuff) {
        RefuseTropGrand(taille);
        return 0;
    }
    if (image == nullptr || taille == 0) {
        std::printf("PAS de fichier à charger!\n");
        return 0;
    }
    if (const char* raison = Incomplet(image.get(), taille)) {
        std::printf("Fichier %s incomplet (%s) -> On ne le charge pas\n", kFichierJob, raison);
        return 0;
    }
    PRNBuffWriteBuff(&RecepBuff, image.get(), taille);
    reception.FichierOK = 1;
    return 1;
}
