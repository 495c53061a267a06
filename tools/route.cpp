#include "route.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace route {

namespace {

constexpr uint16_t kLampePrete = 0x0200;     // output 1 in the outputs word
constexpr uint16_t kLampeMarquage = 0x0400;  // output 2
constexpr unsigned kFaisceau = 0x8000;       // control word: beam on
constexpr int kCentre = 32766;

[[noreturn]] void Echec(const std::string& quoi)
{
    throw std::runtime_error(quoi + ": " + std::strerror(errno));
}

}  // namespace

Dossier::Dossier()
{
    std::string modele = (fs::temp_directory_path() / "mlas-route-XXXXXX").string();
    if (mkdtemp(modele.data()) == nullptr) Echec("mkdtemp");
    chemin_ = modele;
}

Dossier::~Dossier()
{
    std::error_code erreur;
    fs::remove_all(chemin_, erreur);
}

std::string Contenu(const fs::path& fichier)
{
    std::ifstream entree(fichier, std::ios::binary);
    std::ostringstream texte;
    texte << entree.rdbuf();
    return texte.str();
}

std::vector<std::string> Lignes(const fs::path& fichier)
{
    std::vector<std::string> lignes;
    std::istringstream texte(Contenu(fichier));
    for (std::string ligne; std::getline(texte, ligne);) lignes.push_back(ligne);
    return lignes;
}

void Ecrit(const fs::path& fichier, std::span<const uint8_t> octets)
{
    std::ofstream sortie(fichier, std::ios::binary);
    sortie.write(reinterpret_cast<const char*>(octets.data()), static_cast<std::streamsize>(octets.size()));
    if (!sortie) throw std::runtime_error("cannot write " + fichier.string());
}

void Ecrit(const fs::path& fichier, const std::string& texte)
{
    Ecrit(fichier, std::span(reinterpret_cast<const uint8_t*>(texte.data()), texte.size()));
}

int PortLibre()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) Echec("socket");
    sockaddr_in adresse{};
    adresse.sin_family = AF_INET;
    adresse.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t taille = sizeof adresse;
    const bool ok = bind(s, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse) == 0 &&
                    getsockname(s, reinterpret_cast<sockaddr*>(&adresse), &taille) == 0;
    close(s);
    if (!ok) Echec("bind");
    return ntohs(adresse.sin_port);
}

LignesSerie::LignesSerie(const fs::path& dossier, std::initializer_list<int> ports)
{
    fs::create_directories(dossier);
    for (int p : ports) {
        if (p < 0 || p > 4) throw std::invalid_argument("serial port 0 to 4");
        const int m = posix_openpt(O_RDWR | O_NOCTTY);
        if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) Echec("posix_openpt");
        maitres_[p] = m;
        fs::create_symlink(ptsname(m), dossier / ("ttyS" + std::to_string(p)));
    }
}

LignesSerie::~LignesSerie()
{
    for (int m : maitres_)
        if (m >= 0) close(m);
}

bool LignesSerie::Envoie(int port, std::span<const uint8_t> octets) const
{
    const int m = maitres_[port];
    for (size_t envoye = 0; envoye < octets.size();) {
        const ssize_t n = write(m, octets.data() + envoye, octets.size() - envoye);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        envoye += static_cast<size_t>(n);
    }
    return true;
}

void LignesSerie::Vide(int port) const
{
    pollfd p{maitres_[port], POLLIN, 0};
    char tampon[512];
    while (poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0 && read(p.fd, tampon, sizeof tampon) > 0) {
    }
}

std::string LignesSerie::Recoit(int port, size_t octets, std::chrono::milliseconds delai) const
{
    std::string recu;
    const auto fin = std::chrono::steady_clock::now() + delai;
    pollfd p{maitres_[port], POLLIN, 0};
    char tampon[512];
    while (recu.size() < octets) {
        const auto reste = std::chrono::duration_cast<std::chrono::milliseconds>(fin - std::chrono::steady_clock::now());
        if (reste.count() <= 0 || poll(&p, 1, static_cast<int>(reste.count())) != 1) break;
        const ssize_t n = read(p.fd, tampon, std::min(sizeof tampon, octets - recu.size()));
        if (n <= 0) break;
        recu.append(tampon, static_cast<size_t>(n));
    }
    return recu;
}

