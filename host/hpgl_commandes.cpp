#include "hpgl_commandes.h"

#include "debut.h"
#include "fichier_vecteurs.h"
#include "hpgl_flux.h"
#include "labels.h"
#include "polygones.h"
#include "polyligne.h"
#include "rtl.h"
#include "trace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

EtatInterpreteur Interpreteur{};

namespace {

constexpr int mnemo(char a, char b) { return (a << 8 | b) & 0xDFDF; }

constexpr std::size_t kTailleLabelInitiale = 151;
constexpr std::uint32_t kSrcCopy = 0xCC0020;

bool lit(float& v) { return LitNombreHPGL(v) == NombreLu; }

// The next parameter, which must be there: kind n when it is missing.
float exige(int genre) {
  float v = 0;
  if (!lit(v)) SignaleErreurCommande(genre, Interpreteur.Mnemonique);
  return v;
}

// Reads numbers until the list ends; what they say is not used.
void sauteNombres() {
  float v = 0;
  while (lit(v)) {
  }
}

float optionnel(float defaut) {
  float v = defaut;
  return lit(v) ? v : defaut;
}

void labelAuTraceur() { Texte.DebutLabel = PositionTexte(); }

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

void commandeLT() {
  EtatInterpreteur& h = Interpreteur;
  float type = 0;
  if (!lit(type)) {
    h.TypeLigneLT = 7;
  } else {
    const int t = EntierHPGL(type);
    if (t >= -6 && t <= 6)
      h.TypeLigneLT = t;
    else
      TraceDiagnostic("Illegal line type:\t%d\n", t);
    float longueur = 0;
    if (lit(longueur)) {
      // A pattern of no length would never end a segment: kept as it was, as a negative one.
      const double motif = h.Diagonale * longueur / 100;
      if (motif > 0)
        h.LongueurMotifLT = motif;
      else
        TraceDiagnostic("Illegal pattern length:\t%g\n", static_cast<double>(longueur));
    }
  }
  h.TypeLigne = h.TypeLigneLT;
  h.LongueurMotif = h.LongueurMotifLT;
}

void commandeMC() {
  float mode = 0, opcode = 0;
  if (!lit(mode) || EntierHPGL(mode) == 0 || !lit(opcode))
    Contexte.OperationFusion = kSrcCopy;
  else
    Contexte.OperationFusion = OperationRasterMC(EntierHPGL(opcode));
}

void commandePC() {
  float v = 0;
  if (!lit(v)) return;
  const int stylo = EntierHPGL(v);
  int rvb[3] = {0, 0, 0};
  for (int& c : rvb)
    if (lit(v)) c = std::clamp(EntierHPGL(v), 0, 255);
  if (Interpreteur.CouleursFixes || stylo < 0 || stylo > Contexte.NombreStylos ||
      stylo >= kTaillePaletteStylos)
    return;
  QuadCouleur& q = Contexte.PaletteStylos[stylo];
  q.Rouge = static_cast<std::uint8_t>(rvb[0]);
  q.Vert = static_cast<std::uint8_t>(rvb[1]);
  q.Bleu = static_cast<std::uint8_t>(rvb[2]);
}

std::int32_t dixiemes(float largeur) {
  return EntierHPGL(largeur * 10.0f);
}

void commandePW() {
  const EtatInterpreteur& h = Interpreteur;
  if (h.LargeursFixes) {
    if (!h.Silencieux) std::fputs("PW: ignored (hardware mode)\n", stderr);
    sauteNombres();
    return;
  }
  float largeur = 0.35f;
  const bool donnee = lit(largeur);
  if (donnee && largeur <= 0) largeur = 0.1f;
  const std::int32_t valeur = dixiemes(largeur);
  float p = 0;
  const int dernier = std::min(Contexte.NombreStylos, kTaillePaletteStylos - 1);
  if (donnee && lit(p)) {
    const int stylo = EntierHPGL(p);
    if (stylo >= 0 && stylo <= dernier) Contexte.TableStylos[stylo] = valeur;
  } else {
    for (int s = 1; s <= dernier; ++s) Contexte.TableStylos[s] = valeur;
  }
  if (donnee && valeur > Contexte.TableStylos[kIndexLargeurMax])
    Contexte.TableStylos[kIndexLargeurMax] = valeur;
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

void commandeDI(bool relatif) {
  EtatInterpreteur& h = Interpreteur;
  float run = 0;
  if (!lit(run)) {
    Texte.Direction = 0;
  } else {
    float rise = exige(2);
    if (run == 0 && rise == 0) SignaleErreurCommande(0, h.Mnemonique);
    if (relatif) {
      run *= h.P2.x - h.P1.x;
      rise *= h.P2.y - h.P1.y;
    }
    Texte.Direction = static_cast<float>(std::atan2(rise, run));
  }
  CalculeDirectionTexte();
  labelAuTraceur();
}

void commandeSI(bool relatif) {
  EtatInterpreteur& h = Interpreteur;
  float l = relatif ? 0.75f : 0.187f, ht = relatif ? 1.5f : 0.269f;
  if (lit(l)) {
    ht = exige(2);
    if (l == 0 || ht == 0) SignaleErreurCommande(0, h.Mnemonique);
  }
  if (relatif) {
    Texte.Largeur = l / 100 * (h.P2.x - h.P1.x);
    Texte.Hauteur = ht / 100 * (h.P2.y - h.P1.y);
  } else {
    Texte.Largeur = l * 400;
    Texte.Hauteur = ht * 400;
  }
  CalculeDirectionTexte();
}

void commandeCP() {
  float espaces = 0;
  if (!lit(espaces)) {
    static constexpr std::uint8_t kSautLigne[] = {10, 13};
    TraceLabel(kSautLigne, 0);
    return;
  }
  const float lignes = exige(2);
  const PointHPGL& a = Texte.VecteurAvance;
  const PointHPGL& l = Texte.VecteurLigne;
  const PointHPGL p = PositionTexte();
  TracePoint(ActionDeplacement,
             {p.x + espaces * a.x - lignes * l.x, p.y + espaces * a.y - lignes * l.y}, false);
}

void commandeSM() {
  for (;;) {
    const int c = LitOctetFlux(false);
    if (c == '\r' || c == ';') {
      Interpreteur.CaractereSymbole = 0;
      return;
    }
    if ((c >= '!' && c <= ':') || (c >= '<' && c <= '~')) {
      Interpreteur.CaractereSymbole = c;
      return;
    }
  }
}

void commandeLB() {
  EtatInterpreteur& h = Interpreteur;
  LitLabel(h.Label);
  TraceLabel(h.Label, 0);
  const PointHPGL p = PositionTexte();
  h.PointCourant = h.Echelle ? ConvertitTraceurUtilisateur(p) : p;
}

void sauteTexte() {
  while (LitOctetFlux(false) != Interpreteur.Terminateur) {
  }
}

void arc(bool relatif) {
  float x = 0;
  if (!lit(x)) return;
  const float y = exige(2), balayage = exige(3);
  float corde = 5;
  if (LitNombreHPGL(corde) == NombreInvalide) SignaleErreurCommande(99, Interpreteur.Mnemonique);
  TraceArc(relatif, {x, y}, balayage, corde);
}

void commandeEW() {
  float r = 0, debut = 0, balayage = 0;
  if (!lit(r) || !lit(debut) || !lit(balayage)) return;
  TraceSecteur(r, debut, balayage, optionnel(5));
}

void commandeEA() {
  Interpreteur.Relatif = false;
  float x = 0;
  while (lit(x)) {
    TraceContourRectangle(false, {x, exige(2)});
    NoteRepriseCommande(Interpreteur.Mnemonique);
  }
}

void commandeRR() {
  float dx = 0, dy = 0;
  const bool complet = lit(dx) && lit(dy);
  RemplitRectangle(dx, dy, complet);
}

}  // namespace

std::uint32_t OperationRasterMC(int opcode) {
  switch (opcode) {
    case 0:
      return 0x000042;  // BLACKNESS
    case 17:
      return 0x1100A6;  // NOTSRCERASE
    case 51:
      return 0x330008;  // NOTSRCCOPY
    case 68:
      return 0x440328;  // SRCERASE
    case 85:
      return 0x550009;  // DSTINVERT
    case 90:
    case 102:
      return 0x660046;  // SRCINVERT
    case 136:
      return 0x8800C6;  // SRCAND
    case 187:
    case 251:
      return 0xBB0226;  // MERGEPAINT
    case 238:
      return 0xEE0086;  // SRCPAINT
    case 255:
      return 0xFF0062;  // WHITENESS
    default:
      return kSrcCopy;
  }
}

int EntierHPGL(float valeur) {
  if (std::isnan(valeur)) return 0;
  constexpr double kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(std::trunc(static_cast<double>(valeur)), kMin, kMax));
}

