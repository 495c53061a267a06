// The converter's settings record, its three process-wide records, the message
// table, the unit conversions and the file services every writer goes through.
#pragma once

#include "win32.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "records are laid out and swapped for a little-endian host");

// Settings record handed over by the host: little-endian, packed, at least 1,200 bytes.
// Every read is bounded by the size given; bytes past it read as 0.
class ParametresJob {
 public:
  static constexpr std::size_t kTailleMin = 1200;

  ParametresJob() = default;
  ParametresJob(const void* octets, std::size_t taille)
      : octets_(static_cast<const std::uint8_t*>(octets)), taille_(octets ? taille : 0) {}

  std::uint8_t u8(std::size_t offset) const {
    return offset < taille_ ? octets_[offset] : 0;
  }
  std::uint16_t u16(std::size_t offset) const {
    return static_cast<std::uint16_t>(u8(offset) | u8(offset + 1) << 8);
  }
  std::int16_t i16(std::size_t offset) const { return static_cast<std::int16_t>(u16(offset)); }
  std::uint32_t u32(std::size_t offset) const {
    return u16(offset) | static_cast<std::uint32_t>(u16(offset + 2)) << 16;
  }
  std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
  bool bit(std::size_t offset, unsigned n) const { return (u32(offset) >> n) & 1u; }
  void copie(std::size_t offset, void* destination, std::size_t n) const;
  std::size_t taille() const { return taille_; }

 private:
  const std::uint8_t* octets_ = nullptr;
  std::size_t taille_ = 0;
};

// Offsets in the settings record. Lengths are given in 1/1000 mm.
namespace pj {
constexpr std::size_t Drapeaux = 2;  // bit 0 marking angle and device context, bit 3 keep corner speeds
constexpr std::size_t Langue = 4;
constexpr std::size_t CodeModele = 6;
constexpr std::size_t TaillePlaqueX = 8, TaillePlaqueY = 12;
constexpr std::size_t OriginePlaqueX = 16, OriginePlaqueY = 20;
constexpr std::size_t Valeur24 = 24, MarquageIntExt = 26, Valeur28 = 28;
constexpr std::size_t TypeMarquageDemande = 32;
constexpr std::size_t DiametreCylindre = 36;
constexpr std::size_t ResolutionX = 44, ResolutionY = 46, ResolutionRaster = 48;
constexpr std::size_t Valeur50 = 50, Orientation = 52, Facteur54 = 54, Longueur56 = 56;
constexpr std::size_t BlocTraitementA = 60, TailleBlocA = 26;
constexpr std::size_t GrisForce = 62, Traitement66 = 66, TypeMarquage = 68, Traitement70 = 70;
constexpr std::size_t SeuilPuissance = 72;
constexpr std::size_t BlocTraitementB = 86, TailleBlocB = 22;
constexpr std::size_t Stylos = 108, TailleStylo = 36;
constexpr std::size_t TeteBloc = 396;
constexpr std::size_t SelecteurVitesses = 416;
constexpr std::size_t IndexFocale = 432;
constexpr std::size_t VitesseSaut = 436;
constexpr std::size_t TempoSaut = 476, TempoFinVecteur = 480, TempoPremierTir = 484;
constexpr std::size_t TempoFinRotation = 488, TempoInterligne = 490;
constexpr std::size_t Valeur492 = 492, Valeur494 = 494, Valeur496 = 496;
constexpr std::size_t Diffusion = 500, OrientationImage = 502, TypeJob = 504;
constexpr std::size_t Positionnement = 508, PositionnementMotif = 516;
constexpr std::size_t Focales = 542, TailleFocale = 28, NombreFocales = 10;
constexpr std::size_t Options = 824;
constexpr std::size_t ZoneInterdite = 828;  // X min, Y min, X max, Y max
constexpr std::size_t TailleChampX = 844, TailleChampY = 848;
constexpr std::size_t AngleMarquage = 852, ResolutionVecteurs = 856;
constexpr std::size_t Valeur860 = 860, Valeur864 = 864;
constexpr std::size_t Repetitions = 868, DecalageFocus = 872, PasFocusMin = 876;
constexpr std::size_t StylosExtra = 880, TailleStyloExtra = 40;

// Within a pen entry.
constexpr std::size_t StVitesse = 0, StPasses = 2, StType = 4, StFrequence = 8, StCopie = 12;
constexpr std::size_t StPlageFocus = 16, StAirAssist = 22, StPuissance = 24, StFocusDebut = 32;
}  // namespace pj

