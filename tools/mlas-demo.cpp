// A job's whole road: mlas-fibre starts on the simulated board in a scratch
// working folder, brevolt-print converts a drawing and its printer's port sends
// the job to the firmware, the start button is pressed as the ready lamp
// lights, and once the job is marked the firmware is stopped with Ctrl-C.
// Then what was marked is shown beside what the drawing asked for.
#include "route.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kFirmware = MLAS_DEMO_FIRMWARE;
const fs::path kBrevoltPrint = MLAS_DEMO_BREVOLT_PRINT;
const fs::path kExemples = MLAS_DEMO_EXEMPLES;

constexpr int kPortPupitre = 2;  // the operator board's serial line
// The job is deleted once marked, so the firmware marks it once and waits for the next.
const std::vector<std::string> kMarquageUnique = {"--set", "+824:u32=8"};

void Usage()
{
    std::cerr << "usage: mlas-demo [DRAWING]\n"
                 "  Runs mlas-fibre on the simulated board, converts the HP-GL/2 drawing or PCL/RTL image\n"
                 "  (default examples/square.hpgl; the --set options of DRAWING.set when that file exists)\n"
                 "  with brevolt-print to a printer whose port is the firmware's, presses start, stops the\n"
                 "  firmware with Ctrl-C once the job is marked, and shows what was marked beside what\n"
                 "  the drawing asked for: vectors, and the raster dots of an image.\n";
}

int Echec(const std::string& texte, const fs::path& console = {})
{
    std::cerr << "mlas-demo: " << texte << "\n";
    if (!console.empty()) {
        const std::vector<std::string> lignes = route::Lignes(console);
        std::cerr << "--- firmware console, last lines ---\n";
        for (size_t i = lignes.size() > 20 ? lignes.size() - 20 : 0; i < lignes.size(); ++i)
            std::cerr << lignes[i] << "\n";
    }
    return 1;
}

