#include "debut.h"

#include "fichier_machine.h"
#include "fichiers_raster.h"
#include "hpgl_commandes.h"
#include "hpgl_flux.h"
#include "preparation_image.h"
#include "raster_job.h"
#include "vecteurs_job.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

std::int16_t DrapeauNouvellePage = 1;
std::int16_t DrapeauNouveauJob = 1;

namespace {

// Focus already written when the page's repeat start was taken.
std::int32_t FocusDebutRepetition = 0;

// The settings record of the last data chunk: pages that the job end finishes take it.
std::array<std::uint8_t, ParametresJob::kTailleMin> ParametresMorceau{};

bool donneesHote(int typeJob) { return typeJob == 0 || typeJob == 1 || typeJob == 10; }

// Shown without letting anything escape: the abort path must run to its end.
void signale(int message) noexcept {
  try {
    AfficheMessage(Contexte, message);
  } catch (...) {
  }
}

void libereTamponPage() {
  if (Analyse.Tampon) LocalFree(Analyse.Tampon);
  Analyse.Tampon = Analyse.Curseur = Analyse.Fin = nullptr;
  Analyse.Capacite = 0;
}

// Room in the page buffer for n bytes, what it holds kept; past the largest buffer,
// message 8.
void reserveTampon(std::size_t n) {
  if (Analyse.Tampon && n <= Analyse.Capacite) return;
  if (n > kTailleTamponMax) ErreurFatale(Contexte, MsgMemoire);
  const std::size_t capacite =
      std::clamp(std::max(n, 2 * Analyse.Capacite), kTailleTamponPage, kTailleTamponMax);
  auto* tampon = static_cast<std::uint8_t*>(LocalAlloc(LPTR, capacite));
  if (!tampon) ErreurFatale(Contexte, MsgMemoire);
  std::size_t curseur = 0, fin = 0;
  if (Analyse.Tampon) {
    curseur = static_cast<std::size_t>(Analyse.Curseur - Analyse.Tampon);
    fin = static_cast<std::size_t>(Analyse.Fin - Analyse.Tampon);
    std::memcpy(tampon, Analyse.Tampon, fin);
    LocalFree(Analyse.Tampon);
  }
  Analyse.Tampon = tampon;
  Analyse.Curseur = tampon + curseur;
  Analyse.Fin = tampon + fin;
  Analyse.Capacite = capacite;
}

void fermeFichier(FILE*& f) {
  if (f) std::fclose(f);
  f = nullptr;
}

void fermeRaster(HANDLE& h) {
  if (h) CloseHandle(h);
  h = nullptr;
}

void fermeRasters(EtatSortie& sortie) {
  fermeRaster(sortie.hRasterGris);
  for (HANDLE& h : sortie.hRastersClasse) fermeRaster(h);
}

void libereLigneTampon(EtatSortie& sortie) {
  if (sortie.LigneTampon) GlobalFree(sortie.LigneTampon);
  sortie.LigneTampon = nullptr;
  sortie.TailleLigneTampon = 0;
}

// Everything a page holds besides the job file and its buffer.
void fermePage() {
  fermeFichier(Contexte.FichierVecteurs);
  libereLigneTampon(Sortie);
  fermeRasters(Sortie);
  LibereRasters();
  if (Contexte.ContexteImprimante) DeleteDC(Contexte.ContexteImprimante);
  Contexte.ContexteImprimante = nullptr;
}

void liberePage() {
  libereTamponPage();
  fermePage();
}

void cheminAbandon() noexcept {
  try {
    EcritQueueAbandon(Contexte, Sortie);
  } catch (...) {
  }
  DrapeauNouvellePage = 1;
  DrapeauNouveauJob = 1;
  libereTamponPage();
  if (Sortie.Imprimante && !AbortPrinter(Sortie.Imprimante)) signale(MsgSpooler);
  liberePage();
  fermeFichier(Sortie.FichierMachine);
}

std::string formate(const char* format, auto... valeurs) {
  char texte[256];
  std::snprintf(texte, sizeof texte, format, valeurs...);
  return texte;
}

// The HP-GL/2 text of a test-pattern page; sets the plate it is marked on. Its numbers
// are working units.
std::string texteMotif(ContexteConversion& ctx, int typeJob) {
  std::int32_t* ch = ctx.Entete.Champs;
  const bool milliemes = ch[ChUnite] != 0;
  const std::int32_t w = ctx.TailleChampX, h = ctx.TailleChampY;
  auto plaque = [&](std::int32_t ox, std::int32_t oy, std::int32_t px, std::int32_t py) {
    ch[ChOrigineX] = ox;
    ch[ChOrigineY] = oy;
    ch[ChPlaqueX] = px;
    ch[ChPlaqueY] = py;
    ch[ChOrientation] = 0;
  };
  const std::string debut = "IN;PC0,0,0,0;SP0;PA;PU";
  switch (typeJob) {
    case 3:
    case 6: {
      const int cote = typeJob == 3 ? (milliemes ? 8000 : 800) : (milliemes ? 3000 : 300);
      const int a = milliemes ? 280 : 28;
      const int b = typeJob == 3 ? (milliemes ? 3720 : 372) : (milliemes ? 1220 : 122);
      plaque((w - cote) / 2, (h - cote) / 2, cote, cote);
      const int pas[16][2] = {{a, 0},  {b, b},   {b, -b}, {a, 0},   {0, a},   {-b, b},
                              {b, b},  {0, a},   {-a, 0}, {-b, -b}, {-b, b},  {-a, 0},
                              {0, -a}, {b, -b},  {-b, -b}, {0, -a}};
      std::string texte = debut + "0,0;PR;PD";
      for (const auto& p : pas) texte += formate("%d,%d,", p[0], p[1]);
      texte.back() = ';';
      return texte + "PG;";
    }
    case 5:
    case 7:
    case 8:
      plaque(0, 0, w, h);
      return debut + formate("0,0;PR;PD%d,0,-%d,0;PG;", w, w);
    case 9:
      plaque(0, 0, w, h);
      return debut + formate("%d,%d", w / 2, w / 2) +
             (milliemes ? ";PR;PD0,-25000,0,25000;PG;" : ";PR;PD0,-2500,0,2500;PG;");
    case 12:
      return debut + formate("0,0;PR;PD%d,0,0,%d,-%d,0,0,-%d;PG;", ch[ChPlaqueX], ch[ChPlaqueY],
                             ch[ChPlaqueX], ch[ChPlaqueY]);
    case 2:
    case 4:
    case 11:
      return "PG;";
    default:
      return "";
  }
}

// Page and header set-up of every new page.
void preparePage() {
  InitPageHPGL();
  if (DrapeauNouveauJob) EcritEnteteJob(Contexte, Sortie);
  const std::int32_t* ch = Contexte.Entete.Champs;
  const double cote = std::max(ch[ChPlaqueX], ch[ChPlaqueY]) + (ch[ChUnite] ? 5000.0 : 500.0);
  const std::int32_t octets = std::max(ConvertitUnitesEnPoints(cote, 1200), 1);
  Sortie.LigneTampon = static_cast<std::uint8_t*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(octets)));
  if (!Sortie.LigneTampon) ErreurFatale(Contexte, MsgMemoire);
  Sortie.TailleLigneTampon = static_cast<std::size_t>(octets);
  AlloueLigneFond();
}