// Option flags (settings +824).
constexpr std::uint32_t kOptionZoneInterdite = 0x1;
constexpr std::uint32_t kOptionPasDeTransmission = 0x80;
constexpr std::uint32_t kOptionAZ = 0x800;

// BlocEntete fields by number (docs/job-file.md).
enum ChampEntete : int {
  ChOrigineX = 0,
  ChOrigineY = 1,
  ChLibre2 = 2,
  ChModele = 3,
  ChTypeMarquageDemande = 4,
  ChPerimetre = 5,
  ChDpiX = 6,
  ChDpiY = 7,
  ChPuissanceNoir = 8,
  ChVitesseInitiale = 9,
  ChPlaqueX = 10,
  ChPlaqueY = 11,
  ChIntExt = 12,
  ChValeur28 = 13,
  ChLibre14 = 14,
  ChValeur24 = 15,
  ChOrientation = 16,
  ChSeuilPuissance = 17,
  ChTraitementB = 18,
  ChSigneTraitement = 19,
  ChLongueur56 = 20,
  ChSelecteurVitesses = 21,
  ChValeur50 = 22,
  ChTurbo = 23,
  ChTypeCorrectionX = 24,
  ChTypeCorrectionY = 25,
  ChFocale = 26,
  ChGainLineaireX = 27,
  ChGainLineaireY = 28,
  ChCorrecAngX = 29,
  ChCorrecAngY = 30,
  ChTempoSaut = 31,
  ChTempoFinVecteur = 32,
  ChTempoPremierTir = 33,
  ChVitesseSaut = 34,
  ChTypeMarquage = 35,
  ChDiffusion = 36,
  ChOrientationImage = 37,
  ChPositionnement = 38,
  ChTypeFichier = 39,
  ChGainRectX = 40,
  ChGainRectY = 41,
  ChTempoFinRotation = 42,
  ChTempoInterligne = 43,
  ChUnite = 44,  // 1 = 1/1000 mm, 0 = 1/100 mm
  ChMarquageUnique = 45,
  ChTailleFichier = 46,
  ChValeur492 = 47,
  ChValeur494 = 48,
  ChValeur496 = 49,
  ChOption4 = 50,
  ChOption5 = 51,
  ChValeur860 = 52,
  ChValeur864 = 53,
  ChOption6 = 54,
  ChOption10 = 55,
};
constexpr int kNombreChamps = 56;

struct BlocEntete {
  std::uint8_t Tete[16];
  std::int32_t Champs[kNombreChamps];
};

// Pen slot: 8 pens and the jump slot (8).
struct SlotStylo {
  std::int16_t NiveauMax;
  std::int16_t Puissance;
  std::int32_t Frequence;
  std::int32_t Copie12;
  std::uint16_t Vitesse;  // unsigned: jump speeds pass 32,767
  std::int16_t Passes;
  std::int32_t FocusFin;
  std::int16_t TypeStylo;
  std::int16_t AirAssist;
  std::int32_t FocusDebut;
  std::int16_t Option2;
  std::int16_t Option1;
};
static_assert(sizeof(SlotStylo) == 32);
constexpr int kSlotSaut = 8;

struct QuadCouleur {
  std::uint8_t Bleu, Vert, Rouge, Reserve;
};

struct PaireVitesseAngle {
  std::int32_t Angle;
  std::int32_t Vitesse;
};

constexpr int kNombreMessages = 18;
constexpr int kTailleTableStylos = 259;  // widths of pens 0-256, the largest width, one spare
constexpr int kIndexLargeurMax = 257;
constexpr int kTaillePaletteStylos = 257;  // pens 0-256

struct ContexteConversion {
  const char* NomPeripherique;
  std::int32_t TableStylos[kTailleTableStylos];
  QuadCouleur PaletteStylos[kTaillePaletteStylos];
  QuadCouleur PaletteRaster[8];
  std::int32_t ModeHPGL;  // 1 after ESC%#B, 0 after ESC%#A
  std::int32_t StyloCourant;  // last pen whose colour class went to the vector temp file; -1 none
  FILE* FichierVecteurs;
  long long FinVecteursPage;
  std::int32_t NombreStylos;

  BlocEntete Entete;
  SlotStylo Slots[9];

  std::uint32_t Options;
  bool MotifTest;  // points are already in working units
  std::int32_t LargeurUtile, HauteurUtile;  // raster plate extent in dots
  std::int32_t EtendueX, EtendueY;          // largest column and row stored
  std::int32_t LargeurPixelsStylo;

