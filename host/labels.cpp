#include "labels.h"

#include "hpgl_commandes.h"
#include "hpgl_flux.h"

#include <cmath>
#include <new>

ParametresTexte Texte{};

void CalculeDirectionTexte() {
  ParametresTexte& t = Texte;
  const double c = std::cos(t.Direction), s = std::sin(t.Direction);
  t.PasAvance = 1.5f * t.Largeur;
  t.PasLigne = 2.0f * t.Hauteur;
  t.A = t.Largeur * c / 4;
  t.B = t.Largeur * s / 4;
  t.C = t.Hauteur * (t.Inclinaison * c - s) / 6;
  t.D = t.Hauteur * (t.Inclinaison * s + c) / 6;
  const double avance = t.PasAvance * (1.0 + t.EspaceX);
  const double ligne = t.PasLigne * (1.0 + t.EspaceY);
  t.VecteurAvance = {static_cast<float>(avance * c), static_cast<float>(avance * s)};
  t.VecteurLigne = {static_cast<float>(ligne * s), static_cast<float>(-ligne * c)};
}

void InitTexteHPGL() {
  const EtatInterpreteur& h = Interpreteur;
  ParametresTexte& t = Texte;
  t.Largeur = 0.005f * (h.P2.x - h.P1.x);
  t.Hauteur = 0.0075f * (h.P2.y - h.P1.y);
  t.EspaceX = t.EspaceY = 0;
  t.Direction = 0;
  t.Inclinaison = 0;
  t.JeuCourant = 0;
  t.OrigineLabel = 1;
  t.Position = t.DebutLabel = h.PositionTraceur;
  t.DecalageOrigine = {0, 0};
  CalculeDirectionTexte();
}

void LitLabel(std::vector<std::uint8_t>& tampon) {
  tampon.clear();
  const int terminateur = Interpreteur.Terminateur;
  try {
    for (;;) {
      const int c = LitOctetFlux(false);
      if (c == terminateur) {
        if (c != 3) tampon.push_back(static_cast<std::uint8_t>(c));
        break;
      }
      tampon.push_back(static_cast<std::uint8_t>(c));
    }
  } catch (const std::bad_alloc&) {
    ErreurFatale(MsgMemoire);
  }
}

// Characters are not drawn yet.
void TraceLabel(const std::vector<std::uint8_t>&, int) {}

void TraceCaractereSymbole(int) {}

void TraceCaractereUtilisateur() {
  float v = 0;
  while (LitNombreHPGL(v) == NombreLu) {
  }
}
