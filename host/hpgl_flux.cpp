#include "hpgl_flux.h"

#include "debut.h"
#include "hpgl_commandes.h"
#include "rtl.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr std::size_t kTailleTexteNombre = 80;

// The data ends inside a command and more may come: the command waits for it.
struct SuiteAttendue {};

void marqueReprise(int commande) {
  Analyse.Reprise = Analyse.Curseur;
  Analyse.CommandeReprise = commande;
  Analyse.EcrituresReprise = Analyse.Ecritures;
}

constexpr bool estCaractereNombre(int c) {
  return c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9');
}

void analyseEchappement() {
  switch (LitOctetFlux(false)) {
    case '%':
      AnalyseRtlStylo();
      break;
    case '*':
      switch (LitOctetFlux(false)) {
        case 'b':
          AnalyseRtlTransfert();
          break;
        case 'l':
          AnalyseRtlOperationLogique();
          break;
        case 'p':
          AnalyseRtlPosition();
          break;
        case 'r':
          AnalyseRtlLargeurFin();
          break;
        case 't':
          SauteGroupeRtl();
          break;
        case 'v':
          AnalyseRtlConfigImage();
          break;
        default:
          break;
      }
      break;
    default:
      break;
  }
}

}  // namespace

int LitOctetFlux(bool finPermise) {
  if (Analyse.Curseur && Analyse.Curseur < Analyse.Fin) {
    if (!Analyse.FinDePage && static_cast<std::size_t>(Analyse.Fin - Analyse.Curseur) < kReserveAnalyse)
      Analyse.Arret = 1;
    return *Analyse.Curseur++;
  }
  if (finPermise) {
    Analyse.Arret = 1;
    return 0;
  }
  if (!Analyse.FinDePage) throw SuiteAttendue{};
  ErreurFatale(MsgSyntaxe);
}

void ExigeOctetsFlux(std::int64_t n) {
  const std::int64_t reste = Analyse.Curseur ? Analyse.Fin - Analyse.Curseur : 0;
  if (n > reste && !Analyse.FinDePage) throw SuiteAttendue{};
}

void RemetOctetFlux() {
  if (Analyse.Curseur > Analyse.Tampon) --Analyse.Curseur;
}

void AnalyseFluxHPGL() {
  try {
    if (Analyse.CommandeReprise) {
      marqueReprise(Analyse.CommandeReprise);
      ReprendCommandeHPGL(Analyse.CommandeReprise);
    }
    while (!Analyse.Arret) {
      marqueReprise(0);
      const int c = LitOctetFlux(true);
      if (c == kEchap)
        analyseEchappement();
      else if (EstLettreHPGL(c))
        ExecuteCommandeHPGL(c);
    }
    Analyse.CommandeReprise = 0;
    Analyse.Attente = 0;
  } catch (const SuiteAttendue&) {
    // Run again, a command that has already drawn would draw twice: it is more than the
    // buffer can hold.
    if (Analyse.Ecritures != Analyse.EcrituresReprise) ErreurFatale(MsgMemoire);
    Analyse.Curseur = Analyse.Reprise;
    Analyse.Attente = static_cast<std::size_t>(Analyse.Fin - Analyse.Curseur);
  }
  Analyse.Arret = 0;
}

void NoteRepriseCommande(int mnemonique) { marqueReprise(mnemonique); }

bool SauteChaineGuillemets() {
  std::uint8_t* p = Analyse.Curseur;
  while (p < Analyse.Fin && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
  if (p == Analyse.Fin && !Analyse.FinDePage) throw SuiteAttendue{};
  if (p == Analyse.Fin || *p != '"') return false;
  Analyse.Curseur = p + 1;
  while (LitOctetFlux(false) != '"') {
  }
  return true;
}

int LitNombreHPGL(float& valeur) {
  int c;
  for (;;) {
    c = LitOctetFlux(false);
    if (c == ';') return PasDeNombre;
    if (EstLettreHPGL(c) || c == kEchap) {
      RemetOctetFlux();
      return PasDeNombre;
    }
    if (estCaractereNombre(c)) break;
  }
  // A text longer than the buffer keeps its first characters; the rest is still read.
  char texte[kTailleTexteNombre];
  std::size_t n = 0;
  texte[n++] = static_cast<char>(c);
  for (;;) {
    c = LitOctetFlux(false);
    if (!(c == '.' || (c >= '0' && c <= '9'))) break;
    if (n < kTailleTexteNombre - 1) texte[n++] = static_cast<char>(c);
  }
  RemetOctetFlux();
  // As "%f" reads it in the C locale; a value out of the float range does not convert.
  const char* debut = texte[0] == '+' ? texte + 1 : texte;
  // A whole number of up to nine digits, the usual coordinate: the float nearest to it is
  // what the integer converts to.
  const bool negatif = *debut == '-';
  const char* chiffres = debut + (negatif ? 1 : 0);
  const char* fin = texte + n;
  if (fin - chiffres >= 1 && fin - chiffres <= 9 &&
      std::all_of(chiffres, fin, [](char x) { return x >= '0' && x <= '9'; })) {
    std::int32_t entier = 0;
    for (const char* p = chiffres; p < fin; ++p) entier = entier * 10 + (*p - '0');
    const auto v = static_cast<float>(entier);
    valeur = negatif ? -v : v;
    return NombreLu;
  }
  float v = 0;
  const auto [arret, erreur] = std::from_chars(debut, fin, v);
  if (erreur != std::errc{} || arret == debut || !std::isfinite(v)) return NombreInvalide;
  valeur = v;
  return NombreLu;
}

void SignaleErreurCommande(int genre, int mnemonique) {
  (void)mnemonique;
  ErreurFatale(genre >= 1 && genre <= 4 ? MsgSyntaxe + genre : MsgSyntaxe);
}
