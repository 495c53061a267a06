// Job reception over TCP: detection of the start instruction, the job kept
// in memory and in "tmpprn.prn", the size limits and the listener's stop.
#include "banc_reception.h"
#include "etat_reception.h"

#include <gmock/gmock.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <sys/ioctl.h>

namespace {

TEST_F(Reception, JunkBeforeTheStartInstructionIsIgnoredAndTheJobSaved)
{
    const std::string job = Job(5000);
    testing::internal::CaptureStdout();
    auto pc = Pc("x!LB 2;!LB 1;" + job);
    DetectCommMode();
    EXPECT_EQ(CommMode, 3);
    EXPECT_EQ(ReceptQ8File(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Détection sur TCPIP\n5000 octets reçus\n" + kValide);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(RecepBuff.data), RecepBuff.count), job);
    EXPECT_EQ(Fichier("tmpprn.prn"), job);
    EXPECT_EQ(reception.FichierOK, 1);
    EXPECT_EQ(client, -1);
}

TEST_F(Reception, SplitStartInstructionIsDetectedAndTheBytesFollowOneByOne)
{
    std::jthread attente(LFWaitComTCP);
    const int pc = InitClientTCP("127.0.0.1", port);
    SendTCP(pc, "!LB", 3);
    int reste = -1;  // the listener has read the first part
    ASSERT_TRUE(Attend([&] { return client != -1 && ioctl(client, FIONREAD, &reste) == 0 && reste == 0; }));
    SendTCP(pc, " 1;AB", 5);
    CloseTCP(pc);
    attente.join();
    EXPECT_EQ(CommMode, 3);
    const unsigned char recu = build::kFibreLine ? 1 : 0, calme = build::kFibreLine ? 2 : 255;
    unsigned char a = 0, b = 0;
    EXPECT_EQ(GetByte_timeout(&a, 3) + GetByteFromTCPIP_timeout(&b, 3), 2 * recu);
    EXPECT_EQ(std::string({char(a), char(b)}), "AB");
    EXPECT_EQ(GetByte_timeout(&a, 3), calme);
    CloseTCP(client.exchange(-1));
}

TEST_F(Reception, OnlyWholeJobsWithinTheLimitAreSaved)
{
    const std::string limite = Job(20970000);
    std::string sauve;
    for (const std::string& job : {limite, Job(limite.size() + 2), std::string()}) {
        auto pc = Pc("!LB 1;" + job);
        LFWaitComTCP();
        testing::internal::CaptureStdout();
        const bool refuse = job.empty() || (job.size() > limite.size() && !build::kViper);  // that board keeps it
        EXPECT_EQ(ReceptQ8File(), refuse ? 255 : 0);
        const std::string taille = std::to_string(job.size()) + " octets reçus\n";
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  taille + (!refuse ? kValide : job.empty() ? "" : "Taille du fichier reçu trop grande -> On ne le sauvegarde pas\n"));
        // A job refused leaves the one before in memory, on disk and ready.
        EXPECT_EQ(reception.FichierOK, 1);
        sauve = refuse ? sauve : job;
        EXPECT_TRUE(Fichier("tmpprn.prn") == sauve);
        EXPECT_TRUE(std::string(reinterpret_cast<char*>(RecepBuff.data), RecepBuff.count) == sauve);
    }
    // A byte more than the buffer holds: the link is closed and nothing saved.
    auto pc = Pc("!LB 1;" + Job(kTaillePRNBuff + 1));
    LFWaitComTCP();
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReceptQ8File(), 255);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Buff write error result :255\n");
    EXPECT_EQ(reception.FichierOK, 1);
    EXPECT_EQ(client, -1);
    EXPECT_TRUE(Fichier("tmpprn.prn") == sauve);
    EXPECT_EQ(RecepBuff.count, sauve.size());
}

// A job's header of 240 bytes with its file size (start instruction included) at offset 200.
std::string JobEntete(uint32_t tailleAnnoncee, const std::string& corps)
{
    std::string entete(240, '\0');
    for (int i = 0; i < 4; ++i) entete[200 + i] = char(tailleAnnoncee >> (24 - 8 * i));
    return "!KM 240;" + entete + corps;
}

TEST_F(Reception, AJobCutShortIsDroppedAndThePreviousOneStaysReady)
{
    const std::string avant = Job(900);
    auto premier = Pc("!LB 1;" + avant);
    LFWaitComTCP();
    ASSERT_EQ(ReceptQ8File(), 0);
    premier.join();

    const std::string corps = "\xFF\xFDPU\0\0" + kFin;
    const std::string entier = JobEntete(6 + 8 + 240 + uint32_t(corps.size()), corps);
    for (const auto& [job, raison] : {std::pair{Job(4000).substr(0, 2000), "pas de fin de fichier (JF)"},
                                      std::pair{JobEntete(uint32_t(entier.size()) + 6 + 6, corps),
                                                "taille différente de celle de l'entête"}}) {
        auto pc = Pc("!LB 1;" + job);
        LFWaitComTCP();
        testing::internal::CaptureStdout();
        EXPECT_EQ(ReceptQ8File(), 255);
        EXPECT_THAT(testing::internal::GetCapturedStdout(),
                    testing::EndsWith(std::string("Fichier reçu incomplet (") + raison + ") -> On ne le garde pas\n"));
        EXPECT_EQ(reception.FichierOK, 1);
        EXPECT_EQ(Fichier("tmpprn.prn"), avant);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(RecepBuff.data), RecepBuff.count), avant);
    }
    auto pc = Pc("!LB 1;" + entier);  // its size as announced
    LFWaitComTCP();
    EXPECT_EQ(ReceptQ8File(), 0);
    EXPECT_EQ(Fichier("tmpprn.prn"), entier);
}

