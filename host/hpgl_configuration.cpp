// Set-up, scaling and page commands: IN, DF, BP, IP, SC, IW, RO, PS, the page ends, and
// what the job file carries for the machine (MO, VT).
#include "hpgl_groupes.h"

#include "debut.h"
#include "fichier_vecteurs.h"
#include "trace.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

using namespace hpgl;

namespace {

constexpr std::size_t kTailleLabelInitiale = 151;

// Scale factors, diagonal and the pattern lengths that follow from P1, P2 and the window.
void calculeEchelle() {
  EtatInterpreteur& h = Interpreteur;
  h.Sx = (h.P2.x - h.P1.x) / (h.UMax.x - h.UMin.x);
  h.Sy = (h.P2.y - h.P1.y) / (h.UMax.y - h.UMin.y);
  h.Diagonale = std::hypot(static_cast<double>(h.P2.x) - h.P1.x, static_cast<double>(h.P2.y) - h.P1.y);
  h.LongueurMotif = h.LongueurMotifLT = 0.04 * h.Diagonale;
}

// Scaling points spanning nothing on an axis would divide by zero.
bool etendueVide(const PointHPGL& p1, const PointHPGL& p2) { return p1.x == p2.x || p1.y == p2.y; }

void videLabel() {
  try {
    Interpreteur.Label.clear();
    Interpreteur.Label.reserve(kTailleLabelInitiale);
  } catch (const std::bad_alloc&) {
    ErreurFatale(MsgMemoire);
  }
}

// Grows the parser's bounding box by a page corner, through scaling and rotation.
void grossitBoitePage(float x, float y) {
  GrossitBoiteEnglobante(PointTraceur({x, y}, Interpreteur.Echelle));
}

void commandeIN() {
  InitDefautsHPGL();
  labelAuTraceur();
}

void commandeIP() {
  EtatInterpreteur& h = Interpreteur;
  PointHPGL p1 = kP1Defaut, p2 = kP2Defaut;
  float x = 0;
  if (lit(x)) {
    p1 = {x, exige(2)};
    if (lit(x)) {
      p2 = {x, exige(4)};
    } else {
      p2 = {h.P2.x + (p1.x - h.P1.x), h.P2.y + (p1.y - h.P1.y)};
    }
  }
  if (etendueVide(p1, p2)) {
    TraceDiagnostic("Illegal P1, P2:\t(%g, %g) (%g, %g)\n", static_cast<double>(p1.x),
                    static_cast<double>(p1.y), static_cast<double>(p2.x), static_cast<double>(p2.y));
    return;
  }
  Texte.Largeur /= h.P2.x - h.P1.x;
  Texte.Hauteur /= h.P2.y - h.P1.y;
  h.P1 = p1;
  h.P2 = p2;
  calculeEchelle();
  Texte.Largeur *= h.P2.x - h.P1.x;
  Texte.Hauteur *= h.P2.y - h.P1.y;
  CalculeDirectionTexte();
}

void commandeSC() {
  EtatInterpreteur& h = Interpreteur;
  float xmin = 0;
  if (!lit(xmin)) {
    if (h.Echelle) h.PointCourant = ConvertitUtilisateurTraceur(h.PointCourant);
    h.UMin = kP1Defaut;
    h.UMax = kP2Defaut;
    h.Echelle = false;
    h.Sx = h.Sy = 1;
    return;
  }
  const float xmax = exige(2), ymin = exige(3), ymax = exige(4);
  // Equal bounds would make the scale infinite.
  if (etendueVide({xmin, ymin}, {xmax, ymax})) {
    TraceDiagnostic("Illegal scaling:\t%g %g %g %g\n", static_cast<double>(xmin),
                    static_cast<double>(xmax), static_cast<double>(ymin), static_cast<double>(ymax));
    return;
  }
  if (h.Echelle) h.PointCourant = ConvertitUtilisateurTraceur(h.PointCourant);
  h.UMin = {xmin, ymin};
  h.UMax = {xmax, ymax};
  calculeEchelle();
  h.Echelle = true;
  h.PointCourant = ConvertitTraceurUtilisateur(h.PointCourant);
  if (h.LongueurPage >= h.LargeurPage) {
    h.P1 = {xmin, ymax};
    h.P2 = {xmax, ymin};
  } else {
    h.P1 = {xmax, ymin};
    h.P2 = {xmin, ymax};
  }
  calculeEchelle();
  h.LongueurPage = h.P2.y;
  h.LargeurPage = h.P2.x;
  Texte.Largeur = h.P2.x - h.P1.x;
  Texte.Hauteur = h.P2.y - h.P1.y;
  CalculeDirectionTexte();
}

void commandeIW() {
  EtatInterpreteur& h = Interpreteur;
  float x1 = 0;
  if (!lit(x1)) {
    h.FenetreActive = false;
    return;
  }
  const float y1 = exige(2), x2 = exige(3), y2 = exige(4);
  h.Fenetre[0] = {x1, y1};
  h.Fenetre[1] = {x2, y2};
  h.FenetreActive = true;
}

void commandeRO() {
  EtatInterpreteur& h = Interpreteur;
  float angle = 0;
  if (!lit(angle)) return;
  std::fprintf(stderr, "RO encountered, rotating P1,P2 by %f\n", static_cast<double>(angle));
  h.RotationActive = true;
  h.AngleRotation += angle;
  const int entier = EntierHPGL(angle);
  if (entier == 90 || entier == 270) std::swap(h.LongueurPage, h.LargeurPage);
  std::fprintf(stderr, "cumulative rot_ang now %f\n", h.AngleRotation);
  const double a = h.AngleRotation * 3.141592654 / 180;
  h.CosRotation = std::cos(a);
  h.SinRotation = std::sin(a);
  if (h.PSDonne) {
    InitBoiteEnglobante(Analyse);
    grossitBoitePage(0, 0);
    grossitBoitePage(h.LargeurPage, h.LongueurPage);
  }
}

void commandePS() {
  EtatInterpreteur& h = Interpreteur;
  float longueur = 0;
  if (!lit(longueur)) return;
  float largeur = h.LargeurPage;
  // With nothing drawn yet the box has no largest x: the width stays as it was.
  if (!lit(largeur) && Analyse.Boite.XMax >= Analyse.Boite.XMin)
    largeur = static_cast<float>(Analyse.Boite.XMax);
  h.PSDonne = true;
  h.LongueurPage = longueur;
  h.LargeurPage = largeur;
  grossitBoitePage(0, 0);
  grossitBoitePage(longueur, largeur);
}

// AF, AH, PG: only with the terminator right after it.
void commandeFinDePage() {
  if (LitOctetFlux(false) == ';')
    FinDePageHPGL();
  else
    RemetOctetFlux();
}

void commandeOP() {
  const EtatInterpreteur& h = Interpreteur;
  TraceDiagnostic("\nP1 = (%g, %g)\n", static_cast<double>(h.P1.x), static_cast<double>(h.P1.y));
  TraceDiagnostic("P2 = (%g, %g)\n", static_cast<double>(h.P2.x), static_cast<double>(h.P2.y));
}

// MG, WD: their text up to the label terminator says nothing to the machine.
void sauteTexte() {
  while (LitOctetFlux(false) != Interpreteur.Terminateur) {
  }
}

void commandeMO() {
  // Without a value the marker closes a group.
  const int valeur = EntierHPGL(optionnel(0)) & 0xFF;
  EcritCodeVecteur(CodeMO);
  EcritCodeVecteur(valeur);
}

constexpr Commande kCommandes[] = {
    {mnemo('I', 'N'), commandeIN},
    {mnemo('D', 'F'), commandeIN},
    {mnemo('B', 'P'), commandeIN},
    {mnemo('I', 'P'), commandeIP},
    {mnemo('S', 'C'), commandeSC},
    {mnemo('I', 'W'), commandeIW},
    {mnemo('R', 'O'), commandeRO},
    {mnemo('P', 'S'), commandePS},
    {mnemo('A', 'F'), commandeFinDePage},
    {mnemo('A', 'H'), commandeFinDePage},
    {mnemo('P', 'G'), commandeFinDePage},
    {mnemo('O', 'P'), commandeOP},
    {mnemo('M', 'G'), sauteTexte},
    {mnemo('W', 'D'), sauteTexte},
    {mnemo('M', 'O'), commandeMO},
    {mnemo('V', 'T'), [] { EcritCodeVecteur(CodeVT); }},
};

}  // namespace