// The first bytes of a page: settings, buffer, files, header. The bytes may already lie
// in the page buffer (what followed the previous page's end). False when a temporary file
// cannot be opened (already reported).
bool ouvrePage(const std::uint8_t* donnees, std::size_t longueur, const ParametresJob& params) {
  ImporteParametres(Contexte, Sortie, params);
  InitContexteConversion(Contexte, Analyse, Sortie);
  const int typeJob = params.u16(pj::TypeJob);
  std::size_t n = 0;
  if (donneesHote(typeJob)) {
    reserveTampon(longueur);
    if (longueur) std::memmove(Analyse.Tampon, donnees, longueur);
    n = longueur;
    Contexte.MotifTest = false;
  } else {
    reserveTampon(0);
    Contexte.MotifTest = true;
    Contexte.Options &= ~kOptionZoneInterdite;
    Contexte.Slots[0].TypeStylo = 2;
    Contexte.Slots[0].Passes = 1;
    const std::string texte = texteMotif(Contexte, typeJob);
    std::memcpy(Analyse.Tampon, texte.data(), texte.size());
    n = texte.size();
  }
  Analyse.Curseur = Analyse.Tampon;
  Analyse.Fin = Analyse.Tampon + n;

  bool jobOuvert = false;
  if (DrapeauNouveauJob) {
    Sortie.FichierMachine = OuvreFichierBrouillon(Contexte);
    if (!Sortie.FichierMachine) {
      libereTamponPage();
      return false;
    }
    jobOuvert = true;
    Sortie.CompteurOctets = 0;
    EcritPreEntete(Contexte, Sortie);
  }
  Contexte.FichierVecteurs = OuvreFichierBrouillon(Contexte);
  if (!Contexte.FichierVecteurs) {
    libereTamponPage();
    if (jobOuvert) fermeFichier(Sortie.FichierMachine);
    return false;
  }
  DrapeauNouvellePage = 0;
  preparePage();
  // The polygon fill draws compatibly with the printer when there is one.
  if (Sortie.Imprimante && (donneesHote(typeJob) || (params.u16(pj::Drapeaux) & 0x1))) {
    const std::string nom = NomImprimante(Sortie.Imprimante);
    if (!nom.empty()) Contexte.ContexteImprimante = CreateDCA(nullptr, nom.c_str(), nullptr, nullptr);
  }
  return true;
}