TEST_F(Reception, SilentPeersAreLetGoAndNeverHoldUpAnother)
{
    using namespace std::chrono;
    // A peer silent from the start does not keep the next one waiting.
    const int muet = InitClientTCP("127.0.0.1", port);
    const auto debut = steady_clock::now();
    std::jthread attente(LFWaitComTCP);
    auto pc = Pc("!LB 1;" + Job(50));
    attente.join();
    EXPECT_LT(steady_clock::now() - debut, seconds(5)) << "well before the 10 s of silence";
    EXPECT_EQ(ReceptQ8File(), 0);
    CloseTCP(muet);

    reception.DelaiSilenceTCP = 300;
    testing::internal::CaptureStdout();
    // Watched alone, a silent peer is let go after the time-out, and the next one served.
    std::jthread seconde(LFWaitComTCP);
    const int muet2 = InitClientTCP("127.0.0.1", port);
    char c;
    EXPECT_EQ(ReceiveTCP_NoBlock(muet2, &c, 1, 5, 0), 0);
    auto pc2 = Pc("!LB 1;" + Job(60));
    seconde.join();
    EXPECT_EQ(ReceptQ8File(), 0);

    // Silent after the start instruction: the part received is dropped.
    std::jthread troisieme(LFWaitComTCP);
    const int bavard = InitClientTCP("127.0.0.1", port);
    SendTCP(bavard, "!LB 1;debut", 11);
    troisieme.join();
    EXPECT_EQ(ReceptQ8File(), 255);
    EXPECT_EQ(ReceiveTCP_NoBlock(bavard, &c, 1, 5, 0), 0);
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_THAT(console, testing::HasSubstr("Client TCP silencieux depuis 300 ms -> connexion fermée\n"));
    EXPECT_THAT(console, testing::HasSubstr("Plus rien reçu depuis 300 ms -> Fichier abandonné (5 octets reçus)\n"));
    EXPECT_EQ(Fichier("tmpprn.prn"), Job(60));
    EXPECT_EQ(RecepBuff.count, 60u);
    CloseTCP(muet2);
    CloseTCP(bavard);
    reception.DelaiSilenceTCP = 10000;
}

TEST_F(Reception, PeerThatClosesBeforeTheStartInstruction)
{
    std::jthread attente(LFWaitComTCP);
    Pc("").join();
    if constexpr (build::kFibreLine) {
        attente.join();  // ends by itself
        EXPECT_EQ(CommMode, 4);
        EXPECT_EQ(bStopReceptionThreads, 1);
    } else {
        auto pc = Pc("!LB 1;job" + kFin);  // the next connection carries the job
        attente.join();
        EXPECT_EQ(ReceptQ8File(), 0);
        EXPECT_EQ(Fichier("tmpprn.prn"), "job" + kFin);
    }
}

TEST_F(Reception, SilentClientDoesNotHoldUpTheStop)
{
    const pthread_t ecoute = ThreadNew(DetectTCPIPConnection, nullptr);
    const int pc = InitClientTCP("127.0.0.1", port);
    SendTCP(pc, "!LB", 3);
    ASSERT_TRUE(Attend([] { return client != -1; }));
    bStopReceptionThreads = 1;
    timespec limite{};
    clock_gettime(CLOCK_REALTIME, &limite);
    limite.tv_sec += 5;
    ASSERT_EQ(pthread_timedjoin_np(ecoute, nullptr, &limite), 0);
    // The listener let the connection go: an orderly close, or a reset when
    // it closed before reading what the client sent.
    char c;
    errno = 0;
    const int n = ReceiveTCP_NoBlock(pc, &c, 1, 5, 0);
    EXPECT_TRUE(n == 0 || (n == -1 && errno == ECONNRESET)) << n << ' ' << errno;
    EXPECT_EQ(CommMode, 1);
    CloseTCP(pc);
}

}  // namespace
