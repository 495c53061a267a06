// The spooler: a printer is a folder $BREVOLT_SPOOL_DIR/<printer>/ (default ./spool).
// A document is written to a hidden temporary file there and becomes "job-NNNNNN.prn"
// only when it ends, so a reader never sees a partial job; an aborted one leaves nothing,
// and one whose writer died is removed when the printer is next opened.
// Printer data values live in the folder's "values.txt", one "name=dword:XXXXXXXX" or
// "name=hex(type):XX..." line each; lines that do not parse are ignored. A "port" file
// there sends each finished job on to a TCP address (port.cpp).
#include "etat.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace win32 {

Imprimante::~Imprimante() {
  // A document still open when the printer closes was never finished: discard it.
  if (docFd >= 0) {
    ::close(docFd);
    ::unlink(docTemp.c_str());
  }
}

}  // namespace win32

namespace {

using win32test::Call;
using win32::Imprimante;

constexpr std::size_t kTailleMaxValeurs = 1 << 20;
constexpr std::size_t kTailleMaxDonnee = 1 << 16;

struct Valeur {
  std::string nom;
  DWORD type;
  std::vector<BYTE> donnees;
};

Imprimante* imprimante(HANDLE h) {
  return static_cast<Imprimante*>(win32::objet(h, win32::Objet::Genre::Imprimante));
}

std::string dossierSpool() {
  const char* env = std::getenv("BREVOLT_SPOOL_DIR");
  return env && *env ? env : "./spool";
}

bool nomImprimanteValide(std::string_view nom) {
  if (nom.empty() || nom.size() > 255 || nom == "." || nom == "..") return false;
  return std::all_of(nom.begin(), nom.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7F && c != '/';
  });
}

bool nomValeurValide(std::string_view nom) {
  if (nom.empty() || nom.size() > 255) return false;
  return std::all_of(nom.begin(), nom.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F && c != '=';
  });
}

bool memeNom(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

int chiffreHex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool litLigne(std::string_view ligne, Valeur& v) {
  auto egal = ligne.find('=');
  if (egal == std::string_view::npos) return false;
  v.nom = std::string(ligne.substr(0, egal));
  if (!nomValeurValide(v.nom)) return false;
  std::string_view reste = ligne.substr(egal + 1);
  v.donnees.clear();
  if (reste.starts_with("dword:")) {
    reste.remove_prefix(6);
    if (reste.empty() || reste.size() > 8) return false;
    DWORD d = 0;
    for (char c : reste) {
      int h = chiffreHex(c);
      if (h < 0) return false;
      d = d << 4 | static_cast<DWORD>(h);
    }
    v.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) v.donnees.push_back(static_cast<BYTE>(d >> (8 * i)));
    return true;
  }
  if (!reste.starts_with("hex(")) return false;
  reste.remove_prefix(4);
  auto fin = reste.find("):");
  if (fin == std::string_view::npos || fin == 0 || fin > 10) return false;
  unsigned long long type = 0;
  for (char c : reste.substr(0, fin)) {
    if (c < '0' || c > '9') return false;
    type = type * 10 + static_cast<unsigned>(c - '0');
  }
  if (type > 0xFFFFFFFFull) return false;
  v.type = static_cast<DWORD>(type);
  reste.remove_prefix(fin + 2);
  if (reste.size() % 2 != 0 || reste.size() / 2 > kTailleMaxDonnee) return false;
  for (std::size_t i = 0; i < reste.size(); i += 2) {
    int a = chiffreHex(reste[i]), b = chiffreHex(reste[i + 1]);
    if (a < 0 || b < 0) return false;
    v.donnees.push_back(static_cast<BYTE>(a << 4 | b));
  }
  return true;
}

std::vector<Valeur> litValeurs(const Imprimante& p) {
  std::vector<Valeur> valeurs;
  FILE* f = std::fopen((p.dossier + "/values.txt").c_str(), "rb");
  if (!f) return valeurs;
  std::string texte(kTailleMaxValeurs, '\0');
  texte.resize(std::fread(texte.data(), 1, texte.size(), f));
  std::fclose(f);
  // An oversized file is cut: its last, partial line is not taken.
  if (texte.size() == kTailleMaxValeurs) texte.resize(texte.rfind('\n') + 1);
  std::size_t debut = 0;
  while (debut < texte.size()) {
    std::size_t fin = texte.find('\n', debut);
    if (fin == std::string::npos) fin = texte.size();
    std::string_view ligne(texte.data() + debut, fin - debut);
    if (!ligne.empty() && ligne.back() == '\r') ligne.remove_suffix(1);
    Valeur v;
    if (litLigne(ligne, v)) {
      auto meme = std::find_if(valeurs.begin(), valeurs.end(),
                               [&](const Valeur& w) { return memeNom(w.nom, v.nom); });
      if (meme != valeurs.end())
        *meme = std::move(v);
      else
        valeurs.push_back(std::move(v));
    }
    debut = fin + 1;
  }
  return valeurs;
}