  std::uint8_t BlocTraitementA[pj::TailleBlocA];
  std::uint8_t BlocTraitementB[pj::TailleBlocB];

  std::int32_t ResolutionRaster;
  std::uint8_t NiveauxGrisClasses[8];
  std::uint32_t OperationFusion;  // raster operation of MC and ESC*l#O; 0xCC0020 plain copy
  std::uint8_t* LigneFond;  // the raster's content under the row being stored
  std::size_t TailleLigneFond;
  const char* const* TableMessages;
  std::int32_t ZoneInterdite[4];
  std::int32_t TailleChampX, TailleChampY;
  double AngleMarquage;  // radians
  std::int32_t ResolutionVecteurs;
  std::int32_t NombreRepetitions;
  bool ModeleLimite;
  HDC ContexteImprimante;
  std::int32_t DecalageAZ;
  std::int32_t FocusCourant;  // sum of the focus moves written since the page set-up
  std::int32_t PasFocusMin;
};

constexpr std::size_t kTailleLignePlan = 32772;

struct BoiteEnglobante {
  double XMin, XMax, YMin, YMax;
};

// A point of the vector temp file and of the polygon buffer, in plotter units.
struct PointHPGL {
  float x, y;
};

struct EtatAnalyse {
  std::uint8_t* Tampon;
  std::uint8_t* Curseur;
  std::uint8_t* Fin;
  std::int32_t FinDePage;
  std::int32_t Arret;
  std::size_t Capacite;  // bytes the buffer can hold
  // A command the data ends inside is run again from Reprise once more data has come:
  // from its start, or, for a coordinate list, as CommandeReprise from its last whole pair.
  std::uint8_t* Reprise;
  std::int32_t CommandeReprise;       // mnemonic; 0: a new command begins at Reprise
  std::uint64_t Ecritures;         // vector records and polygon points written on the page
  std::uint64_t EcrituresReprise;  // ... when Reprise was taken
  std::size_t Attente;  // bytes left by a run that stopped inside a command
  BoiteEnglobante Boite;
  // Raster row being decoded, one row per plane, and each plane's previous row.
  std::uint8_t LignesPlan[3][kTailleLignePlan];
  std::uint8_t LignesGraine[3][kTailleLignePlan];
  std::int32_t PlanCourant;  // -1: the next transfer starts a row
  std::int32_t DernierPlan;  // bits per index - 1
  std::int32_t OctetsLigne;  // bytes per plane row
  std::int32_t PixelsLigne;  // source width
  std::int32_t EspaceCouleur;  // 10: one grey byte per pixel
  std::int32_t CodagePixels;
  std::int32_t ModeCompression;
  std::int32_t Rouge, Vert, Bleu;  // next colour index assignment
  std::int32_t SensLigne;  // 0: next line forward, 1: reverse
  std::int32_t Transparence;  // TR and ESC*v#N; the raster store reads 0 as transparent
  float RotationPage;         // degrees, applied at each page set-up
};

constexpr std::int32_t kMaxPointsPolygone = 1000000;
constexpr std::int32_t kMaxSousChemins = 100000;
constexpr float kMarqueDeplacement = 4000000.0f;  // added to x of a point reached by a move

struct EtatSortie {
  // Polygon buffer: the storage grows on demand up to its limits; the counts say what is used.
  std::int32_t ModePolygone;
  std::int32_t NombrePointsPolygone;
  std::vector<PointHPGL> PointsPolygone;
  PointHPGL BoitePolygoneMin, BoitePolygoneMax;
  std::int32_t NombreSousChemins;
  std::vector<std::int32_t> LongueursSousChemins;
  HANDLE hRasterGris;
  HANDLE hRastersClasse[8];
  std::int32_t LargeurRasterGris, HauteurRasterGris;
  std::int32_t LargeurRasterClasse, HauteurRasterClasse;
  std::uint8_t FondRasterGris;  // what the grey raster's rows hold until stored: 255 white, 0 no power
  std::uint8_t ClasseCourante;
  std::int32_t RasterX, RasterY;  // where the next raster row goes, in dots
  std::int32_t LargeurCourante, HauteurCourante;  // geometry of the raster being prepared
  std::uint8_t* LigneTampon;
  std::size_t TailleLigneTampon;
  FILE* FichierMachine;
  HANDLE Imprimante;
  std::int32_t DernierX, DernierY;  // raster head position
  double DebutRasterX, DebutRasterY;
  long long PositionDebutRaster;  // repeat start in the job file
  std::uint16_t TableVitesses[256];
  PaireVitesseAngle TableVitesseAngle[15];
  std::int32_t EtatStylo;  // 0 none, 1 'PU' pending, 2 'PD' pending
  std::uint32_t MasqueContenu;
  std::uint32_t CompteurOctets;
  long long PositionTaille;  // file position of the size field
  bool PasDeTransmission;
  std::uint16_t DrapeauxJob;
  double CumulTemps;
};