void ajouteMorceau(const std::uint8_t* donnees, std::uint32_t longueur) {
  const auto reste = static_cast<std::size_t>(Analyse.Fin - Analyse.Curseur);
  const auto lu = static_cast<std::size_t>(Analyse.Curseur - Analyse.Tampon);
  // What is parsed goes only when the chunk does not fit after it: the bytes kept unparsed
  // (the reserve) then move once per buffer's worth of data, not once per chunk.
  if (lu != 0 && lu + reste + longueur > Analyse.Capacite) {
    std::memmove(Analyse.Tampon, Analyse.Curseur, reste);
    Analyse.Curseur = Analyse.Tampon;
    Analyse.Fin = Analyse.Tampon + reste;
  }
  reserveTampon(static_cast<std::size_t>(Analyse.Fin - Analyse.Tampon) + longueur);
  if (longueur) std::memcpy(Analyse.Fin, donnees, longueur);
  Analyse.Fin += longueur;
}

bool finDePage(const std::uint8_t* debut, const std::uint8_t* fin) {
  if (fin - debut < 3) return false;
  return std::memcmp(fin - 3, "PG;", 3) == 0 || std::memcmp(fin - 3, "pg;", 3) == 0;
}

// The settings records of the pen about to mark an image.
void ecritReglagesStylo(ContexteConversion& ctx, EtatSortie& sortie, int stylo) {
  const SlotStylo& s = ctx.Slots[stylo];
  EcritFonction(ctx, sortie, "PW", static_cast<std::uint16_t>(s.Puissance));
  EcritFonction32(ctx, sortie, "FR", static_cast<std::uint32_t>(s.Frequence));
  EcritFonction(ctx, sortie, "VD", s.Vitesse);
  EcritFonction(ctx, sortie, "AI", static_cast<std::uint16_t>(s.AirAssist));
}

bool styloRaster(const ContexteConversion& ctx, int s) {
  const std::int16_t t = ctx.Slots[s].TypeStylo;
  return t == 1 || t == 4 || t == 5 || t == 13;
}

// Content bits of the page (1 pen rasters, 2 grey raster, 4 vector drawing); the vector
// file's end becomes the end of the page's drawing.
std::uint32_t contenuPage(ContexteConversion& ctx, EtatSortie& sortie) {
  FILE* vecteurs = ctx.FichierVecteurs;
  if (!vecteurs || std::fflush(vecteurs) != 0 || CrtFseek64(vecteurs, 0, SEEK_END) != 0)
    ErreurFatale(ctx, MsgFichierTemporaire);
  ctx.FinVecteursPage = CrtFtell64(vecteurs);
  std::uint32_t masque = 0;
  for (int s = 0; s < 8; ++s)
    if (sortie.hRastersClasse[s] && styloRaster(ctx, s)) masque |= 1;
  if (sortie.hRasterGris && styloRaster(ctx, 0)) masque |= 2;
  if (ContientVecteurs(ctx)) masque |= 4;
  return masque;
}