bool ecritValeurs(const Imprimante& p, const std::vector<Valeur>& valeurs) {
  std::string texte;
  for (const Valeur& v : valeurs) {
    char tete[32];
    texte += v.nom;
    if (v.type == REG_DWORD && v.donnees.size() == 4) {
      DWORD d = 0;
      for (int i = 3; i >= 0; --i) d = d << 8 | v.donnees[static_cast<std::size_t>(i)];
      std::snprintf(tete, sizeof tete, "=dword:%08x\n", d);
      texte += tete;
      continue;
    }
    std::snprintf(tete, sizeof tete, "=hex(%u):", v.type);
    texte += tete;
    for (BYTE b : v.donnees) {
      std::snprintf(tete, sizeof tete, "%02x", b);
      texte += tete;
    }
    texte += '\n';
  }
  const std::string final = p.dossier + "/values.txt";
  const std::string temp = final + ".tmp" + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, texte.data(), texte.size()) == static_cast<ssize_t>(texte.size());
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temp.c_str(), final.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

// Next free job number in the folder: one past the largest present.
unsigned prochainNumero(const std::string& dossier) {
  unsigned plusGrand = 0;
  if (DIR* d = ::opendir(dossier.c_str())) {
    while (dirent* e = ::readdir(d)) {
      unsigned n = 0;
      char fin = 0;
      if (std::sscanf(e->d_name, "job-%u.pr%c", &n, &fin) == 2 && fin == 'n')
        plusGrand = std::max(plusGrand, n);
    }
    ::closedir(d);
  }
  return plusGrand + 1;
}

// A writer killed before the end of its document leaves its ".part" file behind. Its
// name carries the writer's process, which holds a lock on it while it writes: a file
// whose process is gone and whose lock nobody holds is removed.
void retireDocumentsMorts(const std::string& dossier) {
  DIR* d = ::opendir(dossier.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d)) {
    long pid = 0;
    unsigned travail = 0;
    char fin[6] = {};
    if (std::sscanf(e->d_name, ".job-%ld-%u.%5s", &pid, &travail, fin) != 3 ||
        std::strcmp(fin, "part") != 0 || pid <= 0)
      continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const std::string chemin = dossier + "/" + e->d_name;
    const int fd = ::open(chemin.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(chemin.c_str());
    ::close(fd);
  }
  ::closedir(d);
}

void abandonneDocument(Imprimante& p) {
  if (p.docFd < 0) return;
  ::close(p.docFd);
  ::unlink(p.docTemp.c_str());
  p.docFd = -1;
  p.docTemp.clear();
}

}  // namespace