int ClasseCouleur(int rouge, int vert, int bleu) {
  if (rouge >= 246 && vert >= 119 && vert <= 137 && bleu <= 9) return 7;
  const int classe = (rouge > 128 ? 1 : 0) + (vert > 128 ? 2 : 0) + (bleu > 128 ? 4 : 0);
  return classe == 7 ? 8 : classe;
}

void SelectionneStylo(int stylo) {
  if (stylo < 0 || stylo > Contexte.NombreStylos || stylo >= kTaillePaletteStylos) {
    AfficheMessage(Contexte, MsgSyntaxe);
    stylo = 0;
  }
  if (stylo == Contexte.StyloCourant) return;
  Contexte.StyloCourant = stylo;
  const QuadCouleur& q = Contexte.PaletteStylos[stylo];
  const int classe = ClasseCouleur(q.Rouge, q.Vert, q.Bleu);
  Interpreteur.ClasseStylo = classe;
  Sortie.ClasseCourante = static_cast<std::uint8_t>(classe);
  EcritCodeVecteur(CodeClasse);
  EcritCodeVecteur(classe);
}

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

void ExecuteCommandeHPGL(int premiere) {
  const int seconde = LitOctetFlux(false);
  if (ReprendCommandeHPGL((premiere << 8 | seconde) & 0xDFDF)) return;
  // Unknown: a quoted string parameter is text, never commands; otherwise the second
  // letter may begin the next command.
  if (!EstLettreHPGL(seconde) || !SauteChaineGuillemets()) RemetOctetFlux();
}

