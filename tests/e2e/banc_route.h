// Bench of the end-to-end tests: a firmware program as built, run on the
// simulated board from a scratch working folder (its DSP program files,
// configuration files, board type file, pseudo-terminals for the serial lines
// it needs and, with "-menu", for the console, a free job port), and jobs
// converted from drawings by brevolt-print.
#pragma once

#include "route.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace banc {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kProgrammes = MLAS_PROGRAMMES;
const fs::path kBrevoltPrint = MLAS_BREVOLT_PRINT;
const fs::path kExemples = MLAS_EXEMPLES;

// Generous: the start-up alone takes five seconds, and the sanitizers slow the rest.
constexpr auto kDelai = 60s;
constexpr int kPortPC = 1;
constexpr int kPortPupitre = 2;
const std::vector<std::string> kMarquageUnique = {"--set", "+824:u32=8"};

inline size_t Occurrences(const std::string& texte, const std::string& motif)
{
    size_t n = 0;
    for (size_t p = texte.find(motif); p != std::string::npos; p = texte.find(motif, p + motif.size())) ++n;
    return n;
}

// The operator's console: a pseudo-terminal whose slave end is the program's
// standard input; what is typed on it is echoed back and dropped.
class Clavier {
public:
    Clavier()
    {
        maitre_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (maitre_ < 0 || grantpt(maitre_) != 0 || unlockpt(maitre_) != 0) throw std::runtime_error("posix_openpt");
        esclave_ = ptsname(maitre_);
    }
    ~Clavier() { close(maitre_); }
    Clavier(const Clavier&) = delete;
    Clavier& operator=(const Clavier&) = delete;

    const std::string& Esclave() const { return esclave_; }
    bool Tape(const std::string& texte) const
    {
        const bool ecrit = write(maitre_, texte.data(), texte.size()) == static_cast<ssize_t>(texte.size());
        char echo[256];
        for (pollfd p{maitre_, POLLIN, 0}; poll(&p, 1, 0) == 1 && read(maitre_, echo, sizeof echo) > 0;) {
        }
        return ecrit;
    }

private:
    int maitre_ = -1;
    std::string esclave_;
};

struct Lancement {
    bool menu = false;      // "-menu", with the console on a pseudo-terminal
    bool carteDmc = false;  // the rotation card fitted (homing it at start-up takes about 9 s)
};

class Firmware {
public:
    Firmware(const std::string& programme, bool startAuto, std::initializer_list<int> ports, Lancement lancement = {})
        : travail_(scratch_.Chemin() / "travail"),
          lignes_(scratch_.Chemin() / "tty", ports),
          port_(route::PortLibre()),
          clavier_(lancement.menu ? std::make_unique<Clavier>() : nullptr)
    {
        fs::create_directories(travail_);
        for (const char* dsp : {"dspLFV3.exe", "dsplaser.exe"}) fs::copy_file(kProgrammes / dsp, travail_ / dsp);
        route::Ecrit(travail_ / "MLASER.INI", "1.9836729764938354 1.9836729764938354 50000 4.0 500 0 1 0 0\n");
        route::Ecrit(travail_ / "MLASPPL.INI", "2500 150000 400 2500 400\n");
        route::Ecrit(scratch_.Chemin() / "cpuinfo", "Hardware\t: Arcom VIPER\n");
        processus_ = std::make_unique<route::Programme>(
            kProgrammes / programme,
            lancement.menu ? std::vector<std::string>{"-menu"} : std::vector<std::string>{}, travail_,
            std::vector<std::string>{std::string("MLAS_SIM_START=") + (startAuto ? "auto" : "none"),
                                     "MLAS_SIM_TRACE=" + TraceFichier().string(),
                                     "MLAS_TCP_PORT=" + std::to_string(port_),
                                     "MLAS_TTY_DIR=" + (scratch_.Chemin() / "tty").string(),
                                     "MLAS_CPUINFO=" + (scratch_.Chemin() / "cpuinfo").string(),
                                     std::string("MLAS_SIM_DMC=") + (lancement.carteDmc ? "1" : "0"),
                                     "TERM=dumb"},  // "clear" writes nothing into the console file
            ConsoleFichier(), fs::path{}, clavier_ ? fs::path(clavier_->Esclave()) : fs::path{});
    }

