// A printer's port: when its folder holds a file "port" with one line HOST:PORT, each
// finished job is also sent there as a raw TCP stream, as a printer port hands it to the
// controller: connect, send the whole file, shut down the write side, wait a little for
// the peer to close, close. Every wait is bounded, so a silent peer never holds the caller.
#include "etat.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

using Horloge = std::chrono::steady_clock;

constexpr int kDelaiConnexionMs = 5000;
constexpr int kDelaiEnvoiMs = 10000;    // without any progress
constexpr int kDelaiFermetureMs = 3000;
constexpr std::size_t kTailleMaxFichierPort = 512;

struct Adresse {
  std::string hote;
  std::string port;
};

// Tells why the job did not reach the port; the document's end fails with code.
bool echec(const win32::Imprimante& p, DWORD code, const std::string& texte) {
  std::fprintf(stderr, "spooler: %s: %s\n", p.nom.c_str(), texte.c_str());
  SetLastError(code);
  return false;
}

std::string erreurSysteme(int e) { return std::strerror(e); }

bool hoteValide(std::string_view h) {
  if (h.empty() || h.size() > 253 || h.front() == '-' || h.front() == '.') return false;
  return std::all_of(h.begin(), h.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-';
  });
}

// "HOST:PORT", with blanks and line ends around it; nullopt when malformed.
std::optional<Adresse> litAdresse(std::string_view texte) {
  auto blanc = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!texte.empty() && blanc(texte.front())) texte.remove_prefix(1);
  while (!texte.empty() && blanc(texte.back())) texte.remove_suffix(1);
  const auto deuxPoints = texte.rfind(':');
  if (deuxPoints == std::string_view::npos) return std::nullopt;
  const std::string_view hote = texte.substr(0, deuxPoints), port = texte.substr(deuxPoints + 1);
  unsigned numero = 0;
  const auto [fin, erreur] = std::from_chars(port.data(), port.data() + port.size(), numero);
  if (!hoteValide(hote) || port.empty() || port.size() > 5 || erreur != std::errc() ||
      fin != port.data() + port.size() || numero < 1 || numero > 65535)
    return std::nullopt;
  return Adresse{std::string(hote), std::to_string(numero)};
}

class Descripteur {
 public:
  explicit Descripteur(int fd = -1) : fd_(fd) {}
  Descripteur(Descripteur&& autre) noexcept : fd_(autre.fd_) { autre.fd_ = -1; }
  ~Descripteur() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descripteur(const Descripteur&) = delete;
  Descripteur& operator=(const Descripteur&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Waits for the events on fd; 0 on time-out, -1 on failure (errno set).
int attend(int fd, short evenements, int delaiMs) {
  pollfd p{fd, evenements, 0};
  for (;;) {
    const int n = ::poll(&p, 1, delaiMs);
    if (n >= 0 || errno != EINTR) return n;
  }
}

int erreurSocket(int fd) {
  int e = 0;
  socklen_t taille = sizeof e;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &taille) != 0) return errno;
  return e;
}

// A connected blocking socket to one of the host's addresses; errno-style code in erreur.
Descripteur connecte(const addrinfo* liste, int& erreur) {
  erreur = ECONNREFUSED;
  for (const addrinfo* a = liste; a; a = a->ai_next) {
    Descripteur s(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
    if (s.get() < 0) {
      erreur = errno;
      continue;
    }
    if (::connect(s.get(), a->ai_addr, a->ai_addrlen) != 0) {
      if (errno != EINPROGRESS) {
        erreur = errno;
        continue;
      }
      const int n = attend(s.get(), POLLOUT, kDelaiConnexionMs);
      erreur = n == 0 ? ETIMEDOUT : n < 0 ? errno : erreurSocket(s.get());
      if (erreur != 0) continue;
    }
    const int drapeaux = ::fcntl(s.get(), F_GETFL);
    if (drapeaux < 0 || ::fcntl(s.get(), F_SETFL, drapeaux & ~O_NONBLOCK) != 0) {
      erreur = errno;
      continue;
    }
    timeval delai{kDelaiEnvoiMs / 1000, 0};
    ::setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, &delai, sizeof delai);
    erreur = 0;
    return s;
  }
  return Descripteur();
}

