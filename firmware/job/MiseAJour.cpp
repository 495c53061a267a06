#include "MiseAJour.h"

#include "AnalyseEnteteFichier.h"
#include "VueJob.h"
#include "mlas_func.h"
#include "tools.h"
#include "etat_marquage.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kFichierJob = "tmpprn.prn";
constexpr const char* kPrefixe = "update.";
constexpr size_t kTailleNom = 128;
constexpr unsigned char kLampePrete = 1;
constexpr unsigned char kLampeMarquage = 2;

void Clignote(unsigned char sortie)
{
    for (int fois = 0; fois < 3; ++fois) {
        if (fois > 0) Pause_Las(200);
        Ecrire_Tor_Dsp(sortie, 1);
        Pause_Las(200);
        Ecrire_Tor_Dsp(sortie, 0);
    }
}

// The name ends up in a path of the working folder: no separators, no
// characters a shell or a console would read as anything but a name.
bool NomAccepte(const char* nom)
{
    if (nom == nullptr) return false;
    const size_t longueur = strnlen(nom, kTailleNom);
    if (longueur == 0 || longueur + std::strlen(kPrefixe) >= kTailleNom) return false;
    for (size_t i = 0; i < longueur; ++i) {
        const char c = nom[i];
        const bool accepte = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '.' || c == '_' || c == '-';
        if (!accepte) return false;
    }
    return true;
}

enum class Ecriture { PasOuvert, Echec, Faite };

// Written under a temporary name and renamed once whole and executable, so
// that no partial program is ever left under the update name.
Ecriture EcritProgramme(const char* nom, const unsigned char* data, uint32_t taille)
{
    char temporaire[] = ".update.XXXXXX";
    const int fd = mkstemp(temporaire);
    if (fd == -1) {
        std::printf("Error to open file %s !\n", nom);
        return Ecriture::PasOuvert;
    }
    bool ok = WriteAFile(temporaire, data, taille) == 1;
    if (ok && (fsync(fd) != 0 || fchmod(fd, 0755) != 0)) {
        std::perror(nom);
        ok = false;
    }
    close(fd);
    if (ok && std::rename(temporaire, nom) != 0) {
        std::perror(nom);
        ok = false;
    }
    if (!ok) unlink(temporaire);
    return ok ? Ecriture::Faite : Ecriture::Echec;
}

}  // namespace

void ClignoteLedsUpdateOK()
{
    Clignote(kLampePrete);
}

void ClignoteLedsUpdateNOK()
{
    Clignote(kLampeMarquage);
}

void WriteFile2Disk(const unsigned char* data)
{
    const long taille = marquage.FirmwareFilesize;
    const uint32_t recus = VueRecue(data).taille;
    if (taille < 0 || static_cast<unsigned long>(taille) > recus) {
        std::printf("Invalid file size (%ld, %lu received). Update canceled\n", taille,
                    static_cast<unsigned long>(recus));
        ClignoteLedsUpdateNOK();
        return;
    }

    unsigned char somme = 0;
    for (long i = 0; i < taille; ++i) somme ^= data[i];
    std::printf("Calculated checksum : %d\n", somme);
    if (somme != marquage.FirmwareChecksum) {
        std::printf("Invalid checksum (calculated %d, sended %ld). Update canceled\n", somme,
                    static_cast<long>(marquage.FirmwareChecksum));
        ClignoteLedsUpdateNOK();
        return;
    }

    if (!NomAccepte(marquage.FirmwareFilename)) {
        std::printf("Invalid file name. Update canceled\n");
        ClignoteLedsUpdateNOK();
        return;
    }
    char nom[kTailleNom] = {};
    std::snprintf(nom, sizeof nom, "%s%s", kPrefixe, marquage.FirmwareFilename);

    const Ecriture resultat = EcritProgramme(nom, data, static_cast<uint32_t>(taille));
    if (resultat == Ecriture::Faite) {
        std::printf("Update ok. please reboot the CCU\n");
        ClignoteLedsUpdateOK();
    } else {
        ClignoteLedsUpdateNOK();
    }
    // When the program file cannot even be created the job stays for another try.
    if (resultat != Ecriture::PasOuvert) unlink(kFichierJob);
}

void ChangementAdrIP(const unsigned char* buffer)
{
    // Nothing is changed here: the report gives what was received from buffer on.
    std::printf(" Changement d'adresse IP, Taille du buffer : %i\n", static_cast<int>(VueRecue(buffer).taille));
}
