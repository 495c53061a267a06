// Stream temporary files: positions past 4 GiB, as a big job file reaches (on Windows
// a long holds only 32 bits).
#include "outils.h"

#include <cstdio>

namespace {

TEST_F(Convertisseur, StreamPositionsGoPastFourGibibytes) {
  importe(settings::Record::typical());
  FILE* f = OuvreFichierBrouillon(Contexte);
  ASSERT_NE(f, nullptr);
  constexpr long long loin = (5LL << 30) + 3;
  ASSERT_EQ(CrtFseek64(f, loin, SEEK_SET), 0);
  ASSERT_EQ(std::fwrite("abc", 1, 3, f), 3u);
  EXPECT_EQ(CrtFtell64(f), loin + 3);
  ASSERT_EQ(std::fflush(f), 0);
  ASSERT_EQ(CrtFseek64(f, -3, SEEK_END), 0);
  EXPECT_EQ(CrtFtell64(f), loin);
  char lu[3] = {};
  ASSERT_EQ(std::fread(lu, 1, 3, f), 3u);
  EXPECT_EQ(std::string(lu, 3), "abc");
  std::fclose(f);
}

}  // namespace
