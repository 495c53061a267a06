#include "contexte.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

ContexteConversion Contexte{};
EtatAnalyse Analyse{};
EtatSortie Sortie{};

void ParametresJob::copie(std::size_t offset, void* destination, std::size_t n) const {
  auto* d = static_cast<std::uint8_t*>(destination);
  for (std::size_t i = 0; i < n; ++i) d[i] = u8(offset + i);
}

namespace {

constexpr bool modeleLimite(int modele) { return modele >= 768 && modele <= 774; }

bool unite100(HANDLE imprimante) {
  DWORD type = 0, besoin = 0;
  BYTE valeur[4] = {};
  char nom[] = "Unit100";
  if (GetPrinterDataA(imprimante, nom, &type, valeur, sizeof valeur, &besoin) != ERROR_SUCCESS)
    return false;
  return besoin == 4 && valeur[0] == 1 && valeur[1] == 0 && valeur[2] == 0 && valeur[3] == 0;
}

// Lengths given unsigned that the signed header fields cannot hold, and plates
// whose dot count at one of the page's resolutions leaves 32 bits, make the page
// arithmetic overflow: the job is refused.
void ControleDimensions(const ContexteConversion& ctx, const ParametresJob& p, bool centiemes) {
  const double diviseur = centiemes ? 10 : 1;
  const double parPouce = centiemes ? 2540.0 : 25400.0;
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  const std::uint32_t resolutions[] = {p.u16(pj::ResolutionX), p.u16(pj::ResolutionY),
                                       p.u16(pj::ResolutionRaster), p.u32(pj::ResolutionVecteurs)};
  for (const std::size_t offset : {pj::TaillePlaqueX, pj::TaillePlaqueY}) {
    const double plaque = std::trunc(p.u32(offset) / diviseur);
    if (plaque > kMax) ErreurFatale(ctx, MsgDimensionsPlaque);
    for (const std::uint32_t r : resolutions)
      if (plaque * r / parPouce >= kMax) ErreurFatale(ctx, MsgDimensionsPlaque);
  }
  for (const std::size_t offset : {pj::TailleChampX, pj::TailleChampY})
    if (std::trunc(p.u32(offset) / diviseur) > kMax) ErreurFatale(ctx, MsgDimensionsPlaque);
}

}  // namespace

