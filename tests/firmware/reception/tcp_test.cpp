// Job reception over TCP: detection of the start instruction, the job kept
// in memory and in "tmpprn.prn", the size limits and the listener's stop.
#include "banc_reception.h"

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
    EXPECT_EQ(FichierOK, 1);
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
    for (const std::string& job : {limite, limite + "x", std::string()}) {
        auto pc = Pc("!LB 1;" + job);
        LFWaitComTCP();
        testing::internal::CaptureStdout();
        const bool refuse = job.empty() || (job.size() > limite.size() && !build::kViper);  // that board keeps it
        EXPECT_EQ(ReceptQ8File(), refuse ? 255 : 0);
        const std::string taille = std::to_string(job.size()) + " octets reçus\n";
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  taille + (!refuse ? kValide : job.empty() ? "" : "Taille du fichier reçu trop grande -> On ne le sauvegarde pas\n"));
        EXPECT_EQ(FichierOK, refuse ? 0 : 1);
        sauve = refuse ? sauve : job;
        EXPECT_TRUE(Fichier("tmpprn.prn") == sauve);
    }
    // A byte more than the buffer holds: the link is closed and nothing saved.
    auto pc = Pc("!LB 1;" + Job(kTaillePRNBuff + 1));
    LFWaitComTCP();
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReceptQ8File(), 255);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Buff write error result :255\n");
    EXPECT_EQ(FichierOK, 0);
    EXPECT_EQ(client, -1);
    EXPECT_TRUE(Fichier("tmpprn.prn") == sauve);
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
        auto pc = Pc("!LB 1;job");  // the next connection carries the job
        attente.join();
        EXPECT_EQ(ReceptQ8File(), 0);
        EXPECT_EQ(Fichier("tmpprn.prn"), "job");
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
    char c;
    EXPECT_EQ(ReceiveTCP_NoBlock(pc, &c, 1, 5, 0), 0);  // the listener let the connection go
    EXPECT_EQ(CommMode, 1);
    CloseTCP(pc);
}

}  // namespace
