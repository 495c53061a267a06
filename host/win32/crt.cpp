// The C runtime pieces behind the converter's stream temporary files.
#include "etat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool estDossier(const char* chemin) {
  struct stat st {};
  return chemin && *chemin && ::stat(chemin, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

// As the Windows runtime: the folder named by TMP when it exists, else the one asked
// for, else the system's. The name is only formed; nothing is created.
char* _tempnam(const char* folder, const char* prefix) {
  if (win32::panne(win32test::Call::Tempnam)) return nullptr;
  const char* dossier = std::getenv("TMP");
  if (!estDossier(dossier)) dossier = folder;
  if (!estDossier(dossier)) dossier = std::getenv("TMPDIR");
  if (!estDossier(dossier)) dossier = "/tmp";
  std::string base = dossier;
  if (base.back() != '/') base += '/';
  base += prefix ? prefix : "";
  static unsigned compteur = 0;
  for (int essai = 0; essai < 10000; ++essai) {
    std::string nom = base + std::to_string(::getpid()) + "." + std::to_string(++compteur);
    struct stat st {};
    if (::lstat(nom.c_str(), &st) != 0 && errno == ENOENT) return ::strdup(nom.c_str());
  }
  return nullptr;
}

// In the temporary folder, as the Windows runtime makes it; gone once closed.
FILE* CrtTmpfile() {
  if (win32::panne(win32test::Call::Tmpfile)) {
    errno = EMFILE;
    return nullptr;
  }
  char dossier[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(sizeof dossier, dossier);
  if (n == 0 || n >= sizeof dossier) return nullptr;
  std::string nom = std::string(dossier) + "tmpXXXXXX";
  const int fd = ::mkostemp(nom.data(), O_CLOEXEC);
  if (fd < 0) return nullptr;
  ::unlink(nom.c_str());
  FILE* f = ::fdopen(fd, "w+b");
  if (!f) ::close(fd);
  return f;
}

// Mode letters as the Windows runtime takes them; "D" deletes the file when it is
// closed: the file is created afresh (never through an existing name or link) and
// unlinked at once.
FILE* CrtFopen(const char* name, const char* mode) {
  if (win32::panne(win32test::Call::Fopen) || !name || !mode) {
    errno = EACCES;
    return nullptr;
  }
  std::string m;
  bool supprime = false;
  for (const char* c = mode; *c; ++c) {
    if (*c == 'D')
      supprime = true;
    else if (std::strchr("rwa+b", *c))
      m += *c;
  }
  if (m.empty() || !std::strchr("rwa", m[0])) {
    errno = EINVAL;
    return nullptr;
  }
  if (!supprime) return std::fopen(name, m.c_str());
  int acces = m.find('+') != std::string::npos ? O_RDWR : (m[0] == 'r' ? O_RDONLY : O_WRONLY);
  int fd = ::open(name, acces | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  ::unlink(name);
  FILE* f = ::fdopen(fd, m.c_str());
  if (!f) ::close(fd);
  return f;
}
