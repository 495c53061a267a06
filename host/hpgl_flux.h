// The HP-GL/2 stream parser: walks the page's buffered print data, hands mnemonics to
// the command interpreter and escape sequences to the raster escape groups, and gives
// every command its byte and number readers.
#pragma once

#include "contexte.h"

constexpr int kEchap = 27;

// Runs until the stop flag is set: at the end of the data, or, unless the buffer ends a
// page, once fewer than 5,000,000 bytes remain (the command under way finishes first).
void AnalyseFluxHPGL();

// Next byte 0-255. At the end of the data: with finPermise the stop flag is set and 0
// returned; without it "Syntax error" ends the job.
int LitOctetFlux(bool finPermise);
// The last byte read is read again.
void RemetOctetFlux();

enum ResultatNombre : int {
  NombreLu = 0,        // the value was written
  PasDeNombre = 1,     // the parameter list ended
  NombreInvalide = 11  // number text that does not convert
};
// One numeric parameter.
int LitNombreHPGL(float& valeur);

// The syntax message of the kind (1-4: that parameter is missing; others: "Syntax
// error"), then the end of the job. The mnemonic is not shown.
[[noreturn]] void SignaleErreurCommande(int genre, int mnemonique);

constexpr bool EstLettreHPGL(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
