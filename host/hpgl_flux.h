// The HP-GL/2 stream parser: walks the page's buffered print data, hands mnemonics to
// the command interpreter and escape sequences to the raster escape groups, and gives
// every command its byte and number readers.
#pragma once

#include "contexte.h"

#include <cstdint>

constexpr int kEchap = 27;

// Runs until the stop flag is set: at the end of the data, after a page end, or, unless
// the buffer ends a page, once fewer than 5,000,000 bytes remain (the command under way
// finishes first). When the data ends inside a command and the buffer does not end the
// page, the run stops there: the cursor goes back to where the command can be taken up
// again once more data has come (its start, or the point a coordinate list noted), and
// Analyse.Attente says how many bytes were left. A command is therefore read again from
// its start, and must change nothing it would not change the same way again before it has
// read its data; a command that draws as it reads notes where it can go on.
void AnalyseFluxHPGL();

// Next byte 0-255. At the end of the data: with finPermise the stop flag is set and 0
// returned; without it the command waits for more data, or, when the buffer ends the
// page, "Syntax error" ends the job.
int LitOctetFlux(bool finPermise);
// The next n bytes are buffered, or, unless the buffer ends the page, the command waits
// for them (at the page's end a short read is "Syntax error" as ever).
void ExigeOctetsFlux(std::int64_t n);
// The last byte read is read again.
void RemetOctetFlux();

enum ResultatNombre : int {
  NombreLu = 0,        // the value was written
  PasDeNombre = 1,     // the parameter list ended
  NombreInvalide = 11  // number text that does not convert
};
// One numeric parameter.
int LitNombreHPGL(float& valeur);

// The command has used all it read so far: should the data end inside it, it goes on
// from here as the command of this mnemonic.
void NoteRepriseCommande(int mnemonique);

// After an unknown mnemonic: a quoted string that follows (blanks allowed before it) is
// read to its closing quote and true returned; otherwise nothing is read.
bool SauteChaineGuillemets();

// The syntax message of the kind (1-4: that parameter is missing; others: "Syntax
// error"), then the end of the job. The mnemonic is not shown.
[[noreturn]] void SignaleErreurCommande(int genre, int mnemonique);

constexpr bool EstLettreHPGL(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
