// The serial ports whatever the build's serial layer: five ports, or the
// single port of the builds with serieUnique (the PC link), whose calls take
// no port number. The job layer goes through these alone.
#pragma once

unsigned char OuvreLigne(unsigned char port, int speed, unsigned char parity, unsigned char data,
                         unsigned char stop);
unsigned char LitLigneBMode(unsigned char port, void* buffer, int length, unsigned short timeout);
unsigned char EcritLigne(unsigned char port, const void* buffer, int length);
// Ports 1 to 3, or the single port.
void FermeLignes();
