// The Windows stand-in on its own: memory, temporary files, the spooler folder.
#include "outils.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace {

std::string lit(const std::filesystem::path& p) {
  std::ifstream f(p);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

TEST(Win32, NthAllocationFailsAndFreeMemoryCanBeSet) {
  win32test::reset();
  win32test::inject(win32test::Call::Allocation, win32test::Fault::Fail, 2);
  void* a = GlobalAlloc(GPTR, 16);
  void* b = LocalAlloc(LPTR, 16);
  void* c = GlobalAlloc(GMEM_FIXED, 16);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_NE(c, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(a)[15], 0);
  GlobalFree(a);
  GlobalFree(c);

  win32test::setAvailablePhysical(123456);
  MEMORYSTATUS m{};
  GlobalMemoryStatus(&m);
  EXPECT_EQ(m.dwAvailPhys, 123456u);
  EXPECT_GT(m.dwTotalPhys, 0u);
  win32test::reset();
}

TEST(Win32, DeleteOnCloseFilesLeaveNothing) {
  win32test::reset();
  char dossier[MAX_PATH], nom[MAX_PATH];
  ASSERT_GT(GetTempPathA(MAX_PATH, dossier), 0u);
  ASSERT_NE(GetTempFileNameA(dossier, "las", 0, nom), 0u);
  EXPECT_TRUE(std::filesystem::exists(nom));
  HANDLE h = CreateFileA(nom, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_FLAG_OVERLAPPED | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(std::filesystem::exists(nom));
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  // The runtime's "D" mode: created afresh, gone from the folder at once.
  char* n = _tempnam("c:\\Dranvik", "gra");
  ASSERT_NE(n, nullptr);
  FILE* f = CrtFopen(n, "w+bD");
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(std::filesystem::exists(n));
  std::fclose(f);
  std::ofstream(n) << "x";
  EXPECT_EQ(CrtFopen(n, "w+bD"), nullptr);  // never through an existing name
  std::filesystem::remove(n);
  std::free(n);
}

TEST(Win32, PrinterValuesRoundTripAndSurviveBadContent) {
  DossierSpool spool;
  std::ofstream(spool.imprimante() / "values.txt")
      << "garbage\n=dword:1\nUnit100=dword:zz\nLong=dword:123456789\nOdd=hex(3):abc\n"
         "Bin=hex(3):00ff10\r\nunit100=dword:00000001\n";
  HANDLE h = spool.ouvre();
  DWORD type = 0, besoin = 0, d = 0;
  BYTE b[8] = {};
  char unit[] = "Unit100", bin[] = "Bin", absent[] = "Absent", neuf[] = "Neuf", mauvais[] = "a=b";
  EXPECT_EQ(GetPrinterDataA(h, unit, &type, reinterpret_cast<LPBYTE>(&d), 4, &besoin), ERROR_SUCCESS);
  EXPECT_EQ(d, 1u);
  EXPECT_EQ(GetPrinterDataA(h, bin, &type, b, 2, &besoin), ERROR_MORE_DATA);
  EXPECT_EQ(besoin, 3u);
  EXPECT_EQ(GetPrinterDataA(h, bin, &type, b, 8, &besoin), ERROR_SUCCESS);
  EXPECT_EQ(type, 3u);
  EXPECT_EQ(b[1], 0xFF);
  EXPECT_EQ(GetPrinterDataA(h, absent, &type, b, 8, &besoin), ERROR_FILE_NOT_FOUND);

  d = 0x2A;
  EXPECT_EQ(SetPrinterDataA(h, neuf, REG_DWORD, reinterpret_cast<LPBYTE>(&d), 4), ERROR_SUCCESS);
  EXPECT_EQ(SetPrinterDataA(h, mauvais, REG_DWORD, reinterpret_cast<LPBYTE>(&d), 4),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(lit(spool.imprimante() / "values.txt"),
            "Bin=hex(3):00ff10\nunit100=dword:00000001\nNeuf=dword:0000002a\n");
  ClosePrinter(h);

  char inconnue[] = "absente", chemin[] = "../laser1";
  HANDLE autre = nullptr;
  EXPECT_FALSE(OpenPrinterA(inconnue, &autre, nullptr));
  EXPECT_FALSE(OpenPrinterA(chemin, &autre, nullptr));
  EXPECT_EQ(autre, nullptr);
}

TEST(Win32, SpooledJobAppearsOnlyWhenComplete) {
  DossierSpool spool;
  HANDLE h = spool.ouvre();
  char texte[] = "premier";
  DWORD ecrits = 0;
  EXPECT_FALSE(WritePrinter(h, texte, 7, &ecrits));  // no document started

  ASSERT_NE(StartDocPrinterA(h, 1, nullptr), 0u);
  EXPECT_TRUE(WritePrinter(h, texte, 7, &ecrits));
  EXPECT_EQ(ecrits, 7u);
  for (const auto& nom : spool.fichiers()) EXPECT_EQ(nom[0], '.');
  EXPECT_TRUE(EndDocPrinter(h));
  EXPECT_EQ(lit(spool.imprimante() / "job-000001.prn"), "premier");

  // Aborted, or left unfinished when the printer closes: nothing remains.
  StartDocPrinterA(h, 1, nullptr);
  WritePrinter(h, texte, 7, &ecrits);
  EXPECT_TRUE(AbortPrinter(h));
  EXPECT_FALSE(EndDocPrinter(h));
  StartDocPrinterA(h, 1, nullptr);
  WritePrinter(h, texte, 7, &ecrits);
  ClosePrinter(h);
  EXPECT_EQ(spool.fichiers(), std::vector<std::string>{"job-000001.prn"});

  // Numbers follow the folder's largest, and a name is never reused.
  std::ofstream(spool.imprimante() / "job-000041.prn") << "x";
  h = spool.ouvre();
  StartDocPrinterA(h, 1, nullptr);
  EndDocPrinter(h);
  ClosePrinter(h);
  EXPECT_TRUE(std::filesystem::exists(spool.imprimante() / "job-000042.prn"));
}
