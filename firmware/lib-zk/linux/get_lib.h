// The operator's console on the standard input: one key press, one line.
#pragma once

#include <cstddef>
#include <string>

// Set once the standard input has ended or failed: nothing more will come.
extern bool bConsoleFermee;

// The value of the last byte of one key press, or -1 when the input has ended.
int getch();

enum class SaisieConsole { Lue, TropLongue, Fin };

// One line without its line end (LF or CR LF), kept to `max` characters; a
// longer line is read to its end and reported. Fin: the input ended first.
SaisieConsole LitLigneConsole(std::string& ligne, std::size_t max);

// Drops what was typed ahead on a terminal; other inputs are kept.
void VideSaisieConsole();