// Drains what the peer says until it closes; false when it reset the connection.
bool attendFermeture(int fd, int& erreur) {
  const auto limite = Horloge::now() + std::chrono::milliseconds(kDelaiFermetureMs);
  char poubelle[4096];
  for (;;) {
    const auto reste = std::chrono::duration_cast<std::chrono::milliseconds>(limite - Horloge::now());
    if (reste.count() <= 0) return true;  // the end was sent; the peer just lingers
    const int n = attend(fd, POLLIN, static_cast<int>(reste.count()));
    if (n < 0) {
      erreur = errno;
      return false;
    }
    if (n == 0) continue;
    const ssize_t lus = ::recv(fd, poubelle, sizeof poubelle, MSG_DONTWAIT);
    if (lus > 0 || (lus < 0 && (errno == EINTR || errno == EAGAIN))) continue;
    if (lus < 0) {
      erreur = errno;
      return false;
    }
    erreur = erreurSocket(fd);  // a close that follows a reset is no clean end
    return erreur == 0;
  }
}

}  // namespace

namespace win32 {

bool livreAuPort(const Imprimante& p, const std::string& travail) {
  const std::string cheminPort = p.dossier + "/port";
  Descripteur fichierPort(::open(cheminPort.c_str(), O_RDONLY | O_CLOEXEC));
  if (fichierPort.get() < 0) {
    if (errno == ENOENT) return true;
    return echec(p, ERROR_INVALID_DATA, "cannot read " + cheminPort + ": " + erreurSysteme(errno));
  }
  char texte[kTailleMaxFichierPort + 1];
  std::size_t taille = 0;
  for (ssize_t n; taille < sizeof texte &&
                  (n = ::read(fichierPort.get(), texte + taille, sizeof texte - taille)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return echec(p, ERROR_INVALID_DATA, "cannot read " + cheminPort + ": " + erreurSysteme(errno));
    taille += static_cast<std::size_t>(n);
  }
  const auto adresse = taille > kTailleMaxFichierPort ? std::nullopt : litAdresse({texte, taille});
  if (!adresse)
    return echec(p, ERROR_INVALID_DATA,
                 cheminPort + " must hold one line HOST:PORT (a name or dotted address, a port 1 to 65535)");
  const std::string cible = adresse->hote + ":" + adresse->port;

  addrinfo indices{};
  indices.ai_family = AF_INET;
  indices.ai_socktype = SOCK_STREAM;
  indices.ai_flags = AI_NUMERICSERV;
  addrinfo* liste = nullptr;
  if (const int r = ::getaddrinfo(adresse->hote.c_str(), adresse->port.c_str(), &indices, &liste); r != 0)
    return echec(p, ERROR_BAD_NET_NAME, "cannot find " + adresse->hote + ": " + ::gai_strerror(r));
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> garde(liste, &::freeaddrinfo);
  int erreur = 0;
  const Descripteur s = connecte(liste, erreur);
  if (s.get() < 0)
    return echec(p, erreur == ETIMEDOUT ? ERROR_SEM_TIMEOUT : ERROR_CONNECTION_REFUSED,
                 "cannot connect to " + cible + ": " + erreurSysteme(erreur));

  Descripteur job(::open(travail.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat etat {};
  if (job.get() < 0 || ::fstat(job.get(), &etat) != 0)
    return echec(p, ERROR_READ_FAULT, "cannot read " + travail + ": " + erreurSysteme(errno));
  const std::string surTotal = " of " + std::to_string(etat.st_size) + " bytes";
  unsigned long long envoyes = 0;
  char tampon[65536];
  for (;;) {
    const ssize_t lus = ::read(job.get(), tampon, sizeof tampon);
    if (lus < 0 && errno == EINTR) continue;
    if (lus < 0) return echec(p, ERROR_READ_FAULT, "cannot read " + travail + ": " + erreurSysteme(errno));
    if (lus == 0) break;
    for (ssize_t fait = 0; fait < lus;) {
      const ssize_t n = ::send(s.get(), tampon + fait, static_cast<std::size_t>(lus - fait), MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        const int e = n == 0 || errno == EAGAIN ? ETIMEDOUT : errno;
        const auto partis = envoyes + static_cast<unsigned long long>(fait);
        return echec(p, e == ETIMEDOUT ? ERROR_SEM_TIMEOUT : ERROR_NETNAME_DELETED,
                     "sending the job to " + cible + " failed after " + std::to_string(partis) + surTotal +
                         ": " + erreurSysteme(e));
      }
      fait += n;
    }
    envoyes += static_cast<unsigned long long>(lus);
  }
  if (::shutdown(s.get(), SHUT_WR) != 0)
    erreur = errno;
  else if (attendFermeture(s.get(), erreur))
    return true;
  return echec(p, ERROR_NETNAME_DELETED,
               "the connection to " + cible + " broke at the end of the job (" + std::to_string(envoyes) +
                   surTotal + " sent): " + erreurSysteme(erreur));
}

}  // namespace win32
