// The Windows stand-in on its own: memory, temporary files, the spooler folder.
#include "outils.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

std::string lit(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
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

// A converter killed in the middle of a job leaves its ".part" file: the next open of the
// printer removes it, but never the file of a writer still at work.
TEST(Win32, PartFilesOfDeadWritersGoWhenThePrinterOpens) {
  DossierSpool spool;
  const pid_t mort = ::fork();
  if (mort == 0) ::_exit(0);
  ASSERT_GT(mort, 0);
  ASSERT_EQ(::waitpid(mort, nullptr, 0), mort);
  auto part = [&](long pid, int n) { return ".job-" + std::to_string(pid) + "-" + std::to_string(n) + ".part"; };
  for (const std::string& nom : {part(mort, 1), part(mort, 2), part(::getpid(), 9), std::string(".job-x.part")})
    std::ofstream(spool.imprimante() / nom) << "x";
  // A writer whose process cannot be seen from here still holds its lock.
  const int verrou = ::open((spool.imprimante() / part(mort, 2)).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(verrou, LOCK_EX), 0);

  HANDLE h = spool.ouvre();
  ASSERT_NE(StartDocPrinterA(h, 1, nullptr), 0u);
  HANDLE autre = spool.ouvre();
  std::vector<std::string> restants = spool.fichiers();
  EXPECT_EQ(restants.size(), 4u);
  EXPECT_EQ(std::count(restants.begin(), restants.end(), part(mort, 1)), 0) << "its writer died";
  EXPECT_EQ(std::count(restants.begin(), restants.end(), part(mort, 2)), 1);
  EXPECT_EQ(std::count(restants.begin(), restants.end(), part(::getpid(), 9)), 1);
  EXPECT_EQ(std::count(restants.begin(), restants.end(), ".job-x.part"), 1) << "not a spooler file";
  ::close(verrou);
  ClosePrinter(autre);
  ClosePrinter(h);
}

// As Windows reads TMP, then TEMP; TMPDIR, this system's own, comes last. The runtime's
// temporary streams are made there too.
TEST(Win32, TemporaryFilesGoWhereTmpTempOrTmpdirSay) {
  win32test::reset();
  DossierSpool racine;
  const std::filesystem::path tmpdir = racine.imprimante() / "tmpdir";
  std::filesystem::create_directory(tmpdir);
  std::vector<std::pair<const char*, std::optional<std::string>>> sauves;
  for (const char* nom : {"TMP", "TEMP", "TMPDIR"}) {
    const char* v = std::getenv(nom);
    sauves.emplace_back(nom, v ? std::optional<std::string>(v) : std::nullopt);
    ::unsetenv(nom);
  }
  auto chemin = [] {
    char d[MAX_PATH] = {};
    EXPECT_GT(GetTempPathA(MAX_PATH, d), 0u);
    return std::string(d);
  };
  EXPECT_EQ(chemin(), "/tmp/");
  ::setenv("TMPDIR", tmpdir.c_str(), 1);
  EXPECT_EQ(chemin(), tmpdir.string() + "/");
  ::setenv("TEMP", "/temp", 1);
  EXPECT_EQ(chemin(), "/temp/");
  ::setenv("TMP", "/tmp-a", 1);
  EXPECT_EQ(chemin(), "/tmp-a/");
  ::unsetenv("TMP");
  ::unsetenv("TEMP");

  FILE* f = CrtTmpfile();
  ASSERT_NE(f, nullptr);
  char lien[MAX_PATH] = {};
  const std::string fd = "/proc/self/fd/" + std::to_string(::fileno(f));
  ASSERT_GT(::readlink(fd.c_str(), lien, sizeof lien - 1), 0);
  EXPECT_EQ(std::string(lien).rfind(tmpdir.string() + "/", 0), 0u) << lien;
  EXPECT_TRUE(std::filesystem::is_empty(tmpdir)) << "gone from the folder at once";
  std::fclose(f);
  for (const auto& [nom, valeur] : sauves) {
    if (valeur) ::setenv(nom, valeur->c_str(), 1);
    else ::unsetenv(nom);
  }
}

// The printer folder's "port" file sends each finished job on to that TCP address.
namespace {

// One document of these bytes; the result of its end, with what the spooler said and its error.
BOOL spoule(const DossierSpool& spool, std::string octets, std::string& console, DWORD& erreur) {
  HANDLE h = spool.ouvre();
  EXPECT_NE(StartDocPrinterA(h, 1, nullptr), 0u);
  DWORD ecrits = 0;
  EXPECT_TRUE(WritePrinter(h, octets.data(), static_cast<DWORD>(octets.size()), &ecrits));
  testing::internal::CaptureStderr();
  const BOOL fini = EndDocPrinter(h);
  erreur = GetLastError();
  console = testing::internal::GetCapturedStderr();
  ClosePrinter(h);
  return fini;
}

std::string motif(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 131 + i / 977);
  return s;
}

}  // namespace