void ImporteParametres(ContexteConversion& ctx, EtatSortie& sortie, const ParametresJob& p) {
  std::int32_t* ch = ctx.Entete.Champs;
  const bool centiemes = unite100(sortie.Imprimante);
  auto lg = [centiemes](std::int64_t v) { return static_cast<std::int32_t>(centiemes ? v / 10 : v); };

  ch[ChUnite] = centiemes ? 0 : 1;
  ctx.ModeleLimite = modeleLimite(p.u16(pj::CodeModele));

  ch[ChOrigineX] = lg(p.i32(pj::OriginePlaqueX));
  ch[ChOrigineY] = lg(p.i32(pj::OriginePlaqueY));
  ch[ChLibre2] = 0;
  const double perimetre = p.u32(pj::DiametreCylindre) * 3.14159;
  ch[ChPerimetre] = Arrondit(centiemes ? perimetre / 10 : perimetre);
  ch[ChPlaqueX] = lg(p.u32(pj::TaillePlaqueX));
  ch[ChPlaqueY] = lg(p.u32(pj::TaillePlaqueY));
  ch[ChLongueur56] = lg(static_cast<std::uint32_t>(p.u16(pj::Facteur54) * p.u32(pj::Longueur56)));
  for (int i = 0; i < 4; ++i) ctx.ZoneInterdite[i] = lg(p.i32(pj::ZoneInterdite + 4 * i));
  ctx.TailleChampX = lg(p.u32(pj::TailleChampX));
  ctx.TailleChampY = lg(p.u32(pj::TailleChampY));

  ch[ChModele] = p.u16(pj::CodeModele);
  ch[ChTypeMarquageDemande] = p.u16(pj::TypeMarquageDemande);
  ctx.ResolutionRaster = p.u16(pj::ResolutionRaster);
  ctx.DecalageAZ = p.i32(pj::DecalageFocus) / 10;
  ch[ChDpiX] = p.u16(pj::ResolutionX);
  ch[ChDpiY] = p.u16(pj::ResolutionY);
  ch[ChPuissanceNoir] = p.u16(pj::Stylos + pj::StPuissance);
  ch[ChVitesseInitiale] = p.u16(pj::Stylos + pj::StVitesse);

  p.copie(pj::TeteBloc, ctx.Entete.Tete, sizeof ctx.Entete.Tete);
  ch[ChIntExt] = p.u16(pj::MarquageIntExt);
  ch[ChValeur28] = p.u16(pj::Valeur28);
  ch[ChLibre14] = 0;
  ch[ChValeur24] = p.u16(pj::Valeur24);
  ch[ChOrientation] = p.u16(pj::Orientation);
  ch[ChSeuilPuissance] = p.u16(pj::SeuilPuissance);
  ch[ChTraitementB] = p.u16(pj::BlocTraitementB);
  ch[ChSelecteurVitesses] = p.u16(pj::SelecteurVitesses);
  ch[ChValeur50] = p.u16(pj::Valeur50);

  // An index outside the table gives no focal entry: its fields stay 0.
  const std::uint16_t focale = p.u16(pj::IndexFocale);
  auto champFocale = [&](std::size_t offset) -> std::int32_t {
    if (focale >= pj::NombreFocales) return 0;
    return p.u16(pj::Focales + pj::TailleFocale * focale + offset);
  };
  ch[ChCorrecAngX] = champFocale(4);
  ch[ChCorrecAngY] = champFocale(18);
  ch[ChGainLineaireX] = champFocale(2);
  ch[ChGainLineaireY] = champFocale(16);
  ch[ChTypeCorrectionX] = 1;
  ch[ChTypeCorrectionY] = 0;
  ch[ChTempoFinVecteur] = static_cast<std::int32_t>(p.u32(pj::TempoFinVecteur));
  ch[ChTempoPremierTir] = static_cast<std::int32_t>(p.u32(pj::TempoPremierTir));
  ch[ChTempoSaut] = static_cast<std::int32_t>(p.u32(pj::TempoSaut));
  ch[ChValeur492] = p.u16(pj::Valeur492);
  ch[ChValeur494] = p.u16(pj::Valeur494);
  ch[ChValeur496] = p.u16(pj::Valeur496);
  ch[ChOption4] = p.bit(pj::Options, 4);
  ch[ChOption5] = p.bit(pj::Options, 5);
  ch[ChValeur860] = static_cast<std::int32_t>(p.u32(pj::Valeur860) / 10);
  ch[ChValeur864] = p.i32(pj::Valeur864);
  ch[ChOption6] = p.bit(pj::Options, 6);
  ch[ChFocale] = focale;
  ch[ChVitesseSaut] = static_cast<std::int32_t>(p.u32(pj::VitesseSaut));
  ch[ChDiffusion] = p.u16(pj::Diffusion);
  ch[ChOrientationImage] = p.u16(pj::OrientationImage);
  ch[ChTempoFinRotation] = p.u16(pj::TempoFinRotation);
  ch[ChTempoInterligne] = p.u16(pj::TempoInterligne);

  const std::uint16_t typeJob = p.u16(pj::TypeJob);
  switch (typeJob) {
    case 3:
    case 6:
      ch[ChPositionnement] = static_cast<std::int32_t>(p.u32(pj::PositionnementMotif));
      break;
    case 1:
    case 5:
    case 7:
    case 8:
    case 9:
    case 10:
    case 12:
      ch[ChPositionnement] = static_cast<std::int32_t>(p.u32(pj::Positionnement));
      break;
    default:
      ch[ChPositionnement] = 0;
  }
  ch[ChTypeFichier] = typeJob == 12 ? 1 : typeJob;
  ch[ChGainRectX] = champFocale(0);
  ch[ChGainRectY] = champFocale(14);
  ch[ChTurbo] = p.bit(pj::Options, 1);
  ch[ChMarquageUnique] = p.bit(pj::Options, 3);
  ch[ChTailleFichier] = 0;
  ch[ChOption10] = p.bit(pj::Options, 10);

  for (int s = 0; s < 8; ++s) {
    const std::size_t e = pj::Stylos + pj::TailleStylo * static_cast<std::size_t>(s);
    const std::size_t x = pj::StylosExtra + pj::TailleStyloExtra * static_cast<std::size_t>(s);
    const std::int64_t focusDebut = p.i32(e + pj::StFocusDebut);
    SlotStylo& slot = ctx.Slots[s];
    slot.NiveauMax = 127;
    slot.Puissance = static_cast<std::int16_t>(p.u16(e + pj::StPuissance));
    slot.Frequence = static_cast<std::int32_t>(p.u32(e + pj::StFrequence));
    slot.Copie12 = static_cast<std::int32_t>(p.u32(e + pj::StCopie));
    slot.Vitesse = p.u16(e + pj::StVitesse);
    slot.Passes = p.i16(e + pj::StPasses);
    slot.FocusFin = static_cast<std::int32_t>((focusDebut + p.i32(e + pj::StPlageFocus)) / 10);
    slot.TypeStylo = p.i16(e + pj::StType);
    slot.AirAssist = p.i16(e + pj::StAirAssist);
    slot.FocusDebut = static_cast<std::int32_t>(focusDebut / 10);
    slot.Option2 = static_cast<std::int16_t>(p.u16(x) / 10);
    slot.Option1 = static_cast<std::int16_t>(p.u16(x + 2) / 10);
  }
  SlotStylo& saut = ctx.Slots[kSlotSaut];
  saut = SlotStylo{};
  saut.Vitesse = static_cast<std::uint16_t>(p.u32(pj::VitesseSaut));
  saut.Passes = 1;
  ctx.PasFocusMin = static_cast<std::int32_t>(p.u32(pj::PasFocusMin) / 10);

  // Palette greys white, cyan, magenta, blue, yellow, green, red, black.
  constexpr int kGris[8] = {255, 179, 105, 29, 227, 151, 77, 0};
  for (int i = 0; i < 8; ++i)
    ctx.NiveauxGrisClasses[i] =
        static_cast<std::uint8_t>(Arrondit(127 * std::sqrt(kGris[i]) / std::sqrt(255.0)));

  p.copie(pj::BlocTraitementA, ctx.BlocTraitementA, pj::TailleBlocA);
  p.copie(pj::BlocTraitementB, ctx.BlocTraitementB, pj::TailleBlocB);
  ch[ChTypeMarquage] = p.u16(pj::TypeMarquage);
  std::memset(ctx.BlocTraitementA + (pj::TypeMarquage - pj::BlocTraitementA), 0, 2);
  const bool traitement = p.u16(pj::BlocTraitementB) != 0 || p.u16(pj::Traitement66) != 0 ||
                          p.u16(pj::Traitement70) != 0;
  if (traitement) {
    ctx.BlocTraitementA[pj::GrisForce - pj::BlocTraitementA] = 1;
    ctx.BlocTraitementA[pj::GrisForce - pj::BlocTraitementA + 1] = 0;
  }
  ch[ChSigneTraitement] =
      (p.u16(pj::BlocTraitementA) != 0 || p.u16(pj::GrisForce) != 0) && !traitement ? -1 : 0;

  if (!(p.u16(pj::Drapeaux) & 0x8))
    std::copy(std::begin(TableVitesseAngleDefaut), std::end(TableVitesseAngleDefaut),
              sortie.TableVitesseAngle);

  sortie.PasDeTransmission = p.bit(pj::Options, 7);
  sortie.DrapeauxJob = p.u16(pj::Drapeaux);

  ctx.TableMessages = TableMessagesLangue(p.u16(pj::Langue));

  ctx.NombreRepetitions = p.i32(pj::Repetitions);
  ctx.Options = p.u32(pj::Options);
  const std::uint16_t demande = p.u16(pj::TypeMarquageDemande);
  ctx.AngleMarquage = (p.u16(pj::Drapeaux) & 0x1) && (demande == 2 || demande == 4100) &&
                              p.u16(pj::MarquageIntExt) == 0
                          ? p.u32(pj::AngleMarquage) / 10000.0
                          : 0.0;
  ctx.ResolutionVecteurs = static_cast<std::int32_t>(p.u32(pj::ResolutionVecteurs));
  ControleDimensions(ctx, p, centiemes);
}

