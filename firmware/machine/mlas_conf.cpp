#include "mlas_conf.h"

#include "mlas_param.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// Whitespace-separated values read in order. A file that is missing, short or
// holds something that is not a number leaves the values it does not give as
// they were, with one console line.
class FichierIni {
public:
    explicit FichierIni(const char* nom) : nom_(nom), fichier_(std::fopen(nom, "r"))
    {
        if (!fichier_) std::printf("Fichier %s absent -> valeurs par défaut\n", nom_);
    }

    // A value of 0, read or left, takes the default.
    void Reel(float& valeur, float defaut = 0.0f)
    {
        std::string jeton;
        if (Jeton(jeton)) {
            char* fin = nullptr;
            const float lu = std::strtof(jeton.c_str(), &fin);
            if (*fin != '\0' || !std::isfinite(lu)) Illisible();
            else valeur = lu;
        }
        if (valeur == 0.0f) valeur = defaut;
    }

    void Entier(int32_t& valeur, int32_t defaut = 0)
    {
        long long lu = 0;
        if (EntierLu(lu)) {
            if (lu < INT32_MIN || lu > INT32_MAX) Illisible();
            else valeur = static_cast<int32_t>(lu);
        }
        if (valeur == 0) valeur = defaut;
    }

    // A value whose place is kept but which is not used.
    void Saute()
    {
        long long lu = 0;
        EntierLu(lu);
    }

private:
    struct Ferme {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    bool EntierLu(long long& lu)
    {
        std::string jeton;
        if (!Jeton(jeton)) return false;
        char* fin = nullptr;
        errno = 0;
        lu = std::strtoll(jeton.c_str(), &fin, 10);
        if (*fin != '\0' || errno == ERANGE) {
            Illisible();
            return false;
        }
        return true;
    }

    bool Jeton(std::string& jeton)
    {
        constexpr std::size_t kLongueurMax = 64;
        ++rang_;
        if (!fichier_ || fini_) return false;
        int c = std::fgetc(fichier_.get());
        while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') c = std::fgetc(fichier_.get());
        bool tropLong = false;
        while (c != EOF && c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f') {
            if (jeton.size() < kLongueurMax) jeton += static_cast<char>(c);
            else tropLong = true;
            c = std::fgetc(fichier_.get());
        }
        if (jeton.empty() || tropLong) {
            Illisible();
            return false;
        }
        return true;
    }

    void Illisible()
    {
        if (fini_) return;
        fini_ = true;
        std::printf("Fichier %s : valeur %d absente ou illisible -> valeurs par défaut à partir de celle-ci\n", nom_,
                    rang_);
    }

