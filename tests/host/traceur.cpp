#include "traceur.h"

#include "debut.h"
#include "hpgl_commandes.h"
#include "hpgl_flux.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void Traceur::SetUp() {
  Convertisseur::SetUp();
  InitContexteConversion(Contexte, Analyse, Sortie);
  Contexte.TableMessages = TableMessagesLangue(1);
  DrapeauNouvellePage = 0;
  DrapeauNouveauJob = 1;
  Contexte.FichierVecteurs = std::tmpfile();
  ASSERT_NE(Contexte.FichierVecteurs, nullptr);
  InitPageHPGL();
}

void Traceur::TearDown() {
  std::fclose(Contexte.FichierVecteurs);
  Contexte.FichierVecteurs = nullptr;
  DrapeauNouvellePage = DrapeauNouveauJob = 1;
  Convertisseur::TearDown();
}

void Traceur::execute(const std::string& texte, bool finDePage) {
  tampon_ = texte;
  auto* debut = reinterpret_cast<std::uint8_t*>(tampon_.data());
  Analyse.Tampon = Analyse.Curseur = debut;
  Analyse.Fin = debut + tampon_.size();
  Analyse.FinDePage = finDePage ? 1 : 0;
  Analyse.Arret = 0;
  AnalyseFluxHPGL();
}

int Traceur::abandonne(const std::string& texte) {
  return abandon([&] { execute(texte); });
}

std::vector<std::uint8_t> Traceur::octetsVecteurs() const {
  return contenuFlux(Contexte.FichierVecteurs);
}

std::vector<Enregistrement> Traceur::enregistrements() const {
  const std::vector<std::uint8_t> b = octetsVecteurs();
  std::vector<Enregistrement> e;
  for (std::size_t i = 0; i < b.size();) {
    Enregistrement r{b[i++]};
    const std::size_t donnees = r.code <= 3 ? 8 : r.code <= 5 ? 1 : 0;
    EXPECT_TRUE(r.code >= 1 && r.code <= 6 && i + donnees <= b.size()) << "record at " << i - 1;
    if (i + donnees > b.size()) break;
    if (donnees == 8) {
      std::memcpy(&r.x, &b[i], 4);
      std::memcpy(&r.y, &b[i + 4], 4);
    } else if (donnees == 1) {
      r.octet = b[i];
    }
    i += donnees;
    e.push_back(r);
  }
  return e;
}

std::vector<std::string> lisible(const std::vector<Enregistrement>& e) {
  std::vector<std::string> s;
  auto nombre = [](float v) {
    char t[32];
    double r = std::round(static_cast<double>(v) * 100) / 100;
    if (r == 0) r = 0;  // no "-0"
    std::snprintf(t, sizeof t, "%g", r);
    return std::string(t);
  };
  for (const Enregistrement& r : e) {
    switch (r.code) {
      case 1:
      case 2:
      case 3:
        s.push_back(std::string(1, "MDP"[r.code - 1]) + " " + nombre(r.x) + "," + nombre(r.y));
        break;
      case 4:
        s.push_back("C " + std::to_string(r.octet));
        break;
      case 5:
        s.push_back("MO " + std::to_string(r.octet));
        break;
      default:
        s.push_back("VT");
    }
  }
  return s;
}
