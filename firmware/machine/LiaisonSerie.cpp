#include "LiaisonSerie.h"

#if MLAS_SERIAL_SINGLE_PORT
#include "serial.h"
#else
#include "zkserial.h"
#endif

#include <initializer_list>

unsigned char OuvreLigne(unsigned char port, int speed, unsigned char parity, unsigned char data,
                         unsigned char stop)
{
    return InitCom(port, speed, parity, data, stop);
}

#if MLAS_SERIAL_SINGLE_PORT

unsigned char LitLigneBMode(unsigned char, void* buffer, int length, unsigned short timeout)
{
    return GetBufferFromUART_BMode(buffer, length, timeout);
}

unsigned char EcritLigne(unsigned char, const void* buffer, int length)
{
    return SendBufferToUART(buffer, length);
}

void FermeLignes()
{
    CloseUART();
}

#else

unsigned char LitLigneBMode(unsigned char port, void* buffer, int length, unsigned short timeout)
{
    return GetBufferFromUART_BMode(port, buffer, length, timeout);
}

unsigned char EcritLigne(unsigned char port, const void* buffer, int length)
{
    return SendBufferToUART(port, buffer, length);
}

void FermeLignes()
{
    for (unsigned char port : {1, 2, 3}) CloseUART(port);
}

#endif
