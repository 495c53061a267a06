#include "utilDMC.h"

#include "CommunicationViperGL.h"

#include <cstdio>

unsigned long Lire_Timer(char us)
{
    const double compte = static_cast<double>(LireTimer());
    return static_cast<unsigned long>(us != 0 ? compte / 3.6864 : compte / 3686.4);
}

void Afficher(const char* texte)
{
    std::printf("%s\n", texte);
}
