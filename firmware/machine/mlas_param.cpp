#include "mlas_param.h"

#include "mlas_conf.h"
#include "mlas_correction.h"
#include "mlas_dep.h"
#include "mlas_entiers.h"
#include "mlas_func.h"
#include "etat_marquage.h"
#include "etat_deplacement.h"
#include "etat_rotation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

// One of the two serves each build.
[[maybe_unused]] constexpr void MetReserve(SansChamp&) {}
[[maybe_unused]] constexpr void MetReserve(std::array<int32_t, 3>& reserve)
{
    reserve = {1, 1, 1};
}

constexpr LasParam LasParamInitial()
{
    // The KM250 line's start-up sets its three extra words to 1; the fibre line
    // starts with a 400 mm field until the configuration gives one.
    constexpr float champ = build::kKm250Line ? defaut::kChamp : 400.0f;
    LasParam p{};
    p.VitesseMarquage = defaut::kVitesseMarquage;
    MetReserve(p.Reserve);
    p.LargeurChamp = p.HauteurChamp = champ;
    p.LargeurChampPas = p.HauteurChampPas = champ * defaut::kMmEnPas;
    return p;
}

}  // namespace

// Until the configuration files are read, the values they default to.
LasParam lasparam = LasParamInitial();
ParamCorrection CurrentParamCorrection{};

void CalculeFrequencesMarquage()
{
    deplacement.FMARQX = ArrondiEntier(static_cast<float>(lasparam.VitesseMarquage) * deplacement.mmenpasX);
    deplacement.FMARQY = ArrondiEntier(static_cast<float>(lasparam.VitesseMarquage) * deplacement.mmenpasY);
    Calcul_Div_Pd();
}

void CalculeFrequencesSaut()
{
    deplacement.FDEPLX = ArrondiEntier(1000 / deplacement.Pas_nom_XLAS * static_cast<float>(marquage.VitesseSaut));
    deplacement.FDEPLY = ArrondiEntier(1000 / deplacement.Pas_nom_YLAS * static_cast<float>(marquage.VitesseSaut));
    Calcul_Div_Pu();
}

int IsParamEqual(ParamCorrection a, ParamCorrection b)
{
    return a.Focale == b.Focale && a.CourseX == b.CourseX && a.CourseY == b.CourseY && a.Reserve == b.Reserve &&
                   a.TypeCorrectionX == b.TypeCorrectionX && a.TypeCorrectionY == b.TypeCorrectionY &&
                   a.GainX == b.GainX && a.GainY == b.GainY && a.AngleX == b.AngleX && a.AngleY == b.AngleY
               ? 1
               : 0;
}

namespace {

void AfficheFocale(const ParamCorrection& p)
{
    std::printf("- Nouvelles valeurs utilisées:\n");
    std::printf("Focale : %d \n", p.Focale);
    std::printf("Type correction -> X: %d - Y: %d    Gain -> X : %.3f - Y : %.3f   Angle -> X : %.2f - Y %.2f\n",
                p.TypeCorrectionX, p.TypeCorrectionY, static_cast<double>(p.GainX), static_cast<double>(p.GainY),
                static_cast<double>(p.AngleX), static_cast<double>(p.AngleY));
    std::printf("Calcul des Pas :\n");
    std::printf("Nbre de Pas par mm ->  X : %.3f (mmenpasX)  -  Y : %.3f (mmenpasY)\n", static_cast<double>(deplacement.mmenpasX),
                static_cast<double>(deplacement.mmenpasY));
    std::printf("Longeur d'un Pas en mm -> X= %.6f (pasenmmX)  -  Y= %.6f (pasenmmY)\n", static_cast<double>(deplacement.pasenmmX),
                static_cast<double>(deplacement.pasenmmY));
    const auto ratio = static_cast<double>(marquage.fRatioVitesseXY);
    if constexpr (defaut::kKm250Actuel) {
        std::printf("Vitesse de MARQUAGE -> X= %.2f mm/s (FMARQX)   Y= %.2f mm/s (FMARQY)   Ratio Vitesse X/Y=%f\n",
                    deplacement.FMARQX / 100.0, deplacement.FMARQY / 100.0, ratio);
    } else if constexpr (build::kViper) {
        std::printf("Vitesse de déplacement -> X= %ld (FMARQX)   Y= %ld (FMARQY)   Ratio Vitesse X/Y=%f\n",
                    static_cast<long>(deplacement.FMARQX), static_cast<long>(deplacement.FMARQY), ratio);
    } else {
        std::printf("Vitesse de MARQUAGE en mm/s -> X= %ld (FMARQX)   Y= %ld (FMARQY)   Ratio Vitesse X/Y=%f\n",
                    static_cast<long>(deplacement.FMARQX), static_cast<long>(deplacement.FMARQY), ratio);
    }
    std::printf("Courses MAX -> X= %f mm  -  Y= %f mm\n", static_cast<double>(p.CourseX),
                static_cast<double>(p.CourseY));
}

}  // namespace