    fs::path Travail() const { return travail_; }
    fs::path TraceFichier() const { return scratch_.Chemin() / "trace.txt"; }
    fs::path ConsoleFichier() const { return scratch_.Chemin() / "console.txt"; }
    std::string Console() const { return route::Contenu(ConsoleFichier()); }
    std::vector<std::string> Trace() const { return route::Lignes(TraceFichier()); }
    const route::LignesSerie& Lignes() const { return lignes_; }
    int Port() const { return port_; }

    // Until the console shows the text `fois` times.
    bool AttendConsole(const std::string& texte, size_t fois = 1)
    {
        return processus_->Attend([&] { return Occurrences(Console(), texte) >= fois; }, kDelai);
    }
    bool AttendConsole(const std::function<bool(const std::string&)>& condition)
    {
        return processus_->Attend([&] { return condition(Console()); }, kDelai);
    }
    bool AttendTrace(const std::function<bool(const std::vector<std::string>&)>& condition)
    {
        return processus_->Attend([&] { return condition(Trace()); }, kDelai);
    }

    // Typed on the console (menu only), once the program shows `invite` for the n-th time.
    testing::AssertionResult Repond(const std::string& invite, size_t fois, const std::string& texte)
    {
        if (!AttendConsole(invite, fois)) return testing::AssertionFailure() << "no \"" << invite << "\":\n" << Console();
        if (!clavier_ || !clavier_->Tape(texte)) return testing::AssertionFailure() << "nothing typed";
        return testing::AssertionSuccess();
    }
    // Waits for the program to end by itself: its wait status, -1 when it still runs.
    int Fin() { return processus_->Fin(kDelai) ? processus_->Statut() : -1; }

    // The drawing converted and spooled; sent to the firmware's port unless enTCP is false.
    fs::path Imprime(const std::string& dessin, const std::vector<std::string>& options, bool enTCP = true)
    {
        std::string erreurs;
        const fs::path job = route::Imprime(kBrevoltPrint, scratch_.Chemin() / "spool", enTCP ? port_ : 0,
                                            kExemples / dessin, options, &erreurs);
        if (job.empty()) ADD_FAILURE() << "brevolt-print: " << erreurs << "\n" << Console();
        return job;
    }

    // Ctrl-C: the program prints its stop lines and ends by the signal.
    testing::AssertionResult ArreteParCtrlC(const std::string& finConsole)
    {
        processus_->Signal(SIGINT);
        if (!processus_->Fin(kDelai)) return testing::AssertionFailure() << "still running";
        const int statut = processus_->Statut();
        if (!WIFSIGNALED(statut) || WTERMSIG(statut) != SIGINT)
            return testing::AssertionFailure() << "wait status " << statut;
        const std::string console = Console();
        if (!console.ends_with(finConsole)) return testing::AssertionFailure() << "console ends:\n" << console.substr(console.size() > 400 ? console.size() - 400 : 0);
        return testing::AssertionSuccess();
    }

private:
    route::Dossier scratch_;
    fs::path travail_;
    route::LignesSerie lignes_;
    int port_;
    std::unique_ptr<Clavier> clavier_;
    std::unique_ptr<route::Programme> processus_;
};

// The marking's beam-on moves add up to the length of the job's pen-down
// elements in steps, within one step of rounding at each end of each block.
inline testing::AssertionResult SuitLeDessin(const route::Marquage& marque, const fs::path& job, double pasParMm)
{
    const route::Dessin dessin = route::DessinDuJob(jobfile::decodeFile(job.string()));
    if (dessin.elements == 0 || marque.blocs == 0 || pasParMm <= 0)
        return testing::AssertionFailure() << dessin.elements << " elements, " << marque.blocs << " blocks, "
                                           << pasParMm << " steps/mm";
    const double attendu = dessin.longueur * dessin.mmParUnite * pasParMm;
    const double tolerance = 1.5 * static_cast<double>(marque.blocs) + 1;
    if (std::abs(marque.pas - attendu) > tolerance)
        return testing::AssertionFailure() << marque.pas << " steps marked in " << marque.blocs << " blocks, "
                                           << attendu << " drawn";
    return testing::AssertionSuccess() << marque.pas << " steps for " << attendu;
}

}  // namespace banc