TEST(Win32, APortGetsExactlyTheSpooledBytes) {
  DossierSpool spool;
  Ecouteur controleur;
  std::string console;
  DWORD erreur = 0;
  EXPECT_TRUE(spoule(spool, "sans port", console, erreur));
  EXPECT_FALSE(controleur.connexionEnAttente());

  std::ofstream(spool.imprimante() / "port") << " 127.0.0.1:" << controleur.port() << "\n";
  const std::string job = "!LB 1;" + motif(3 << 20);
  controleur.sert();
  EXPECT_TRUE(spoule(spool, job, console, erreur)) << console;
  EXPECT_EQ(controleur.recu(), job);
  EXPECT_EQ(lit(spool.imprimante() / "job-000002.prn"), job);

  std::ofstream(spool.imprimante() / "port") << "localhost:" << controleur.port() << "\r\n";
  controleur.sert();
  EXPECT_TRUE(spoule(spool, "court", console, erreur) && controleur.recu() == "court") << console;
}

TEST(Win32, UndeliveredJobsFailButStaySpooled) {
  DossierSpool spool;
  std::string console;
  DWORD erreur = 0;
  Ecouteur ferme(false);
  std::ofstream(spool.imprimante() / "port") << "127.0.0.1:" << ferme.port();
  EXPECT_FALSE(spoule(spool, "refuse", console, erreur));
  EXPECT_EQ(erreur, ERROR_CONNECTION_REFUSED);
  EXPECT_NE(console.find("laser1: cannot connect to 127.0.0.1:" + std::to_string(ferme.port())),
            std::string::npos) << console;

  // A peer that hangs up after one byte: the rest never gets there.
  Ecouteur presse;
  std::ofstream(spool.imprimante() / "port") << "127.0.0.1:" << presse.port();
  presse.sert(1);
  const std::string gros = motif(16 << 20);
  EXPECT_FALSE(spoule(spool, gros, console, erreur));
  EXPECT_EQ(presse.recu().size(), 1u);
  EXPECT_EQ(erreur, ERROR_NETNAME_DELETED);
  EXPECT_NE(console.find(" of " + std::to_string(gros.size()) + " bytes"), std::string::npos) << console;
  EXPECT_EQ(lit(spool.imprimante() / "job-000001.prn"), "refuse");
  EXPECT_EQ(lit(spool.imprimante() / "job-000002.prn"), gros);

  for (const std::string texte : {"", "127.0.0.1", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:80x",
                                  "127.0.0.1:80\n127.0.0.1:81", "local host:80", "[::1]:80"}) {
    std::ofstream(spool.imprimante() / "port") << texte;
    EXPECT_FALSE(spoule(spool, "x", console, erreur)) << texte;
    EXPECT_EQ(erreur, ERROR_INVALID_DATA);
    EXPECT_NE(console.find("port must hold one line HOST:PORT"), std::string::npos) << console;
  }
  EXPECT_EQ(spool.fichiers().size(), 11u);
}
