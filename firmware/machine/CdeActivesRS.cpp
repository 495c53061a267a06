#include "CdeActivesRS.h"

#include "zkserial.h"

#include <cstdio>
#include <string>

namespace {

constexpr unsigned char kPortSource = 3;

// Sent with its own length, CR included.
unsigned char Envoi(const std::string& commande)
{
    return SendBufferToUART(kPortSource, commande.data(), static_cast<int>(commande.size()));
}

unsigned char EnvoiAffiche(const std::string& commande)
{
    std::printf("Cde =%s\n", commande.c_str());
    return Envoi(commande);
}

template <typename T>
std::string Formate(const char* format, T valeur)
{
    char texte[64];
    const int n = std::snprintf(texte, sizeof texte, format, valeur);
    return n > 0 ? std::string(texte, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace

unsigned char EnvoiCdeSRR(int kHz)
{
    if (kHz <= 19) {
        std::printf("La fréquence doit être supérieure à 20 kHz\n");
        return 0;
    }
    // The value field has three digits.
    if (kHz > 999) {
        std::printf("La fréquence doit être inférieure à 1000 kHz\n");
        return 0;
    }
    std::printf("Config. de la Freq. : %d kHz\n", kHz);
    return EnvoiAffiche("SRR " + Formate("%.3d", kHz) + "\r");
}

unsigned char EnvoiCdeSBC(float amperes)
{
    const std::string valeur = Formate("%.2f", static_cast<double>(amperes));
    if (valeur.size() != 4 || valeur[0] < '0' || valeur[0] > '9') {
        std::printf("Le courant doit être compris entre 0.00 et 9.99 A\n");
        return 0;
    }
    std::printf("Config. de la puissance de la source  : %f (Cde SBC)\n", static_cast<double>(amperes));
    return Envoi("SBC " + valeur + "\r");
}

unsigned char EnvoiCdeEBE()
{
    std::printf("Validation du Booster (cde EBE)\n");
    return Envoi("EBE \r");
}

unsigned char EnvoiCdeDBE()
{
    std::printf("Devalidation du Booster (Cde DBE)\n");
    return Envoi("DBE \r");
}

unsigned char EnvoiCdeEGE()
{
    return EnvoiAffiche("EGE \r");
}

unsigned char EnvoiCdeDGE()
{
    return EnvoiAffiche("DGE \r");
}

unsigned char EnvoiCdeRCD()
{
    return EnvoiAffiche("RCD \r");
}
