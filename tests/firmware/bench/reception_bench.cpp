// A 20,970,000-byte job over loopback TCP, received by the job reception
// (listener, then the reception) and by a plain recv loop into memory. The
// reception is timed twice: with the save of "tmpprn.prn" made to fail at once
// (the job is then received and dropped), and with the save and the job taking
// the place of the one in RecepBuff.
// Runs in a fresh folder under $TMPDIR (default /tmp).
#include "prnReception.h"
#include "prnbuffer.h"
#include "tcpip.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kTailleJob = 20970000;
constexpr int kTours = 7;

using Horloge = std::chrono::steady_clock;

int PortLocal(int socket)
{
    sockaddr_in a{};
    socklen_t n = sizeof a;
    getsockname(socket, reinterpret_cast<sockaddr*>(&a), &n);
    return ntohs(a.sin_port);
}

void Envoie(int port, const std::vector<unsigned char>& octets)
{
    const int s = InitClientTCP("127.0.0.1", port);
    for (size_t fait = 0; s != -1 && fait < octets.size();) {
        const size_t morceau = std::min<size_t>(octets.size() - fait, 1 << 20);
        const int n = SendTCP(s, octets.data() + fait, static_cast<int>(morceau));
        if (n <= 0) break;
        fait += static_cast<size_t>(n);
    }
    CloseTCP(s);
}

double Millisecondes(Horloge::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void Echec(const char* quoi)
{
    std::fprintf(stderr, "%s\n", quoi);
    std::exit(1);
}

// A folder in the way of the save's temporary file makes the save fail at once.
double ParLaReception(const std::vector<unsigned char>& job, bool sauve)
{
    std::filesystem::remove_all("tmpprn.prn.part");
    if (!sauve) std::filesystem::create_directory("tmpprn.prn.part");
    const auto debut = Horloge::now();
    std::thread pc(Envoie, PortLocal(serveurTCPIP), std::cref(job));
    LFWaitComTCP();
    const unsigned char resultat = ReceptQ8File();
    const auto fin = Horloge::now();
    pc.join();
    // The job takes the place of the one in memory only once it is saved.
    if (resultat != (sauve ? 0 : 255) ||
        (sauve && (RecepBuff.count != kTailleJob || std::memcmp(RecepBuff.data, job.data() + 6, kTailleJob) != 0))) {
        Echec("reception: wrong job");
    }
    return Millisecondes(fin - debut);
}

double ParRecv(const std::vector<unsigned char>& job, std::vector<unsigned char>& memoire)
{
    const int serveur = InitServerTCP(0);
    const auto debut = Horloge::now();
    std::thread pc(Envoie, PortLocal(serveur), std::cref(job));
    const int c = WaitConnexionTCP(serveur);
    size_t recu = 0;
    for (ssize_t n; (n = recv(c, memoire.data() + recu, memoire.size() - recu, 0)) > 0;) {
        recu += static_cast<size_t>(n);
    }
    const auto fin = Horloge::now();
    pc.join();
    CloseTCP(c);
    CloseTCP(serveur);
    if (recu != job.size()) Echec("recv loop: wrong size");
    return Millisecondes(fin - debut);
}

}  // namespace

int main()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string dossier = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/mlas-bench-XXXXXX";
    if (mkdtemp(dossier.data()) == nullptr || chdir(dossier.c_str()) != 0) {
        std::perror("working folder");
        return 1;
    }
    std::vector<unsigned char> job(6 + kTailleJob);
    std::memcpy(job.data(), "!LB 1;", 6);
    for (size_t i = 6; i < job.size(); ++i) job[i] = static_cast<unsigned char>(i * 131 >> 3);
    std::memcpy(job.data() + job.size() - 6, "\xFF\xFDJF\0\0", 6);  // the end record: the job is whole
    std::vector<unsigned char> memoire(job.size() + 1);

    // The firmware's console lines would only repeat themselves.
    std::fflush(stdout);
    const int console = dup(STDOUT_FILENO);
    const int rien = open("/dev/null", O_WRONLY);
    dup2(rien, STDOUT_FILENO);

    setenv("MLAS_TCP_PORT", "0", 1);
    serveurTCPIP = InitServerTCP(PortServeurTCP());
    double memoireSeule = 1e9, avecSauvegarde = 1e9, boucleRecv = 1e9;
    for (int tour = 0; tour < kTours; ++tour) {
        memoireSeule = std::min(memoireSeule, ParLaReception(job, false));
        avecSauvegarde = std::min(avecSauvegarde, ParLaReception(job, true));
        boucleRecv = std::min(boucleRecv, ParRecv(job, memoire));
    }
    CloseTCP(serveurTCPIP);
    std::filesystem::remove_all(dossier);

    std::fflush(stdout);
    dup2(console, STDOUT_FILENO);
    std::printf("job of %zu bytes after the start instruction over loopback TCP, best of %d rounds\n", kTailleJob,
                kTours);
    std::printf("plain recv loop into memory:       %7.1f ms\n", boucleRecv);
    std::printf("reception only (save failed):      %7.1f ms  ratio %.2f\n", memoireSeule, memoireSeule / boucleRecv);
    std::printf("reception and tmpprn.prn saved:    %7.1f ms  ratio %.2f\n", avecSauvegarde,
                avecSauvegarde / boucleRecv);
    return 0;
}