void ActiveFocale(ParamCorrection p)
{
    if (IsParamEqual(p, CurrentParamCorrection) && rotation.PerimetreCylindreAMarquer == rotation.SavePerimetreCylindre) return;
    std::fputs(build::kKm250Line ? "- Lecture des nouvelles caratéristiques\n"
                                 : "- Lecture des nouvelles caratéristiques \n",
               stdout);
    // Without the rotation card a cylinder turns under the Y axis, whose table stays flat.
    if (!build::kDmc && rotation.PerimetreCylindreAMarquer != 0) DMCCharge_Table(p);
    else Charge_Table(p);
    CurrentParamCorrection = p;

    deplacement.Pas_nom_XLAS = p.CourseX * 1000 / 65535;
    deplacement.Pas_nom_YLAS = p.CourseY * 1000 / 65535;
    deplacement.mmenpasX = 1000 / deplacement.Pas_nom_XLAS;
    deplacement.mmenpasY = 1000 / deplacement.Pas_nom_YLAS;
    deplacement.pasenmmX = deplacement.Pas_nom_XLAS / 1000;
    deplacement.pasenmmY = deplacement.Pas_nom_YLAS / 1000;
    CalculeFrequencesMarquage();

    lasparam.LargeurChamp = p.CourseX;
    lasparam.HauteurChamp = p.CourseY;
    lasparam.LargeurChampPas = p.CourseX * deplacement.mmenpasX;
    lasparam.HauteurChampPas = p.CourseY * deplacement.mmenpasY;
    marquage.fRatioVitesseXY = p.CourseX / p.CourseY;
    AfficheFocale(p);
}

void Init_QSwitch()
{
    if (Pilot_PWM(marquage.FreqQSwitch, marquage.RapportCyclique) == 0) std::printf("Erreur dans la fonction Pilot_PWM\n ");
}

void Conf_Speed_Freq(int speed, int freq)
{
    lasparam.VitesseMarquage = ArrondiEntier(speed / 10.0);
    constexpr int32_t kPlancher = build::kTraits.freqQSwitchMin;
    marquage.FreqQSwitch = freq < kPlancher ? kPlancher : freq;
    marquage.RapportCyclique = static_cast<float>(marquage.FreqQSwitch) * marquage.DureeImpulsion / 10000.0f;
    marquage.Nb_passes_laser = 1;
    Init_QSwitch();
    CalculeFrequencesMarquage();
}

int32_t LFLimitesFrequence()
{
    marquage.FreqMaxDuLaser = 100000;
    if (marquage.ModelDuLaser == 772) return 30000;
    if (marquage.ModelDuLaser == 774 && build::kFibre500) {
        marquage.FreqMaxDuLaser = 200000;
        return 50000;
    }
    if (marquage.TypeSource == 0) return 20000;
    if (marquage.TypeSource == 1) return 25000;
    return 0;
}

void LFConf_Speed_Freq(int speed, int freq)
{
    lasparam.VitesseMarquage = ArrondiEntier(speed / 10.0);
    marquage.FreqQSwitch = freq;
    const int32_t plancher = LFLimitesFrequence();
    if (plancher != 0 && marquage.FreqQSwitch < plancher) marquage.FreqQSwitch = plancher;
    marquage.RapportCyclique = 50.0f;
    // Whole kilohertz, halves away from zero.
    const int64_t kilohertz = ArrondiLoinDeZero(marquage.FreqQSwitch / 1000.0);
    marquage.FreqQSwitch = static_cast<int32_t>(std::clamp<int64_t>(kilohertz * 1000, INT32_MIN, INT32_MAX));
    marquage.Nb_passes_laser = 1;
    Init_QSwitch();
    CalculeFrequencesMarquage();
}

int Decode_Parametres(const char* cmd)
{
    constexpr std::size_t kChiffresMax = 19;
    std::fill(std::begin(marquage.lesparam), std::end(marquage.lesparam), 0);
    marquage.nb_param = 0;
    const std::string_view texte = cmd != nullptr ? cmd : "";

    marquage.chainecommande.clear();
    if (!texte.empty()) marquage.chainecommande += texte[0];
    for (std::size_t i = 1; i < 3 && i < texte.size(); ++i) {
        const auto c = static_cast<unsigned char>(texte[i]);
        if (!std::isupper(c) && c != '?') break;
        marquage.chainecommande += texte[i];
    }

    auto dansNombre = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '+' || c == '-'; };
    std::size_t pos = 0;
    while (pos < texte.size() && marquage.nb_param < 13) {
        while (pos < texte.size() && !dansNombre(texte[pos])) ++pos;
        const std::size_t debut = pos;
        while (pos < texte.size() && dansNombre(texte[pos])) ++pos;
        // A number longer than the format allows keeps its first digits.
        const std::string nombre(texte.substr(debut, std::min(pos - debut, kChiffresMax)));
        marquage.lesparam[marquage.nb_param++] = static_cast<int32_t>(std::strtoul(nombre.c_str(), nullptr, 0));
    }
    return 1;
}

int FK_PP(const char* cmd)
{
    Decode_Parametres(cmd);
    marquage.chainecommande = "PP";
    marquage.VitesseSaut = ArrondiEntier(marquage.lesparam[0] / 10.0);
    marquage.TempoSaut = marquage.lesparam[1];
    marquage.TempoTir = marquage.lesparam[2];
    marquage.TempopTir = marquage.lesparam[3];
    marquage.VitesseRect = ArrondiEntier(marquage.lesparam[4] / 10.0);
    if (marquage.VitesseRect <= 0) marquage.VitesseRect = marquage.VitesseSaut;
    marquage.LIMITE_PU = std::max(marquage.VitesseRect, marquage.VitesseSaut);
    CalculeFrequencesSaut();
    return 1;
}

float Calculmm(unsigned long v)
{
    return static_cast<float>(v / 10.0);
}