// Interprets the buffered data page after page: each page that ends is written, and the
// bytes after its end begin the next page. At the end of the job (the "PG;" it adds ends
// the buffer) everything is interpreted, and the page that ends there is written only when
// it holds drawing.
void analysePages(const ParametresJob& params, bool finJob) {
  for (;;) {
    Analyse.FinDePage = finJob || finDePage(Analyse.Curseur, Analyse.Fin) ? 1 : 0;
    const auto enTampon = static_cast<std::size_t>(Analyse.Fin - Analyse.Curseur);
    if (!Analyse.FinDePage && enTampon < kReserveAnalyse + Analyse.Attente) return;
    AnalyseFluxHPGL();
    if (!DrapeauNouvellePage && !finJob) return;
    if (!finJob || Analyse.Curseur != Analyse.Fin || contenuPage(Contexte, Sortie))
      EcritPageJob(Contexte, Sortie);
    DrapeauNouvellePage = 1;
    InitBoiteEnglobante(Analyse);
    fermePage();
    const auto reste = static_cast<std::size_t>(Analyse.Fin - Analyse.Curseur);
    if (reste == 0) {
      libereTamponPage();
      return;
    }
    // Bytes already taken from the host would be lost: the job cannot go on.
    if (!ouvrePage(Analyse.Curseur, reste, params)) throw AbandonJob{MsgFichierTemporaire};
  }
}

int prendMorceau(const std::uint8_t* donnees, std::uint32_t longueur, const ParametresJob& params) {
  params.copie(0, ParametresMorceau.data(), ParametresMorceau.size());
  if (DrapeauNouvellePage) {
    if (!ouvrePage(donnees, longueur, params)) return 0;
  } else {
    ajouteMorceau(donnees, longueur);
  }
  analysePages(params, false);
  return 1;
}

int termineJob() {
  // The page still open ends as if "PG;" had come.
  if (!DrapeauNouvellePage) {
    static constexpr std::uint8_t kFinPage[] = {'P', 'G', ';'};
    ajouteMorceau(kFinPage, sizeof kFinPage);
    analysePages(ParametresJob(ParametresMorceau.data(), ParametresMorceau.size()), true);
  }
  EcritFinJob(Contexte, Sortie);
  if (Sortie.FichierMachine) {
    EnvoieFichierMachine(Contexte, Sortie);
    fermeFichier(Sortie.FichierMachine);
  }
  const DWORD taille =
      Contexte.ModeleLimite && Sortie.CompteurOctets > kTailleJobMax ? Sortie.CompteurOctets : 1;
  EcritDonneeImprimante(Sortie.Imprimante, "TailleFichierMachine", REG_DWORD, &taille, sizeof taille);
  DrapeauNouveauJob = 1;
  return 1;
}

// The bytes from the repeat start to the end, appended n more times.
void copiesRepetees(ContexteConversion& ctx, EtatSortie& sortie) {
  const std::int32_t n = ctx.NombreRepetitions;
  FILE* f = sortie.FichierMachine;
  if (n <= 0 || sortie.PositionDebutRaster < 0 || !f) return;
  const long long fin = CrtFtell64(f);
  if (fin < 0) ErreurFatale(ctx, MsgLectureFichier);
  const long long taille = fin - sortie.PositionDebutRaster;
  if (taille <= 0) return;
  // Focus moves are relative: each copy starts back at the focus the first one started at
  // ('RF' records of at most kLimiteFocus), and so ends where the first one ended.
  const std::int64_t retour = static_cast<std::int64_t>(FocusDebutRepetition) - ctx.FocusCourant;
  const auto enregistrementsRetour =
      static_cast<std::uint64_t>(retour ? std::llabs(retour) / kLimiteFocus + 2 : 0);
  const std::uint64_t parCopie = static_cast<std::uint64_t>(taille) + 6 * enregistrementsRetour;
  // Copies the controller could not take are not made, as copies that do not fit in memory.
  if (!TientDansLeJob(sortie, parCopie * static_cast<std::uint64_t>(n))) {
    AfficheMessage(ctx, MsgMemoire);
    return;
  }
  std::unique_ptr<void, decltype(&GlobalFree)> bloc(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(taille)),
                                                    &GlobalFree);
  if (!bloc) {
    AfficheMessage(ctx, MsgMemoire);
    return;
  }
  if (std::fflush(f) != 0 || CrtFseek64(f, sortie.PositionDebutRaster, SEEK_SET) != 0 ||
      std::fread(bloc.get(), 1, static_cast<std::size_t>(taille), f) != static_cast<std::size_t>(taille) ||
      CrtFseek64(f, 0, SEEK_END) != 0)
    ErreurFatale(ctx, MsgLectureFichier);
  const std::int32_t focusFin = ctx.FocusCourant;
  for (std::int32_t i = 0; i < n; ++i) {
    EcritDeplacementFocus(ctx, sortie, retour);
    EcritJob(ctx, sortie, bloc.get(), static_cast<std::size_t>(taille));
    ctx.FocusCourant = focusFin;
  }
}

}  // namespace

