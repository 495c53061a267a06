#include "outils.h"

#ifndef _WIN32
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

#ifdef _WIN32
DossierSpool::DossierSpool() {
  static unsigned compteur = 0;
  do
    racine_ = fs::temp_directory_path() /
              ("spool" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++compteur));
  while (!fs::create_directory(racine_));
  fs::create_directory(imprimante());
  _putenv_s("BREVOLT_SPOOL_DIR", racine_.string().c_str());
}

DossierSpool::~DossierSpool() {
  _putenv_s("BREVOLT_SPOOL_DIR", "");
#else
DossierSpool::DossierSpool() {
  std::string modele = (fs::temp_directory_path() / "spoolXXXXXX").string();
  racine_ = ::mkdtemp(modele.data());
  fs::create_directory(imprimante());
  ::setenv("BREVOLT_SPOOL_DIR", racine_.c_str(), 1);
}

DossierSpool::~DossierSpool() {
  ::unsetenv("BREVOLT_SPOOL_DIR");
#endif
  std::error_code e;
  fs::remove_all(racine_, e);
}

std::vector<std::string> DossierSpool::fichiers() const {
  std::vector<std::string> noms;
  for (const auto& e : fs::directory_iterator(imprimante())) noms.push_back(e.path().filename().string());
  std::sort(noms.begin(), noms.end());
  return noms;
}

HANDLE DossierSpool::ouvre() const {
  HANDLE h = nullptr;
  char nom[] = "laser1";
  EXPECT_TRUE(OpenPrinterA(nom, &h, nullptr));
  return h;
}

#ifndef _WIN32
Ecouteur::Ecouteur(bool ecoute) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t taille = sizeof a;
  EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &taille), 0);
  port_ = ntohs(a.sin_port);
  if (ecoute) {
    EXPECT_EQ(::listen(fd_, 4), 0);
  }
}

Ecouteur::~Ecouteur() {
  if (service_.valid()) service_.wait();
  ::close(fd_);
}

void Ecouteur::sert(std::size_t limite) {
  service_ = std::async(std::launch::async, [fd = fd_, limite] {
    std::string recu;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 10000) != 1) return recu;
    p.fd = ::accept(fd, nullptr, nullptr);
    char tampon[65536];
    for (ssize_t n = 1; n > 0 && recu.size() < limite && ::poll(&p, 1, 10000) == 1;) {
      n = ::recv(p.fd, tampon, std::min(sizeof tampon, limite - recu.size()), 0);
      if (n > 0) recu.append(tampon, static_cast<std::size_t>(n));
    }
    ::close(p.fd);
    return recu;
  });
}

std::string Ecouteur::recu() { return service_.get(); }

bool Ecouteur::connexionEnAttente() const {
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1;
}
#endif

void Convertisseur::SetUp() {
  win32test::reset();
  Contexte = {};
  Sortie = {};
  std::memset(&Analyse, 0, sizeof Analyse);
}

void Convertisseur::TearDown() {
  if (Sortie.FichierMachine) std::fclose(Sortie.FichierMachine);
  Sortie.FichierMachine = nullptr;
  EXPECT_EQ(win32test::openHandles(), 0u);
  win32test::reset();
}

void Convertisseur::importe(const settings::Record& r) {
  ImporteParametres(Contexte, Sortie, ParametresJob(r.data(), r.size()));
  InitContexteConversion(Contexte, Analyse, Sortie);
}

void Convertisseur::ouvreJob() {
  Sortie.FichierMachine = OuvreFichierBrouillon(Contexte);
  ASSERT_NE(Sortie.FichierMachine, nullptr);
  Sortie.CompteurOctets = 0;
  EcritPreEntete(Contexte, Sortie);
}

jobfile::Job Convertisseur::jobAvec(const settings::Record& r, const std::function<void()>& corps) {
  importe(r);
  ouvreJob();
  EcritEnteteJob(Contexte, Sortie);
  if (corps) corps();
  EcritFinJob(Contexte, Sortie);
  jobfile::Job j = job();
  std::fclose(Sortie.FichierMachine);
  Sortie.FichierMachine = nullptr;
  return j;
}

std::vector<std::uint8_t> Convertisseur::octets() const { return contenuFlux(Sortie.FichierMachine); }

std::vector<std::uint8_t> contenuFlux(FILE* f) {
  std::fflush(f);
  const long fin = std::ftell(f);
  std::vector<std::uint8_t> b(static_cast<std::size_t>(fin));
  std::rewind(f);
  EXPECT_EQ(std::fread(b.data(), 1, b.size(), f), b.size());
  std::fseek(f, 0, SEEK_END);
  return b;
}

std::vector<std::string> Convertisseur::messages() {
  std::vector<std::string> textes;
  for (const auto& m : win32test::messages()) textes.push_back(m.text);
  return textes;
}