void InitBoiteEnglobante(EtatAnalyse& analyse) {
  analyse.Boite = {1e10, -1e10, 1e10, -1e10};
}

void InitContexteConversion(ContexteConversion& ctx, EtatAnalyse& analyse, EtatSortie& sortie) {
  analyse.FinDePage = 0;
  analyse.Arret = 0;
  analyse.Reprise = nullptr;
  analyse.CommandeReprise = 0;
  analyse.Ecritures = analyse.EcrituresReprise = 0;
  analyse.Attente = 0;
  analyse.OctetsLigne = 0;
  analyse.PixelsLigne = 0;
  analyse.SensLigne = 0;
  std::memset(analyse.LignesPlan, 0, sizeof analyse.LignesPlan);
  std::memset(analyse.LignesGraine, 0, sizeof analyse.LignesGraine);
  // No plane yet: the first transfer goes to plane 0.
  analyse.PlanCourant = -1;
  analyse.DernierPlan = 0;
  analyse.EspaceCouleur = analyse.CodagePixels = analyse.ModeCompression = 0;
  analyse.Rouge = analyse.Vert = analyse.Bleu = 0;

  sortie.NombrePointsPolygone = 0;
  sortie.NombreSousChemins = 0;
  sortie.hRasterGris = nullptr;
  std::fill(std::begin(sortie.hRastersClasse), std::end(sortie.hRastersClasse), nullptr);
  sortie.LargeurRasterGris = sortie.HauteurRasterGris = 0;
  sortie.LargeurRasterClasse = sortie.HauteurRasterClasse = 0;
  sortie.RasterX = sortie.RasterY = 0;
  sortie.LigneTampon = nullptr;
  sortie.TailleLigneTampon = 0;
  sortie.EtatStylo = 0;
  sortie.MasqueContenu = 0;
  sortie.CumulTemps = 0;

  const std::int32_t selecteur = ctx.Entete.Champs[ChSelecteurVitesses];
  const auto& vitesses = selecteur == 0 ? mms_asic_0 : selecteur == 1 ? mms_asic_1 : mms_asic_2;
  std::copy(vitesses.begin(), vitesses.end(), sortie.TableVitesses);

  ctx.NomPeripherique = "laser";
  ctx.FichierVecteurs = nullptr;
  ctx.StyloCourant = 0;
  ctx.TableStylos[0] = 0;
  std::fill(std::begin(ctx.TableStylos) + 1, std::end(ctx.TableStylos), 1);
  ctx.NombreStylos = 256;
  ctx.ModeHPGL = 0;

  // (blue, green, red)
  constexpr QuadCouleur kBlanc{255, 255, 255, 0}, kNoir{0, 0, 0, 0}, kRouge{0, 0, 255, 0},
      kVert{0, 255, 0, 0}, kJaune{0, 255, 255, 0}, kBleu{255, 0, 0, 0}, kMagenta{255, 0, 255, 0},
      kCyan{255, 255, 0, 0};
  constexpr QuadCouleur kStylos[8] = {kBlanc, kNoir, kRouge, kVert, kJaune, kBleu, kMagenta, kCyan};
  // A page's raster starts with one bit per index: entries 0 and 1 are white paper and black
  // ink until an image configuration says otherwise.
  constexpr QuadCouleur kRaster[8] = {kBlanc, kNoir, kVert, kJaune, kBleu, kMagenta, kCyan, kBlanc};
  std::copy(std::begin(kStylos), std::end(kStylos), ctx.PaletteStylos);
  std::fill(std::begin(ctx.PaletteStylos) + 8, std::end(ctx.PaletteStylos), kNoir);
  std::copy(std::begin(kRaster), std::end(kRaster), ctx.PaletteRaster);

  ctx.OperationFusion = 0xCC0020;  // SRCCOPY
  ctx.EtendueX = ctx.EtendueY = 0;
  ctx.FocusCourant = 0;

  InitBoiteEnglobante(analyse);
}

std::int32_t Arrondit(double valeur) {
  if (std::isnan(valeur)) return 0;
  double entier = std::trunc(valeur);
  if (std::fabs(valeur - entier) >= 0.5) entier += valeur >= 0 ? 1 : -1;
  constexpr double kMin = std::numeric_limits<std::int32_t>::min();
  constexpr double kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(std::clamp(entier, kMin, kMax));
}

double ConvertitPointsEnUnites(std::int32_t points, float resolution) {
  const double parPouce = Contexte.Entete.Champs[ChUnite] ? 25400.0 : 2540.0;
  return points * parPouce / resolution;
}

std::int32_t ConvertitUnitesEnPoints(double longueur, float resolution) {
  const double parPouce = Contexte.Entete.Champs[ChUnite] ? 25400.0 : 2540.0;
  return Arrondit(longueur * resolution / parPouce);
}