void NoteDebutRepetition(ContexteConversion& ctx, EtatSortie& sortie) {
  if (sortie.PositionDebutRaster >= 0 || !sortie.FichierMachine) return;
  const long long p = CrtFtell64(sortie.FichierMachine);
  if (p < 0) ErreurFatale(ctx, MsgLectureFichier);
  sortie.PositionDebutRaster = p;
  FocusDebutRepetition = ctx.FocusCourant;
}

void EcritPageJob(ContexteConversion& ctx, EtatSortie& sortie) {
  const std::int32_t* ch = ctx.Entete.Champs;
  const bool echange = ch[ChOrientation] > 3;
  sortie.DernierX = sortie.DernierY = 0;
  sortie.PositionDebutRaster = -1;
  sortie.DebutRasterX = sortie.DebutRasterY = -1.0;
  const int typeJob = ch[ChTypeFichier];
  if (ch[ChTypeMarquageDemande] == 2 && (typeJob == 0 || typeJob == 10))
    sortie.DernierY = echange ? ConvertitUnitesEnPoints(ch[ChPlaqueX] / 2.0, static_cast<float>(ch[ChDpiX]))
                              : ConvertitUnitesEnPoints(ch[ChPlaqueY] / 2.0, static_cast<float>(ch[ChDpiY]));
  const auto resRaster = static_cast<float>(ctx.ResolutionRaster);
  ctx.LargeurUtile = std::max(ConvertitUnitesEnPoints(ch[ChPlaqueX], resRaster) - 1, ctx.EtendueX);
  ctx.HauteurUtile = std::max(ConvertitUnitesEnPoints(ch[ChPlaqueY], resRaster) - 1, ctx.EtendueY);

  sortie.MasqueContenu = contenuPage(ctx, sortie);

  if (ctx.Options & kOptionAZ)
    EcritFonction32(ctx, sortie, "AZ", static_cast<std::uint32_t>(-ctx.DecalageAZ));
  if (sortie.MasqueContenu & 1) {
    for (int s = 0; s < 8; ++s) {
      if (!sortie.hRastersClasse[s] || !styloRaster(ctx, s)) continue;
      sortie.ClasseCourante = static_cast<std::uint8_t>(s);
      PrepareImage(ctx, sortie, 0);
      ecritReglagesStylo(ctx, sortie, s);
      EcritRasterStylo(ctx, Analyse, sortie);
    }
  }
  sortie.DernierX *= 8;
  if (sortie.MasqueContenu & 2) {
    const OptionsImage o = LitOptionsImage(ctx);
    if ((o.puissance || o.gris) && !o.relief && !o.trame) DiffusePuissance(ctx, sortie);
    PrepareImage(ctx, sortie, 1);
    ecritReglagesStylo(ctx, sortie, 0);
    EcritRasterGris(ctx, Analyse, sortie);
  }
  if (sortie.MasqueContenu & 4) {
    std::rewind(ctx.FichierVecteurs);
    EtendueVecteursX = ConvertitUnitesEnPoints(ch[ChPlaqueX], static_cast<float>(ctx.ResolutionVecteurs));
    EtendueVecteursY = ConvertitUnitesEnPoints(ch[ChPlaqueY], static_cast<float>(ctx.ResolutionVecteurs));
    EcritVecteursJob(ctx, sortie);
  }
  copiesRepetees(ctx, sortie);
  EcritFinPage(ctx, sortie);
  fermeRasters(sortie);
  libereLigneTampon(sortie);
}

extern "C" int debut(HANDLE imprimante, const void* donnees, std::uint32_t longueur,
                     const void* parametres) {
  Sortie.Imprimante = imprimante;
  const auto* octets = static_cast<const std::uint8_t*>(donnees);
  if (!octets) longueur = 0;
  try {
    if (longueur >= 3 && std::memcmp(octets, "JF;", 3) == 0) return termineJob();
    return prendMorceau(octets, longueur, ParametresJob(parametres, ParametresJob::kTailleMin));
  } catch (const AbandonJob&) {
  } catch (const std::bad_alloc&) {
    signale(MsgMemoire);
  } catch (...) {
    signale(MsgPointeur);
  }
  cheminAbandon();
  return 0;
}