BOOL OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA) {
  if (printer) *printer = nullptr;
  if (win32::panne(Call::OpenPrinter) || !printer || !name || !nomImprimanteValide(name)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  std::string dossier = dossierSpool() + "/" + name;
  struct stat st {};
  if (::stat(dossier.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  retireDocumentsMorts(dossier);
  auto* p = new Imprimante;
  p->nom = name;
  p->dossier = std::move(dossier);
  *printer = win32::enregistre(p);
  return TRUE;
}

BOOL ClosePrinter(HANDLE printer) {
  return win32::libere(printer, win32::Objet::Genre::Imprimante) ? TRUE : FALSE;
}

BOOL GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
  Imprimante* p = imprimante(printer);
  if (!p) return FALSE;
  if (win32::panne(Call::GetPrinter) || level != 2 || !needed) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::size_t total = sizeof(PRINTER_INFO_2A) + p->nom.size() + 1;
  *needed = static_cast<DWORD>(total);
  if (!buffer || size < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  char* nom = reinterpret_cast<char*>(buffer) + sizeof(PRINTER_INFO_2A);
  std::memcpy(nom, p->nom.c_str(), p->nom.size() + 1);
  PRINTER_INFO_2A info{nullptr, nom};
  std::memcpy(buffer, &info, sizeof info);
  return TRUE;
}

DWORD StartDocPrinterA(HANDLE printer, DWORD level, LPBYTE) {
  Imprimante* p = imprimante(printer);
  if (!p) return 0;
  if (win32::panne(Call::StartDocPrinter) || level != 1 || p->docFd >= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  static DWORD travail = 0;
  ++travail;
  p->docTemp = p->dossier + "/.job-" + std::to_string(::getpid()) + "-" +
               std::to_string(travail) + ".part";
  p->docFd = ::open(p->docTemp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
  if (p->docFd >= 0) ::flock(p->docFd, LOCK_EX | LOCK_NB);
  if (p->docFd < 0) {
    p->docTemp.clear();
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  return travail;
}

BOOL WritePrinter(HANDLE printer, LPVOID buffer, DWORD bytes, LPDWORD written) {
  if (written) *written = 0;
  Imprimante* p = imprimante(printer);
  if (!p) return FALSE;
  if (p->docFd < 0) {
    SetLastError(ERROR_SPL_NO_STARTDOC);
    return FALSE;
  }
  if (win32::panne(Call::WritePrinter) || (!buffer && bytes)) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  const char* octets = static_cast<const char*>(buffer);
  DWORD fait = 0;
  while (fait < bytes) {
    ssize_t n = ::write(p->docFd, octets + fait, bytes - fait);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (written) *written = fait;
      SetLastError(ERROR_WRITE_FAULT);
      return FALSE;
    }
    fait += static_cast<DWORD>(n);
  }
  if (written) *written = fait;
  return TRUE;
}

BOOL EndDocPrinter(HANDLE printer) {
  Imprimante* p = imprimante(printer);
  if (!p) return FALSE;
  if (p->docFd < 0) {
    SetLastError(ERROR_SPL_NO_STARTDOC);
    return FALSE;
  }
  if (win32::panne(Call::EndDocPrinter) || ::fsync(p->docFd) != 0) {
    abandonneDocument(*p);
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  ::close(p->docFd);
  p->docFd = -1;
  // link() refuses an existing name, so a job never replaces another.
  for (unsigned n = prochainNumero(p->dossier), essais = 0; essais < 1000; ++n, ++essais) {
    char nom[32];
    std::snprintf(nom, sizeof nom, "/job-%06u.prn", n);
    const std::string final = p->dossier + nom;
    if (::link(p->docTemp.c_str(), final.c_str()) == 0) {
      ::unlink(p->docTemp.c_str());
      p->docTemp.clear();
      // The job stays spooled even when its port does not take it.
      return win32::livreAuPort(*p, final) ? TRUE : FALSE;
    }
    if (errno != EEXIST) break;
  }
  ::unlink(p->docTemp.c_str());
  p->docTemp.clear();
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

BOOL AbortPrinter(HANDLE printer) {
  Imprimante* p = imprimante(printer);
  if (!p) return FALSE;
  if (win32::panne(Call::AbortPrinter)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  abandonneDocument(*p);
  return TRUE;
}

DWORD GetPrinterDataA(HANDLE printer, LPSTR valueName, LPDWORD type, LPBYTE data, DWORD size,
                      LPDWORD needed) {
  Imprimante* p = imprimante(printer);
  if (!p) return ERROR_INVALID_HANDLE;
  if (win32::panne(Call::GetPrinterData)) return ERROR_ACCESS_DENIED;
  if (!valueName) return ERROR_INVALID_PARAMETER;
  for (const Valeur& v : litValeurs(*p)) {
    if (!memeNom(v.nom, valueName)) continue;
    if (type) *type = v.type;
    if (needed) *needed = static_cast<DWORD>(v.donnees.size());
    if (!data || size < v.donnees.size()) return ERROR_MORE_DATA;
    std::copy(v.donnees.begin(), v.donnees.end(), data);
    return ERROR_SUCCESS;
  }
  return ERROR_FILE_NOT_FOUND;
}

DWORD SetPrinterDataA(HANDLE printer, LPSTR valueName, DWORD type, LPBYTE data, DWORD size) {
  Imprimante* p = imprimante(printer);
  if (!p) return ERROR_INVALID_HANDLE;
  if (win32::panne(Call::SetPrinterData)) return ERROR_ACCESS_DENIED;
  if (!valueName || !nomValeurValide(valueName) || (!data && size) || size > kTailleMaxDonnee)
    return ERROR_INVALID_PARAMETER;
  std::vector<Valeur> valeurs = litValeurs(*p);
  Valeur nouvelle{valueName, type, std::vector<BYTE>(data, data + size)};
  auto meme = std::find_if(valeurs.begin(), valeurs.end(),
                           [&](const Valeur& v) { return memeNom(v.nom, valueName); });
  if (meme != valeurs.end())
    *meme = std::move(nouvelle);
  else
    valeurs.push_back(std::move(nouvelle));
  return ecritValeurs(*p, valeurs) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}