std::vector<uint8_t> TrameModeNormal()
{
    return {0x1B, 'h', 3, 0, 0x0D};
}

Programme::Programme(const fs::path& chemin, const std::vector<std::string>& arguments, const fs::path& dossier,
                     const std::vector<std::string>& variables, const fs::path& console, const fs::path& messages,
                     const fs::path& entree)
{
    std::vector<std::string> environnement;
    for (char** v = environ; *v != nullptr; ++v) {
        const std::string_view texte(*v);
        bool remplacee = false;
        for (const std::string& nouvelle : variables)
            remplacee = remplacee || texte.substr(0, texte.find('=') + 1) == nouvelle.substr(0, nouvelle.find('=') + 1);
        if (!remplacee) environnement.emplace_back(texte);
    }
    environnement.insert(environnement.end(), variables.begin(), variables.end());
    std::vector<char*> envp;
    for (std::string& v : environnement) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string programme = chemin.string();
    std::vector<std::string> args = arguments;
    std::vector<char*> argv = {programme.data()};
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string sortie = console.string();
    const std::string erreurs = messages.string();
    const std::string clavier = entree.string();

    pid_ = fork();
    if (pid_ < 0) Echec("fork");
    if (pid_ == 0) {
        const int fd = open(sortie.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fe = erreurs.empty() ? STDERR_FILENO : open(erreurs.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fi = clavier.empty() ? STDIN_FILENO : open(clavier.c_str(), O_RDWR | O_NOCTTY);
        if (fd >= 0 && fe >= 0 && fi >= 0 && dup2(fd, STDOUT_FILENO) >= 0 && dup2(fe, STDERR_FILENO) >= 0 &&
            dup2(fi, STDIN_FILENO) >= 0 && chdir(dossier.c_str()) == 0) {
            std::signal(SIGINT, SIG_DFL);
            execve(argv[0], argv.data(), envp.data());
        }
        _exit(127);
    }
}

Programme::~Programme()
{
    if (Statut() < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &statut_, 0);
    }
}

void Programme::Signal(int numero) const
{
    kill(pid_, numero);
}

int Programme::Statut()
{
    if (statut_ < 0) {
        int s = 0;
        if (waitpid(pid_, &s, WNOHANG) == pid_) statut_ = s;
    }
    return statut_;
}

bool Programme::Attend(const std::function<bool()>& condition, std::chrono::milliseconds delai)
{
    const auto fin = std::chrono::steady_clock::now() + delai;
    while (!condition() && Statut() < 0 && std::chrono::steady_clock::now() < fin)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

bool Programme::Fin(std::chrono::milliseconds delai)
{
    return Attend([this] { return Statut() >= 0; }, delai);
}

fs::path Imprime(const fs::path& brevoltPrint, const fs::path& spool, int port, const fs::path& dessin,
                 const std::vector<std::string>& options, std::string* erreurs)
{
    const fs::path imprimante = spool / "laser";
    fs::create_directories(imprimante);
    const fs::path fichierPort = imprimante / "port";
    if (port != 0) Ecrit(fichierPort, "127.0.0.1:" + std::to_string(port) + "\n");
    else fs::remove(fichierPort);

    std::vector<std::string> arguments = options;
    arguments.push_back(fs::absolute(dessin).string());
    const fs::path sortie = spool / "brevolt-print.out";
    const fs::path messages = spool / "brevolt-print.err";
    fs::path spoule;
    {
        Programme outil(brevoltPrint, arguments, spool, {"BREVOLT_SPOOL_DIR=" + spool.string()}, sortie, messages);
        // Connecting, sending and the controller's close each have a time limit of their own.
        const bool fini = outil.Fin(std::chrono::seconds(60));
        if (fini && WIFEXITED(outil.Statut()) && WEXITSTATUS(outil.Statut()) == 0) {
            std::istringstream texte(Contenu(sortie));
            std::string ligne;
            std::getline(texte, ligne);
            spoule = ligne;
        }
    }
    if (erreurs != nullptr) *erreurs = Contenu(messages);
    return spoule;
}

bool Envoie(int port, std::span<const uint8_t> job)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) Echec("socket");
    sockaddr_in adresse{};
    adresse.sin_family = AF_INET;
    adresse.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    adresse.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse) == 0;
    for (size_t envoye = 0; ok && envoye < job.size();) {
        const ssize_t n = send(s, job.data() + envoye, job.size() - envoye, MSG_NOSIGNAL);
        ok = n > 0;
        if (ok) envoye += static_cast<size_t>(n);
    }
    if (ok) ok = shutdown(s, SHUT_WR) == 0;
    const auto fin = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char poubelle[256];
    for (pollfd p{s, POLLIN, 0}; ok && std::chrono::steady_clock::now() < fin;) {
        if (poll(&p, 1, 100) == 1 && recv(s, poubelle, sizeof poubelle, 0) <= 0) break;
    }
    close(s);
    return ok;
}

