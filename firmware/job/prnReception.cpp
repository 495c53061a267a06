#include "prnReception.h"

#include "build.h"
#include "mlas_func.h"
#include "prnbuffer.h"
#include "process.h"
#include "tcpip.h"
#include "tools.h"

#if MLAS_SERIAL_SINGLE_PORT
#include "serial.h"
#else
#include "zkserial.h"
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

unsigned char StartInst[6] = {33, 76, 66, 32, 49, 59};
std::atomic<uint8_t> CommMode{1};
std::atomic<uint8_t> bStopReceptionThreads{0};
std::atomic<int> client{-1};
int serveurTCPIP = -1;
uint8_t FichierOK = 0;

namespace {

constexpr uint8_t kAttente = 1;
constexpr uint8_t kSerie = 2;
constexpr uint8_t kTCP = 3;
constexpr uint8_t kFermeAvantJob = 4;

constexpr uint32_t kTailleMaxJob = 20970000;
constexpr int kPortDefaut = 9100;
[[maybe_unused]] constexpr unsigned char kPortPC = 1;
constexpr unsigned short kAttenteDetection = 1;  // units of the serial layer
constexpr unsigned short kAttenteReception = 100;
constexpr int kAttenteEcouteMs = 10;  // how soon a listener sees the stop flag
constexpr const char* kFichierJob = "tmpprn.prn";
constexpr const char* kFichierJobPartiel = "tmpprn.prn.part";

constexpr unsigned char kOctetTCP = build::kFibreLine ? 1 : 0;
constexpr unsigned char kCalmeTCP = build::kFibreLine ? 2 : 255;

// Each listener feeds its own window.
thread_local unsigned char DetectBuff[7];

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
            if (bDetectStr(StartInst, octets[debut++])) return true;
        }
        return false;
    }
    // Appends the bytes to the reception buffer; false when it is full.
    bool Range()
    {
        const bool complet = PRNBuffWriteBuff(&RecepBuff, octets + debut, static_cast<uint32_t>(Reste())) == 0;
        Vide();
        return complet;
    }
};

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

void Signale()
{
    CommMode.notify_all();
}

