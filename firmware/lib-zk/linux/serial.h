// Single serial port of the VIPER board build: each InitCom replaces the one
// open port, and every other call works on it.
#pragma once

#include <termios.h>

extern int File_Com;         // -1 while no port is open
extern termios termios_p;    // attributes applied by InitCom

unsigned char InitCom(unsigned char port, int speed, unsigned char parity, unsigned char data,
                      unsigned char stop);
unsigned char SendByteToUART(unsigned char byte);
unsigned char SendBufferToUART(const void* buffer, int length);
unsigned char GetByteFromUART(unsigned char* byte);
unsigned char GetBufferFromUART(void* buffer, int length);
// Time-outs count milliseconds.
unsigned char GetByteFromUART_BMode(unsigned char* byte, unsigned short timeout);
unsigned char GetBufferFromUART_BMode(void* buffer, int length, unsigned short timeout);
unsigned char CloseUART();
