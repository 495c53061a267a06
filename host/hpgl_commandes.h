// The HP-GL/2 command interpreter and the plotter state of one page.
#pragma once

#include "contexte.h"
#include "labels.h"

#include <cstdint>
#include <vector>

constexpr PointHPGL kP1Defaut{603, 521}, kP2Defaut{10603, 7721};

struct EtatInterpreteur {
  int Mnemonique;  // command being executed, for its error reports

  PointHPGL P1, P2;      // scaling points
  PointHPGL UMin, UMax;  // SC window
  float Sx, Sy;
  bool Echelle;          // user units in use
  double Diagonale;      // |P2 - P1|

  PointHPGL PointCourant;     // in the units of the commands
  PointHPGL PositionTraceur;  // last point sent, plotter units after rotation
  PointHPGL PointPrecedent;   // start of the next segment, plotter units
  bool PlumeBaissee;
  bool Relatif;
  bool DernierDeplacement;  // restarts the dash pattern

  int TypeLigne, TypeLigneLT;  // -6 to 6, 7 solid
  double LongueurMotif, LongueurMotifLT, PhaseMotif;

  bool FenetreActive;
  PointHPGL Fenetre[2];  // IW corners as given

  float TickPositif, TickNegatif;  // fractions of the P1-P2 extent
  int CaractereSymbole;            // 0: symbol mode off
  int Terminateur;
  TexteLabel Label;

  int ClasseStylo;  // colour class of the last pen selected

  bool RotationActive;
  double AngleRotation;  // degrees, cumulative
  double CosRotation, SinRotation;

  bool PSDonne;
  float LongueurPage, LargeurPage;

  bool LabelsVerticaux;
  bool Silencieux, CouleursFixes, LargeursFixes;

  std::int32_t DebutSousChemin;  // first point of the open polygon sub-path
};
extern EtatInterpreteur Interpreteur;

// Reads the second letter and executes the command; an unknown mnemonic leaves its
// second letter to be read again, or, when a quoted string follows, skips that string.
void ExecuteCommandeHPGL(int premiere);
// Executes the command of a mnemonic already read (also a list taken up again where it
// stopped); false when the mnemonic is unknown.
bool ReprendCommandeHPGL(int mnemonique);

// IN, DF and BP: everything but the input window, rotation, pens and page size.
void InitDefautsHPGL();

// Page set-up: a fresh plotter state, rotation from the parser state, then the defaults.
void InitPageHPGL(bool silencieux = false, bool couleursFixes = false, bool largeursFixes = false);

// Page-size values given by PS (and SC, RO); 0 until then.
float LargeurPageHPGL();
float LongueurPageHPGL();

// Colour class of an RGB colour: 7 orange, else R/G/B bits, white (7) becoming 8.
int ClasseCouleur(int rouge, int vert, int bleu);
// SP and the PE pen flag: a pen out of range shows "Syntax error" and pen 0 is taken;
// a new pen writes its colour class into the vector temp file.
void SelectionneStylo(int stylo);

// Raster operation of an MC (and ESC*l#O) opcode: SRCCOPY for those it does not list.
std::uint32_t OperationRasterMC(int opcode);

// Integer parameter: truncated toward zero, held within the int range.
int EntierHPGL(float valeur);
// Page end (AF, AH, PG): the page goes to the job file and nothing more is drawn on it.
void FinDePageHPGL();