    const char* nom_;
    std::unique_ptr<std::FILE, Ferme> fichier_;
    int rang_ = 0;
    bool fini_ = false;
};

void LitMlaser()
{
    FichierIni ini("MLASER.INI");
    ini.Reel(deplacement.Pas_nom_XLAS, defaut::kPasNominal);
    ini.Reel(deplacement.Pas_nom_YLAS, defaut::kPasNominal);
    ini.Entier(marquage.FreqQSwitch, defaut::kFreqQSwitch);
    ini.Reel(marquage.RapportCyclique, defaut::kRapportCyclique);
    ini.Entier(lasparam.VitesseMarquage, defaut::kVitesseMarquage);
    ini.Saute();
    marquage.Puissance = 0;
    ini.Entier(marquage.Nb_passes_laser, defaut::kNbPasses);
    ini.Entier(marquage.FocaleCourante);
    if constexpr (build::kFibreLine) {
        ini.Entier(marquage.TypeSource);
        std::printf("Type de la source : %d\n", marquage.TypeSource);
    }
}

void LitMlasppl()
{
    FichierIni ini("MLASPPL.INI");
    ini.Entier(marquage.VitesseSaut, defaut::kVitesseSaut);
    if constexpr (build::kFibreLine) {
        std::printf("Vitesse de saut : %ld mm/s    (VitesseSaut)\n", static_cast<long>(marquage.VitesseSaut));
    }
    ini.Entier(marquage.TempoSaut, defaut::kTempoSaut);
    ini.Entier(marquage.TempoTir, defaut::kTempoTir);
    ini.Entier(marquage.VitesseRect, defaut::kVitesseRect);
    ini.Entier(marquage.TempopTir, defaut::kTempopTir);
}

void AfficheValeursLues()
{
    std::printf("Valeurs du fichier d'initialisation : \n");
    std::printf("Pas de déplacement en X : %lf micron  (Pas_nom_XLAS, fonction de la focale)\n",
                static_cast<double>(deplacement.Pas_nom_XLAS));
    std::printf("Pas de déplacement en Y : %lf micron  (Pas_nom_YLAS, fonction de la focale)\n",
                static_cast<double>(deplacement.Pas_nom_YLAS));
    if constexpr (build::kViper) {
        std::printf("FreqQSwitch : %ld - RapportCyclique : %f - Vitesse de marquage : %d mm/s - Puissance de marquage : "
                    "%ld pour 100\n",
                    static_cast<long>(marquage.FreqQSwitch), static_cast<double>(marquage.RapportCyclique), lasparam.VitesseMarquage,
                    static_cast<long>(marquage.Puissance));
    } else {
        std::printf("FreqQSwitch : %ld - RapportCyclique : %f - Vitesse de marquage : %d mm/s - Puissance de marquage : "
                    "%ld en pourcentage\n",
                    static_cast<long>(marquage.FreqQSwitch), static_cast<double>(marquage.RapportCyclique), lasparam.VitesseMarquage,
                    static_cast<long>(marquage.Puissance));
    }
    std::printf("Nombre de Passe du Laser : %d - Focale : %d\n", marquage.Nb_passes_laser, marquage.FocaleCourante);
    std::printf("Vitesse de saut : %ld mm/s - Tempo de saut : %ld µs - Tempo de Tir : %ld µs - Tempo 1er Tir %ld µs\n",
                static_cast<long>(marquage.VitesseSaut), static_cast<long>(marquage.TempoSaut), static_cast<long>(marquage.TempoTir),
                static_cast<long>(marquage.TempopTir));
    std::printf("Vitesse du rectangle de positionnement : %ld mm/s\n", static_cast<long>(marquage.VitesseRect));
}

void AffichePas()
{
    const auto mx = static_cast<double>(deplacement.mmenpasX);
    const auto my = static_cast<double>(deplacement.mmenpasY);
    const auto px = static_cast<double>(deplacement.pasenmmX);
    const auto py = static_cast<double>(deplacement.pasenmmY);
    const auto nx = static_cast<double>(deplacement.Pas_nom_XLAS);
    const auto ny = static_cast<double>(deplacement.Pas_nom_YLAS);
    std::printf("- Calcul des déplacements AVEC LES VALEURS PAR DEFAUT\n");
    if constexpr (build::kFibreLine) {
        std::printf("Sur X, Nbre de Pas par mm : %f        (mmenpasX)\n", mx);
        std::printf("Sur Y, Nbre de Pas par mm : %f        (mmenpasY)\n", my);
        std::printf("Sur X, Longueur entre 2 Pas : %f mm   - %f micron     (pasenmmX, Pas_nom_XLAS)\n", px, nx);
        std::printf("Sur Y, Longueur entre 2 Pas : %f mm   - %f micron     (pasenmmY, Pas_nom_YLAS)\n", py, ny);
    } else {
        std::printf("Sur X, Nbre de Pas par mm : %f  (mmenpasX) - Sur Y, Nbre de Pas par mm : %f  (mmenpasY)\n", mx, my);
        std::printf("Sur X, Longueur entre 2 Pas : %f mm (pasenmmX)  - %f micron (Pas_nom_XLAS)\n", px, nx);
        std::printf("Sur Y, Longueur entre 2 Pas : %f mm (pasenmmY)  - %f micron (Pas_nom_YLAS)\n", py, ny);
    }
}

}  // namespace

int Lire_Config_Laser()
{
    marquage.NbFocales = 0;
    marquage.FocaleCourante = 0;
    LitMlaser();
    LitMlasppl();
    if constexpr (build::kKm250Line) AfficheValeursLues();

    deplacement.mmenpasX = 1000 / deplacement.Pas_nom_XLAS;
    deplacement.mmenpasY = 1000 / deplacement.Pas_nom_YLAS;
    deplacement.pasenmmX = deplacement.Pas_nom_XLAS / 1000;
    deplacement.pasenmmY = deplacement.Pas_nom_YLAS / 1000;
    AffichePas();

    CalculeFrequencesMarquage();
    CalculeFrequencesSaut();

    lasparam.LargeurChamp = defaut::kChamp;
    lasparam.HauteurChamp = defaut::kChamp;
    lasparam.LargeurChampPas = defaut::kChamp * deplacement.mmenpasX;
    lasparam.HauteurChampPas = defaut::kChamp * deplacement.mmenpasY;
    return 1;
}