bool Contient(const fs::path& console, const std::string& texte)
{
    return route::Contenu(console).find(texte) != std::string::npos;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        Usage();
        return 2;
    }
    const fs::path dessin = argc == 2 ? fs::path(argv[1]) : kExemples / "square.hpgl";
    if (!fs::is_regular_file(dessin)) return Echec("no drawing " + dessin.string());
    std::vector<std::string> options = route::Reglages(dessin);
    options.insert(options.end(), kMarquageUnique.begin(), kMarquageUnique.end());

    try {
        route::Dossier scratch;
        const fs::path travail = scratch.Chemin() / "travail";
        fs::create_directories(travail);
        fs::copy_file(kFirmware.parent_path() / "dspLFV3.exe", travail / "dspLFV3.exe");
        route::Ecrit(travail / "MLASER.INI", "1.9836729764938354 1.9836729764938354 50000 4.0 500 0 1 0 0\n");
        route::Ecrit(travail / "MLASPPL.INI", "2500 150000 400 2500 400\n");
        route::Ecrit(scratch.Chemin() / "cpuinfo", "Hardware\t: Arcom VIPER\n");
        const route::LignesSerie lignes(scratch.Chemin() / "tty", {kPortPupitre});
        const int port = route::PortLibre();
        const fs::path trace = scratch.Chemin() / "trace.txt";
        const fs::path console = scratch.Chemin() / "console.txt";

        std::cout << "mlas-fibre starts on the simulated board (job port " << port << ")" << std::endl;
        route::Programme firmware(kFirmware, {}, travail,
                                  {"MLAS_SIM_START=auto", "MLAS_SIM_TRACE=" + trace.string(),
                                   "MLAS_TCP_PORT=" + std::to_string(port),
                                   "MLAS_TTY_DIR=" + (scratch.Chemin() / "tty").string(),
                                   "MLAS_CPUINFO=" + (scratch.Chemin() / "cpuinfo").string()},
                                  console);
        if (!firmware.Attend([&] { return Contient(console, "Attente d'une fiche à marquer"); }, 60s))
            return Echec("the firmware did not come to wait for a job", console);
        // The operator board leaves eco mode: the beam may be lit.
        lignes.Envoie(kPortPupitre, route::TrameModeNormal());

        std::cout << "brevolt-print converts " << dessin.string() << std::endl;
        std::string erreurs;
        const fs::path job = route::Imprime(kBrevoltPrint, scratch.Chemin() / "spool", port, dessin, options, &erreurs);
        if (job.empty()) return Echec("brevolt-print failed:\n" + erreurs, console);
        // Marked and deleted, or stopped by a fault and kept.
        const auto fini = [&] {
            return Contient(console, "Plus de fichier de marquage") ||
                   (Contient(console, "-> Arrêt du marquage") && Contient(console, "FIN DU MARQUAGE"));
        };
        if (!firmware.Attend(fini, 60s)) return Echec("the job was not marked", console);
        lignes.Vide(kPortPupitre);
        firmware.Signal(SIGINT);
        if (!firmware.Fin(30s)) return Echec("the firmware did not stop on Ctrl-C", console);
        const bool arrete = WIFSIGNALED(firmware.Statut()) && WTERMSIG(firmware.Statut()) == SIGINT &&
                            Contient(console, "Programme arrêté\n");

        const jobfile::Job decode = jobfile::decodeFile(job.string());
        const route::Dessin demande = route::DessinDuJob(decode);
        const std::vector<route::Marquage> marquages = route::Marquages(route::Lignes(trace));
        const double pasParMm = route::PasParMm(route::Contenu(console));
        if (marquages.empty()) return Echec("the trace shows no marking", console);
        const route::Marquage& marque = marquages.front();
        const std::string texte = route::Contenu(console);
        const bool walkEntier = texte.find("COMMANDE INCONNUE") == std::string::npos &&
                                texte.find("sans fin de fichier (JF)") == std::string::npos &&
                                texte.find("-> Arrêt du marquage") == std::string::npos;

        const route::Image image = route::ImageMarquee(decode, route::Lignes(trace), texte, marque.premiereLigne);

        std::printf("\n%-28s %16s %16s\n", "", "drawing asked", "firmware marked");
        std::printf("%-28s %16zu %16s\n", "records", demande.enregistrements,
                    walkEntier ? (std::to_string(demande.enregistrements) + " walked").c_str() : "walk cut short");
        const bool vecteurs = demande.elements > 0 || image.lignes == 0;
        // Where the beam went, in mm from the corner of the lens field.
        const auto mm = [&](unsigned pas) { return pasParMm > 0 ? pas / pasParMm : 0.0; };
        if (vecteurs) {
            std::printf("%-28s %16zu %16zu\n", "pen-down elements / blocks", demande.elements, marque.blocs);
            std::printf("%-28s %16.3f %16.3f\n", "marked length (mm)", demande.longueur * demande.mmParUnite,
                        pasParMm > 0 ? marque.pas / pasParMm : 0.0);
            std::printf("%-28s %16.0f %16.0f\n", "marked length (steps)",
                        demande.longueur * demande.mmParUnite * pasParMm, marque.pas);
            char boite[32] = "-";
            if (marque.blocs > 0)
                std::snprintf(boite, sizeof boite, "%.3f x %.3f", mm(marque.xMax - marque.xMin),
                              mm(marque.yMax - marque.yMin));
            char dessine[32];
            std::snprintf(dessine, sizeof dessine, "%.3f x %.3f", demande.largeur * demande.mmParUnite,
                          demande.hauteur * demande.mmParUnite);
            std::printf("%-28s %16s %16s\n", "marked box (mm)", dessine, boite);
        }
        if (image.lignes > 0) {
            const rasterdots::Comparison& c = image.comparaison;
            std::printf("%-28s %16zu %16zu\n", "raster dots", image.demandes.size(), image.marques.size());
            std::printf("%-28s %16s %16zu\n", "dots in their place", "", c.both.size());
            std::printf("%-28s %16zu %16zu\n", "dots missing / not asked", c.onlyAsked.size(), c.onlyMarked.size());
            std::printf("%-28s %16s %15.3f%%\n", "image identical", "", 100 * c.identical());
        }
        if (marque.blocs > 0) {
            std::printf("\nmarked box in the %.0f mm lens field: X %.3f to %.3f mm, Y %.3f to %.3f mm\n",
                        route::ChampMm(texte), mm(marque.xMin), mm(marque.xMax), mm(marque.yMin), mm(marque.yMax));
        }
        std::printf("\njob file %s (%ju bytes); single marking: tmpprn.prn %s\n", job.filename().c_str(),
                    static_cast<uintmax_t>(fs::file_size(job)),
                    fs::exists(travail / "tmpprn.prn") ? "still there" : "deleted after marking");
        if (const size_t arret = texte.find("-> Arrêt du marquage"); arret != std::string::npos) {
            const size_t debut = texte.rfind('\n', arret) + 1;
            std::printf("marking stopped: %s\n", texte.substr(debut, texte.find('\n', arret) - debut).c_str());
        }
        std::printf("firmware %s\n", arrete ? "stopped by Ctrl-C: \"Programme arrêté\"" : "did not end by Ctrl-C");
        return arrete && walkEntier ? 0 : 1;
    } catch (const std::exception& e) {
        return Echec(e.what());
    }
}