bool ReprendCommandeHPGL(int m) {
  EtatInterpreteur& h = Interpreteur;
  h.Mnemonique = m;
  float v = 0;
  switch (m) {
    case mnemo('A', 'A'):
    case mnemo('A', 'R'):
      arc(m == mnemo('A', 'R'));
      labelAuTraceur();
      break;
    case mnemo('A', 'C'):
      break;
    case kRepriseTransfertRtl:
      AnalyseRtlTransfert();
      break;
    case mnemo('A', 'F'):
    case mnemo('A', 'H'):
    case mnemo('P', 'G'):
      if (LitOctetFlux(false) == ';')
        FinDePageHPGL();
      else
        RemetOctetFlux();
      break;
    case mnemo('B', 'L'):
      LitLabel(h.Label);
      break;
    case mnemo('B', 'P'):
    case mnemo('D', 'F'):
    case mnemo('I', 'N'):
      InitDefautsHPGL();
      labelAuTraceur();
      break;
    case mnemo('C', 'A'):
      Texte.JeuAlternatif = EntierHPGL(optionnel(0));
      break;
    case mnemo('C', 'I'):
      if (lit(v)) TraceCercle(v, optionnel(5));
      break;
    case mnemo('C', 'P'):
      commandeCP();
      break;
    case mnemo('C', 'S'):
      Texte.JeuStandard = Texte.JeuCourant = EntierHPGL(optionnel(0));
      break;
    case mnemo('D', 'I'):
    case mnemo('D', 'R'):
      commandeDI(m == mnemo('D', 'R'));
      break;
    case mnemo('D', 'T'):
      h.Terminateur = LitOctetFlux(false);
      break;
    case mnemo('D', 'V'):
      h.LabelsVerticaux = optionnel(0) != 0;
      break;
    case mnemo('E', 'A'):
      commandeEA();
      labelAuTraceur();
      break;
    case mnemo('E', 'P'):
      TraceContourPolygone();
      break;
    case mnemo('E', 'S'):
      Texte.EspaceX = optionnel(0);
      Texte.EspaceY = optionnel(0);
      CalculeDirectionTexte();
      break;
    case mnemo('E', 'W'):
      commandeEW();
      break;
    case mnemo('F', 'P'):
      RemplitPolygone(0);
      break;
    case mnemo('F', 'T'):
      sauteNombres();
      break;
    case mnemo('I', 'P'):
      commandeIP();
      break;
    case mnemo('I', 'W'):
      commandeIW();
      break;
    case mnemo('L', 'B'):
      commandeLB();
      break;
    case mnemo('L', 'O'): {
      const int n = EntierHPGL(optionnel(1));
      Texte.OrigineLabel = (n >= 1 && n <= 9) || (n >= 11 && n <= 19) ? n : 1;
      break;
    }
    case mnemo('L', 'T'):
      commandeLT();
      break;
    case mnemo('M', 'C'):
      commandeMC();
      break;
    case mnemo('M', 'G'):
    case mnemo('W', 'D'):
      sauteTexte();
      break;
    case mnemo('M', 'O'): {
      // Without a value the marker closes a group.
      const int valeur = EntierHPGL(optionnel(0)) & 0xFF;
      EcritCodeVecteur(CodeMO);
      EcritCodeVecteur(valeur);
      break;
    }
    case mnemo('N', 'P'):
      if (lit(v) && v <= 256) Contexte.NombreStylos = EntierHPGL(v);
      break;
    case mnemo('O', 'P'):
      TraceDiagnostic("\nP1 = (%g, %g)\n", static_cast<double>(h.P1.x), static_cast<double>(h.P1.y));
      TraceDiagnostic("P2 = (%g, %g)\n", static_cast<double>(h.P2.x), static_cast<double>(h.P2.y));
      break;
    case mnemo('P', 'A'):
    case mnemo('P', 'R'):
      h.Relatif = m == mnemo('P', 'R');
      TraceLignes(h.Relatif);
      labelAuTraceur();
      break;
    case mnemo('P', 'B'):
      TraceLabel(h.Label, 1);
      break;
    case mnemo('P', 'C'):
      commandePC();
      break;
    case mnemo('P', 'D'):
    case mnemo('P', 'U'):
      h.PlumeBaissee = m == mnemo('P', 'D');
      TraceLignes(h.Relatif);
      labelAuTraceur();
      break;
    case mnemo('P', 'E'):
      AnalysePE();
      labelAuTraceur();
      break;
    case mnemo('P', 'M'):
      ChangeModePolygone(EntierHPGL(optionnel(0)));
      break;
    case mnemo('P', 'S'):
      commandePS();
      break;
    case mnemo('P', 'W'):
      commandePW();
      break;
    case mnemo('R', 'O'):
      commandeRO();
      break;
    case mnemo('R', 'R'):
      commandeRR();
      break;
    case mnemo('S', 'A'):
      Texte.JeuCourant = Texte.JeuAlternatif;
      break;
    case mnemo('S', 'C'):
      commandeSC();
      break;
    case mnemo('S', 'I'):
    case mnemo('S', 'R'):
      commandeSI(m == mnemo('S', 'R'));
      break;
    case mnemo('S', 'L'):
      Texte.Inclinaison = optionnel(0);
      CalculeDirectionTexte();
      break;
    case mnemo('S', 'M'):
      commandeSM();
      break;
    case mnemo('S', 'P'):
      SelectionneStylo(EntierHPGL(optionnel(0)));
      break;
    case mnemo('S', 'S'):
      Texte.JeuCourant = Texte.JeuStandard;
      break;
    case mnemo('T', 'L'):
      if (lit(v)) {
        h.TickPositif = v / 100;
        h.TickNegatif = optionnel(0) / 100;
      } else {
        h.TickPositif = h.TickNegatif = 0.005f;
      }
      break;
    case mnemo('T', 'R'):
      Analyse.Transparence = optionnel(0) != 0;
      break;
    case mnemo('U', 'C'):
      TraceCaractereUtilisateur();
      break;
    case mnemo('V', 'T'):
      EcritCodeVecteur(CodeVT);
      break;
    case mnemo('X', 'T'):
    case mnemo('Y', 'T'):
      TraceGraduation(m == mnemo('Y', 'T'));
      break;
    default:
      return false;
  }
  return true;
}
