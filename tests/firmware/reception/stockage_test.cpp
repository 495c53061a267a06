// The reception buffer, the copy of the job on disk and its reload.
#include "banc_reception.h"
#include "etat_reception.h"

#include <csignal>
#include <sys/resource.h>

namespace {

TEST(TamponReception, HoldsItsSizeAndKeepsTheBytesWhenCleared)
{
    RecepBuff.count = kTaillePRNBuff - 3;
    const unsigned char octets[] = {1, 2, 3, 4};
    EXPECT_EQ(PRNBuffWriteBuff(&RecepBuff, octets, 2) + PRNBuffWriteByte(&RecepBuff, 9), 0);  // the last place
    EXPECT_EQ(PRNBuffWriteByte(&RecepBuff, 7), 255);
    RecepBuff.count = kTaillePRNBuff - 1;
    EXPECT_EQ(PRNBuffWriteBuff(&RecepBuff, octets + 2, 2), 255);  // what fits is stored
    EXPECT_EQ(RecepBuff.count, kTaillePRNBuff);
    PRNBuffClear(&RecepBuff);
    EXPECT_EQ(RecepBuff.count, 0u);
    EXPECT_EQ(RecepBuff.data[kTaillePRNBuff - 1], 3);
}

TEST_F(Reception, SavedJobIsReloadedAndNothingElseIs)
{
    auto pc = Pc("!LB 1;" + Job(700));
    LFWaitComTCP();
    ASSERT_EQ(ReceptQ8File(), 0);
    PRNBuffClear(&RecepBuff);
    EXPECT_EQ(LoadTmpPRN(), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(RecepBuff.data), RecepBuff.count), Job(700));
    EXPECT_EQ(reception.FichierOK, 1);

    // A file whose job is not whole is not reloaded either.
    std::filesystem::resize_file("tmpprn.prn", 699);
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadTmpPRN(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Fichier tmpprn.prn incomplet (pas de fin de fichier (JF)) -> On ne le charge pas\n");

    std::filesystem::resize_file("tmpprn.prn", kTaillePRNBuff + 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadTmpPRN(), 0);
    std::filesystem::remove("tmpprn.prn");
    EXPECT_EQ(LoadTmpPRN(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Fichier tmpprn.prn trop grand (20971521 octets) -> On ne le charge pas\n"
              "Error opening file tmpprn.prn\nPAS de fichier à charger!\n");
    EXPECT_EQ(RecepBuff.count + reception.FichierOK, 0u);
}

// The old job stays whole when the new one cannot be written.
TEST_F(Reception, FailedSaveKeepsThePreviousJob)
{
    std::ofstream("tmpprn.prn") << "ancien";
    PRNBuffClear(&RecepBuff);
    PRNBuffWriteBuff(&RecepBuff, reinterpret_cast<const unsigned char*>("ancien"), 6);
    reception.FichierOK = 1;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit avant{};
    getrlimit(RLIMIT_FSIZE, &avant);
    const rlimit petit{1000, avant.rlim_max};
    setrlimit(RLIMIT_FSIZE, &petit);
    auto pc = Pc("!LB 1;" + Job(5000));
    LFWaitComTCP();
    testing::internal::CaptureStdout();
    EXPECT_EQ(ReceptQ8File(), 255);
    setrlimit(RLIMIT_FSIZE, &avant);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "5000 octets reçus\n" + kValide + "Write error (1000 writed instead of 5000).\n");
    EXPECT_EQ(reception.FichierOK, 1);
    EXPECT_EQ(Fichier("tmpprn.prn"), "ancien");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(RecepBuff.data), RecepBuff.count), "ancien");
    EXPECT_FALSE(std::filesystem::exists("tmpprn.prn.part"));
}

}  // namespace