std::span<const Commande> hpgl::CommandesConfiguration() { return kCommandes; }

void FinDePageHPGL() {
  DrapeauNouvellePage = 1;
  DrapeauNouveauJob = 0;
  // What follows belongs to the next page.
  Analyse.Arret = 1;
}

float LargeurPageHPGL() { return Interpreteur.LargeurPage; }
float LongueurPageHPGL() { return Interpreteur.LongueurPage; }

void InitDefautsHPGL() {
  EtatInterpreteur& h = Interpreteur;
  h.P1 = kP1Defaut;
  h.P2 = kP2Defaut;
  h.UMin = kP1Defaut;
  h.UMax = kP2Defaut;
  h.Echelle = false;
  calculeEchelle();
  h.Sx = h.Sy = 1;
  h.PointCourant = {3.1415927f, 3.1415927f};
  h.PositionTraceur = h.PointPrecedent = {0, 0};
  h.PlumeBaissee = false;
  h.Relatif = false;
  h.DernierDeplacement = false;
  h.TypeLigne = h.TypeLigneLT = 7;
  h.PhaseMotif = 0;
  h.TickPositif = h.TickNegatif = 0.005f;
  h.CaractereSymbole = 0;
  h.Terminateur = 3;
  videLabel();
  Contexte.StyloCourant = -1;
  InitTexteHPGL();
}

void InitPageHPGL(bool silencieux, bool couleursFixes, bool largeursFixes) {
  EtatInterpreteur& h = Interpreteur;
  h.P1 = kP1Defaut;
  h.P2 = kP2Defaut;
  h.FenetreActive = false;
  h.LabelsVerticaux = false;
  h.Terminateur = 3;
  videLabel();
  h.Silencieux = silencieux;
  h.CouleursFixes = couleursFixes;
  h.LargeursFixes = largeursFixes;
  h.PSDonne = false;
  h.LongueurPage = h.LargeurPage = 0;
  h.ClasseStylo = 0;
  h.DebutSousChemin = 0;
  Sortie.ModePolygone = 0;
  h.AngleRotation = Analyse.RotationPage;
  h.RotationActive = h.AngleRotation != 0;
  const double a = h.AngleRotation * 3.141592654 / 180;
  h.CosRotation = h.RotationActive ? std::cos(a) : 1;
  h.SinRotation = h.RotationActive ? std::sin(a) : 0;
  InitDefautsHPGL();
}
