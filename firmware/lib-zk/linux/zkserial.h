// Serial ports 0-4 (/dev/ttyS0 .. /dev/ttyS4), one descriptor each.
#pragma once

#include <termios.h>

extern int File_Com[5];          // -1 while the port is not open
extern termios termios_p[5];     // attributes applied by InitCom

unsigned char InitCom(unsigned char port, int speed, unsigned char parity, unsigned char data,
                      unsigned char stop);
unsigned char SendByteToUART(unsigned char port, unsigned char byte);
unsigned char SendBufferToUART(unsigned char port, const void* buffer, int length);
unsigned char GetByteFromUART(unsigned char port, unsigned char* byte);
unsigned char GetBufferFromUART(void* buffer, int length);
// Time-outs count units of 100 microseconds.
unsigned char GetByteFromUART_BMode(unsigned char port, unsigned char* byte, unsigned short timeout);
unsigned char GetBufferFromUART_BMode(unsigned char port, void* buffer, int length, unsigned short timeout);
unsigned char CloseUART(unsigned char port);
