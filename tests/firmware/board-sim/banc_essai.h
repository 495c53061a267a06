// Test bench shared by the board and machine tests: a scratch folder, the
// board installed fresh with its trace there, and the trace read back.
#pragma once

#include "boardsim.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace banc {

class DossierTemporaire {
public:
    DossierTemporaire()
    {
        std::string modele = (std::filesystem::temp_directory_path() / "mlas-XXXXXX").string();
        if (mkdtemp(modele.data()) == nullptr) throw std::runtime_error("mkdtemp");
        chemin_ = modele;
    }
    ~DossierTemporaire()
    {
        std::error_code erreur;
        std::filesystem::remove_all(chemin_, erreur);
    }
    DossierTemporaire(const DossierTemporaire&) = delete;
    DossierTemporaire& operator=(const DossierTemporaire&) = delete;

    const std::filesystem::path& Chemin() const { return chemin_; }

private:
    std::filesystem::path chemin_;
};

inline std::string Contenu(const std::filesystem::path& fichier)
{
    std::ifstream entree(fichier, std::ios::binary);
    std::ostringstream texte;
    texte << entree.rdbuf();
    return texte.str();
}

inline void Ecrit(const std::filesystem::path& fichier, const std::string& texte)
{
    std::ofstream(fichier, std::ios::binary) << texte;
}

// Trace lines, those of the named events only when some are given.
inline std::vector<std::string> Lignes(const std::filesystem::path& trace, std::vector<std::string> evenements = {})
{
    std::vector<std::string> lignes;
    std::istringstream texte(Contenu(trace));
    for (std::string ligne; std::getline(texte, ligne);) {
        bool garde = evenements.empty();
        for (const auto& e : evenements) garde = garde || ligne.rfind(e + " ", 0) == 0;
        if (garde) lignes.push_back(ligne);
    }
    return lignes;
}

// A fresh board whose trace goes to a file of the scratch folder.
class Carte {
public:
    explicit Carte(bool startAuto = false)
    {
        boardsim::Reglages r;
        r.trace = (dossier_.Chemin() / "trace.txt").string();
        r.startAuto = startAuto;
        boardsim::Installe(r);
    }
    ~Carte() { libdevmem_unregister_models(); }

    const DossierTemporaire& Dossier() const { return dossier_; }
    std::vector<std::string> Trace(std::vector<std::string> evenements = {}) const
    {
        return Lignes(dossier_.Chemin() / "trace.txt", std::move(evenements));
    }

private:
    DossierTemporaire dossier_;
};

}  // namespace banc
