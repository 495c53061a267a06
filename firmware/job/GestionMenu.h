// The console service menu of "-menu": the operator picks a marking loop or a
// service action: the laser source's serial commands (fibre line), the raster
// and frequency parameters (KM250 line), tests of the rotation card.
#pragma once

#include <cstdint>

// Shows the build's menu and returns the choice. An answer that is not a
// number from 0 to 255 is refused and the menu shown again. When the console
// ends instead, bConsoleFermee is set and the result means nothing.
uint8_t StartMenu();
// Runs a service choice of the mode loop; false when it ends the program.
bool ModeDeService(uint8_t choix);

// Source commands of the fibre line, until the choice 7.
int SendCmdes();
int MenuCmdes();
// Sends the frame of a command choice on the source's UART; 0.
int GestionCmdes(int choix);

void AfficheVariationFreq();