std::vector<std::string> Reglages(const fs::path& dessin)
{
    fs::path fichier = dessin;
    fichier.replace_extension(".set");
    std::vector<std::string> options;
    std::istringstream texte(Contenu(fichier));
    for (std::string mot; texte >> mot;) options.push_back(mot);
    return options;
}

std::vector<Marquage> Marquages(const std::vector<std::string>& trace)
{
    std::vector<Marquage> marquages;
    unsigned motX = kCentre, motY = kCentre;
    bool enCours = false;
    size_t blocsDuMarquage = 0;
    // The lamp lit around no block at all is a flash, not a marking.
    auto ferme = [&] {
        if (enCours && blocsDuMarquage == 0) marquages.pop_back();
    };
    for (size_t i = 0; i < trace.size(); ++i) {
        const char* ligne = trace[i].c_str();
        unsigned mot = 0, ctl = 0, bx = 0, by = 0;
        if (std::sscanf(ligne, "OUT word=0x%x", &mot) == 1) {
            const bool allumee = (mot & kLampeMarquage) != 0;
            if (allumee && !enCours) {
                marquages.push_back({0, 0, i});
                blocsDuMarquage = 0;
            }
            if (!allumee) ferme();
            enCours = allumee;
        } else if (std::sscanf(ligne, "BLOCK n=%*u ctl=0x%x x=%u y=%u", &ctl, &bx, &by) == 3) {
            // Targets are words: only the difference from the last one counts.
            const int dx = static_cast<int16_t>(bx - motX), dy = static_cast<int16_t>(by - motY);
            motX = bx;
            motY = by;
            if (enCours) ++blocsDuMarquage;
            if (enCours && (ctl & kFaisceau) != 0) {
                Marquage& m = marquages.back();
                ++m.blocs;
                m.pas += std::hypot(dx, dy);
                for (const unsigned x : {bx, (bx - static_cast<unsigned>(dx)) & 0xFFFF}) {
                    m.xMin = std::min(m.xMin, x);
                    m.xMax = std::max(m.xMax, x);
                }
                for (const unsigned y : {by, (by - static_cast<unsigned>(dy)) & 0xFFFF}) {
                    m.yMin = std::min(m.yMin, y);
                    m.yMax = std::max(m.yMax, y);
                }
            }
        }
    }
    ferme();
    return marquages;
}

std::ostream& operator<<(std::ostream& sortie, const Marquage& m)
{
    return sortie << m.blocs << " blocks, " << m.pas << " steps from trace line " << m.premiereLigne;
}

std::vector<bool> LampePrete(const std::vector<std::string>& trace)
{
    std::vector<bool> etats;
    for (const std::string& ligne : trace) {
        unsigned mot = 0;
        if (std::sscanf(ligne.c_str(), "OUT word=0x%x", &mot) == 1) etats.push_back((mot & kLampePrete) != 0);
    }
    return etats;
}

