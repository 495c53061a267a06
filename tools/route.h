// The road of a job from a drawing to the marks: the firmware program run on
// the simulated board in a scratch working folder, a drawing converted and
// spooled to a printer whose port is the firmware's, and what the board's
// trace and the job file say was marked and asked for.
#pragma once

#include "job_file.h"
#include "raster_dots.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include <sys/types.h>

namespace route {

namespace fs = std::filesystem;

// A scratch folder, removed with what it holds.
class Dossier {
public:
    Dossier();
    ~Dossier();
    Dossier(const Dossier&) = delete;
    Dossier& operator=(const Dossier&) = delete;

    const fs::path& Chemin() const { return chemin_; }

private:
    fs::path chemin_;
};

std::string Contenu(const fs::path& fichier);
std::vector<std::string> Lignes(const fs::path& fichier);
void Ecrit(const fs::path& fichier, std::span<const uint8_t> octets);
void Ecrit(const fs::path& fichier, const std::string& texte);

// A TCP port of the loopback interface that nothing listens on now.
int PortLibre();

// Pseudo-terminals standing for some of the serial ports ttyS0..ttyS4: the
// links to their slave ends lie in a folder (MLAS_TTY_DIR); the master ends
// play the far devices.
class LignesSerie {
public:
    LignesSerie(const fs::path& dossier, std::initializer_list<int> ports);
    ~LignesSerie();
    LignesSerie(const LignesSerie&) = delete;
    LignesSerie& operator=(const LignesSerie&) = delete;

    // Sends every byte; false when the line did not take them.
    bool Envoie(int port, std::span<const uint8_t> octets) const;
    // Drops what the firmware wrote on the port.
    void Vide(int port) const;
    // What the firmware wrote on the port, once `octets` bytes came or the time is up.
    std::string Recoit(int port, size_t octets, std::chrono::milliseconds delai) const;

private:
    int maitres_[5] = {-1, -1, -1, -1, -1};
};

// The operator board's frame that turns eco mode off: without it the beam stays off.
std::vector<uint8_t> TrameModeNormal();

// A program run as a child process from a working folder, with the caller's
// environment plus the given variables, its standard output in a file (and its
// error output in another when named, its standard input from a third).
// Killed when it is still running at destruction.
class Programme {
public:
    Programme(const fs::path& chemin, const std::vector<std::string>& arguments, const fs::path& dossier,
              const std::vector<std::string>& variables, const fs::path& console, const fs::path& messages = {},
              const fs::path& entree = {});
    ~Programme();
    Programme(const Programme&) = delete;
    Programme& operator=(const Programme&) = delete;

    void Signal(int numero) const;
    // The wait status, -1 while the program runs.
    int Statut();
    // Polls until the condition holds, the program ends or the time is up;
    // the condition's last value.
    bool Attend(const std::function<bool()>& condition, std::chrono::milliseconds delai);
    // Waits for the end of the program; false when the time is up.
    bool Fin(std::chrono::milliseconds delai);

private:
    pid_t pid_ = -1;
    int statut_ = -1;
};

// Converts a drawing with brevolt-print to the printer "laser" of the spool
// folder, whose port is 127.0.0.1:port (none when port is 0). The spooled job
// file; empty when the tool failed (its messages in *erreurs).
fs::path Imprime(const fs::path& brevoltPrint, const fs::path& spool, int port, const fs::path& dessin,
                 const std::vector<std::string>& options, std::string* erreurs = nullptr);

// Sends a job file to a controller's port on the loopback interface as a
// printer's port does: connect, every byte, the end of the write side, then
// until the controller closes (at most 10 s). False when it did not all go.
bool Envoie(int port, std::span<const uint8_t> job);

// The --set options of a drawing's settings file (the drawing's name with
// ".set", one option or value a word); none when there is no such file.
std::vector<std::string> Reglages(const fs::path& dessin);

// One marking in the board's trace: the blocks run while the marking lamp was lit.
struct Marquage {
    size_t blocs = 0;         // with the beam on
    double pas = 0;           // their length in scanner steps
    size_t premiereLigne = 0; // trace line that lit the lamp
    // Where the beam marked: the scanner positions (0 to 65535) the beam-on
    // blocks went from and to.
    unsigned xMin = 65535, xMax = 0, yMin = 65535, yMax = 0;
};
std::vector<Marquage> Marquages(const std::vector<std::string>& trace);
std::ostream& operator<<(std::ostream& sortie, const Marquage& m);

// Whether the ready lamp (output 1) was lit at each outputs line of the trace, in order.
std::vector<bool> LampePrete(const std::vector<std::string>& trace);

// What a job file asks to mark.
struct Dessin {
    size_t enregistrements = 0;
    size_t elements = 0;   // vector elements drawn with the pen down
    double longueur = 0;   // their length in the job's units
    double largeur = 0;    // the box around them, in the job's units
    double hauteur = 0;
    double mmParUnite = 0; // 0.001 or 0.01
};
Dessin DessinDuJob(const jobfile::Job& job);

// The raster image of a job and the dots the trace shows marked from line
// `depuis` on, on the dot grid of the lens and plate origin that the
// firmware's console reports last and of the job's resolution and orientation.
struct Image {
    size_t lignes = 0;  // raster line records of the job
    std::vector<rasterdots::Dot> demandes;
    std::vector<rasterdots::Dot> marques;
    rasterdots::Comparison comparaison;
};
Image ImageMarquee(const jobfile::Job& job, const std::vector<std::string>& trace, const std::string& console,
                   size_t depuis = 0);

// Steps per millimetre of the lens the firmware set up last (its console); 0 when none.
double PasParMm(const std::string& console);
// Width of the lens field the firmware set up last, in mm (its console); 0 when none.
double ChampMm(const std::string& console);

}  // namespace route