// 1-254 bytes read ahead, 0 nothing within the time-out, 255 a read error.
unsigned char LitSerie(unsigned short attente)
{
#if MLAS_SERIAL_SINGLE_PORT
    const unsigned char n = GetBufferFromUART_BMode(avanceSerie.octets, sizeof avanceSerie.octets, attente);
#else
    const unsigned char n = GetBufferFromUART_BMode(kPortPC, avanceSerie.octets, sizeof avanceSerie.octets, attente);
#endif
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

// Accepts without blocking, looking at the stop flag at least every few ms.
int AccepteClient()
{
    for (;;) {
        const int c = WaitConnexionTCP_NONBLOCK(serveurTCPIP);
        if (c != -1 || Arret()) return c;
        pollfd p{serveurTCPIP, POLLIN, 0};
        poll(&p, 1, kAttenteEcouteMs);
    }
}

enum class Ecoute { Detecte, Ferme, Arret };

// Watches the accepted connection for the start instruction. A short wait on
// each read lets a silent peer never hold up the stop.
Ecoute EcouteClient()
{
    for (;;) {
        if (Arret()) return Ecoute::Arret;
        if (avanceTCP.Detecte()) return Ecoute::Detecte;
        errno = 0;
        const int n = ReceiveTCP_NoBlock(client, avanceTCP.octets, sizeof avanceTCP.octets, 0, kAttenteEcouteMs * 1000);
        if (n > 0) {
            avanceTCP.Rempli(static_cast<size_t>(n));
        } else if (n == 0 || (errno != 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            return Ecoute::Ferme;
        }
    }
}

void AttendSurLesLiens(bool serie)
{
    CommMode = kAttente;
    bStopReceptionThreads = 0;
    const pthread_t tcp = ThreadNew(DetectTCPIPConnection, nullptr);
    const pthread_t rs = serie ? ThreadNew(DetectRS232Connection, nullptr) : pthread_t{};
    CommMode.wait(kAttente);
    bStopReceptionThreads = 1;
    ThreadWaitFinish(tcp);
    if (serie) ThreadWaitFinish(rs);
}

// Both receive until the link is quiet; false when the buffer filled up.
bool RecoitTCP()
{
    for (;;) {
        if (avanceTCP.Reste() == 0) {
            const int n = ReceiveTCP(client, avanceTCP.octets, sizeof avanceTCP.octets);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return true;
            avanceTCP.Rempli(static_cast<size_t>(n));
        }
        if (!avanceTCP.Range()) return false;
    }
}

bool RecoitSerie()
{
    for (;;) {
        if (avanceSerie.Reste() == 0 && SerieCalme(LitSerie(kAttenteReception))) return true;
        if (!avanceSerie.Range()) {
            // The rest of a job too large must not be taken for the next one.
            while (!SerieCalme(LitSerie(kAttenteReception))) {
            }
            avanceSerie.Vide();
            return false;
        }
    }
}

// Written under another name, then renamed: a power cut leaves the old job or
// the new one, never part of one.
bool SauveJob()
{
    const int fd = open(kFichierJobPartiel, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd == -1) {
        std::printf("Error to open file %s !\n", kFichierJob);
        return false;
    }
    const long taille = static_cast<long>(RecepBuff.count);
    long ecrit = 0;
    while (ecrit < taille) {
        const ssize_t n = write(fd, RecepBuff.data + ecrit, static_cast<size_t>(taille - ecrit));
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
    std::memmove(DetectBuff, DetectBuff + 1, 5);
    DetectBuff[5] = byte;
    return std::memcmp(DetectBuff, pattern, 6) == 0;
}

unsigned char GetByteFromTCPIP_timeout(unsigned char* byte, uint32_t tries)
{
    for (uint32_t essai = 0;;) {
        if (avanceTCP.Reste() != 0) {
            *byte = avanceTCP.Prend();
            return kOctetTCP;
        }
        if (essai == tries) return kCalmeTCP;
        const int n = ReceiveTCP(client, avanceTCP.octets, sizeof avanceTCP.octets);
        if (n > 0) {
            avanceTCP.Rempli(static_cast<size_t>(n));
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
    for (;;) {
        const int c = AccepteClient();
        if (Arret()) {
            if (c != -1) CloseTCP(c);
            return nullptr;
        }
        client = c;
        avanceTCP.Vide();
        std::memset(DetectBuff, 0, sizeof DetectBuff);
        switch (EcouteClient()) {
        case Ecoute::Detecte:
            if (PrendLeJob(kTCP)) {
                std::printf("Détection sur TCPIP\n");
                Signale();
            } else {
                FermeClient();  // the serial line has the job
            }
            return nullptr;
        case Ecoute::Arret:
            FermeClient();
            return nullptr;
        case Ecoute::Ferme:
            FermeClient();
            if constexpr (build::kFibreLine) {
                if (PrendLeJob(kFermeAvantJob)) {
                    bStopReceptionThreads = 1;
                    Signale();
                }
                return nullptr;
            }
            break;  // KM250 line: wait for the next connection
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
    if (PrendLeJob(kSerie)) {
        std::printf("Détection sur RS232\n");
        Signale();
    }
    return nullptr;
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
    PRNBuffClear(&RecepBuff);
    FichierOK = 0;
    const uint8_t lien = CommMode.load();
    bool complet = true;
    if (lien == kTCP) {
        complet = RecoitTCP();
        FermeClient();
    } else if (lien == kSerie) {
        complet = RecoitSerie();
    }
    if (!complet) {
        std::printf("Buff write error result :%d\n", 255);
        return 255;
    }
    std::printf("%ld octets reçus\n", static_cast<long>(RecepBuff.count));
    if constexpr (!build::kViper) {
        if (RecepBuff.count > kTailleMaxJob) {
            std::printf("Taille du fichier reçu trop grande -> On ne le sauvegarde pas\n");
            return 255;
        }
    }
    if (RecepBuff.count == 0) return 255;
    if constexpr (!build::kViper) std::printf("Taille fichier valide -> On le sauvegarde\n");
    if (!SauveJob()) return 255;
    FichierOK = 1;
    return 0;
}

int LoadTmpPRN()
{
    PRNBuffClear(&RecepBuff);
    FichierOK = 0;
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
    PRNBuffWriteBuff(&RecepBuff, image.get(), taille);
    FichierOK = 1;
    return 1;
}