Dessin DessinDuJob(const jobfile::Job& job)
{
    constexpr int kChampUnite = 44;
    Dessin d;
    d.enregistrements = job.records.size();
    double x = 0, y = 0;
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    bool premier = true;
    for (const jobfile::Move& m : job.moves()) {
        const double x0 = x, y0 = y;
        x += m.element.dx;
        y += m.element.dy;
        if (!m.draw) continue;
        ++d.elements;
        d.longueur += std::hypot(m.element.dx, m.element.dy);
        if (premier) xMin = xMax = x0, yMin = yMax = y0, premier = false;
        xMin = std::min({xMin, x0, x}), xMax = std::max({xMax, x0, x});
        yMin = std::min({yMin, y0, y}), yMax = std::max({yMax, y0, y});
    }
    d.largeur = xMax - xMin;
    d.hauteur = yMax - yMin;
    d.mmParUnite = job.field(kChampUnite) != 0 ? 0.001 : 0.01;
    return d;
}

namespace {

// The number after the last occurrence of the text in the console; 0 when none.
double NombreApres(const std::string& console, std::string_view repere)
{
    const size_t position = console.rfind(repere);
    if (position == std::string::npos) return 0;
    return std::strtod(console.c_str() + position + repere.size(), nullptr);
}

}  // namespace

Image ImageMarquee(const jobfile::Job& job, const std::vector<std::string>& trace, const std::string& console,
                   size_t depuis)
{
    constexpr int kChampDpiX = 6, kChampDpiY = 7, kChampOrientation = 37, kChampUnite = 44;
    Image image;
    for (const jobfile::Record& r : job.records)
        if (r.code.size() == 2 && r.code[0] == 'C' && r.code[1] >= '1' && r.code[1] <= '4') ++image.lignes;
    image.demandes = rasterdots::askedDots(job);

    const size_t pas = console.rfind("Nbre de Pas par mm ->  X : ");
    const size_t courses = console.rfind("Courses MAX -> X= ");
    const size_t origine = console.rfind("Origine dans la Pratique : X=");
    rasterdots::Scanner scanner{job.field(kChampOrientation) + 1, 0, 0, 0, 0};
    long orgX = 0, orgY = 0;
    if (pas == std::string::npos || courses == std::string::npos || origine == std::string::npos ||
        std::sscanf(console.c_str() + pas, "Nbre de Pas par mm ->  X : %lf (mmenpasX)  -  Y : %lf",
                    &scanner.stepsPerMmX, &scanner.stepsPerMmY) != 2 ||
        std::sscanf(console.c_str() + courses, "Courses MAX -> X= %lf mm  -  Y= %lf", &scanner.fieldWidthMm,
                    &scanner.fieldHeightMm) != 2 ||
        std::sscanf(console.c_str() + origine, "Origine dans la Pratique : X=%ld Y=%ld", &orgX, &orgY) != 2) {
        // No lens or origin set up: nothing can be placed, every dot asked is missing.
        image.comparaison = rasterdots::compare(image.demandes, {});
        return image;
    }
    // As the firmware lays its dots: a single-precision pitch rounded to nanometres.
    const auto pitch = [](int32_t dpi) {
        if (dpi <= 0) return 0.0;
        return static_cast<double>(std::lround(static_cast<double>(25400.0f / static_cast<float>(dpi)) * 1000));
    };
    const double nmParUnite = job.field(kChampUnite) != 0 ? 1000 : 10000;
    const rasterdots::Grid grille = rasterdots::plateGrid(scanner, orgX * nmParUnite, orgY * nmParUnite,
                                                          pitch(job.field(kChampDpiX)), pitch(job.field(kChampDpiY)));
    image.marques = rasterdots::markedDots(trace, grille, depuis);
    image.comparaison = rasterdots::compare(image.demandes, image.marques);
    return image;
}

double PasParMm(const std::string& console)
{
    return NombreApres(console, "Nbre de Pas par mm ->  X : ");
}

double ChampMm(const std::string& console)
{
    return NombreApres(console, "Courses MAX -> X= ");
}

}  // namespace route
