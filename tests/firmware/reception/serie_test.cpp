// Job reception over the PC serial line (a pseudo-terminal): the job ends when
// the line stays quiet, and the first link to show the start instruction wins.
#include "../lib-zk-io/ptylinks.h"
#include "banc_reception.h"
#include "etat_reception.h"

#if MLAS_SERIAL_SINGLE_PORT
#include "serial.h"
#else
#include "zkserial.h"
#endif

namespace {

#if MLAS_SERIAL_SINGLE_PORT
int& PortPC = File_Com;
#else
int& PortPC = File_Com[1];
#endif

using namespace std::chrono;

struct ReceptionSerie : Reception {
    void SetUp() override
    {
        Reception::SetUp();
        ASSERT_EQ(InitCom(1, 115200, 0, 0, 0), 1);
    }
    void TearDown() override
    {
        close(PortPC);
        PortPC = -1;
        Reception::TearDown();
    }
    PtyLinks pty;
};

TEST_F(ReceptionSerie, JobEndsWhenTheLineStaysQuiet)
{
    const std::string job = Job(3000);
    pty.Send(1, "zz!LB 1;" + job, PortPC);
    testing::internal::CaptureStdout();
    DetectCommMode();
    EXPECT_EQ(CommMode, 2);
    const auto debut = steady_clock::now();
    EXPECT_EQ(ReceptQ8File(), 0);
    EXPECT_GE(steady_clock::now() - debut, milliseconds(build::kViper ? 100 : 10));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Détection sur RS232\n3000 octets reçus\n" + kValide);
    EXPECT_EQ(Fichier("tmpprn.prn"), job);
}

TEST_F(ReceptionSerie, AJobCutInHalfIsDroppedAndThePreviousOneStays)
{
    const std::string avant = Job(800);
    pty.Send(1, "!LB 1;" + avant, PortPC);
    DetectCommMode();
    ASSERT_EQ(ReceptQ8File(), 0);
    pty.Send(1, "!LB 1;" + Job(3000).substr(0, 1500), PortPC);
    DetectCommMode();
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReceptQ8File(), 255);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "1500 octets reçus\nFichier reçu incomplet (pas de fin de fichier (JF)) -> On ne le garde pas\n");
    EXPECT_EQ(reception.FichierOK, 1);
    EXPECT_EQ(Fichier("tmpprn.prn"), avant);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(RecepBuff.data), RecepBuff.count), avant);
}

TEST_F(ReceptionSerie, FirstLinkToShowTheStartInstructionTakesTheJob)
{
    pty.Send(1, "!LB 1;serie" + kFin, PortPC);
    const pthread_t serie = ThreadNew(DetectRS232Connection, nullptr);
    ASSERT_TRUE(Attend([] { return CommMode == 2; }));
    const pthread_t tcp = ThreadNew(DetectTCPIPConnection, nullptr);
    const int pc = InitClientTCP("127.0.0.1", port);
    SendTCP(pc, "!LB 1;tcp", 9);
    char c;
    EXPECT_EQ(ReceiveTCP_NoBlock(pc, &c, 1, 5, 0), 0);  // the late link is let go
    EXPECT_EQ(CommMode, 2);
    bStopReceptionThreads = 1;
    ThreadWaitFinish(tcp);
    ThreadWaitFinish(serie);
    EXPECT_EQ(ReceptQ8File(), 0);
    EXPECT_EQ(Fichier("tmpprn.prn"), "serie" + kFin);
    CloseTCP(pc);
}

}  // namespace