extern ContexteConversion Contexte;
extern EtatAnalyse Analyse;
extern EtatSortie Sortie;

// What unwinds a job to `debut` once its message has been shown.
struct AbandonJob {
  int message;
};

// Messages
enum Message : int {
  MsgBitmap = 0,
  MsgCreationFichier = 1,
  MsgDimensionsPlaque = 2,
  MsgDpi = 3,
  MsgEcritureFichier = 4,
  MsgFichierTemporaire = 5,
  MsgImprimante = 6,
  MsgLectureFichier = 7,
  MsgMemoire = 8,
  MsgPointeur = 9,
  MsgSpooler = 10,
  MsgSyntaxe = 11,
  MsgZoneInterdite = 16,
  MsgAvertissement = 17,
};
const char* const* TableMessagesLangue(int langue);
void AfficheMessage(const ContexteConversion& ctx, int message);
[[noreturn]] void ErreurFatale(const ContexteConversion& ctx, int message);
[[noreturn]] void ErreurFatale(int message);

// Speed tables
extern const std::array<std::uint16_t, 256> mms_asic_0;
extern const std::array<std::uint16_t, 256> mms_asic_1;
extern const std::array<std::uint16_t, 256> mms_asic_2;
extern const PaireVitesseAngle TableVitesseAngleDefaut[15];

void ImporteParametres(ContexteConversion& ctx, EtatSortie& sortie, const ParametresJob& params);
void InitContexteConversion(ContexteConversion& ctx, EtatAnalyse& analyse, EtatSortie& sortie);
void InitBoiteEnglobante(EtatAnalyse& analyse);

// Units
std::int32_t Arrondit(double valeur);
double ConvertitPointsEnUnites(std::int32_t points, float resolution);
std::int32_t ConvertitUnitesEnPoints(double longueur, float resolution);

// Temporary files
FILE* OuvreFichierBrouillon(ContexteConversion& ctx);
HANDLE CreeFichierTemp(ContexteConversion& ctx);
int EcritFichierTemp(ContexteConversion& ctx, HANDLE& fichier, DWORD n, const void* tampon,
                     DWORD offsetBas, DWORD offsetHaut);
int LitFichierTemp(ContexteConversion& ctx, HANDLE& fichier, DWORD n, void* tampon,
                   DWORD offsetBas, DWORD offsetHaut);
void CompacteLignesBande(ContexteConversion& ctx, EtatSortie& sortie, HANDLE& raster, int genre);

// Job file output
constexpr std::uint32_t kPlafondModeleLimite = 20970100;
// The largest job the controller takes; it refuses bigger ones.
constexpr std::uint32_t kTailleJobMax = 20970000;
// Whether n more bytes keep the job file within kTailleJobMax.
inline bool TientDansLeJob(const EtatSortie& sortie, std::uint64_t n) {
  return n <= kTailleJobMax && sortie.CompteurOctets <= kTailleJobMax - n;
}
std::uint32_t EcritJob(ContexteConversion& ctx, EtatSortie& sortie, const void* donnees,
                       std::size_t n);
// As EcritJob, but reports nothing: for the abort tail, whose file is discarded anyway.
std::size_t EcritJobSilencieux(ContexteConversion& ctx, EtatSortie& sortie, const void* donnees,
                               std::size_t n, bool& erreur);
std::uint32_t EcritMots16(ContexteConversion& ctx, EtatSortie& sortie, void* donnees,
                          std::size_t n);
std::uint32_t EcritMots32(ContexteConversion& ctx, EtatSortie& sortie, void* donnees,
                          std::size_t n);

// The printer's name; empty when it cannot be had.
std::string NomImprimante(HANDLE imprimante);
// Printer data value for the host; failures are not reported.
void EcritDonneeImprimante(HANDLE imprimante, const char* nom, DWORD type, const void* donnees,
                           DWORD taille);
