#include "zkserial.h"

#include "uart.h"

#include <string>

int File_Com[5] = {-1, -1, -1, -1, -1};
termios termios_p[5];

namespace {

constexpr long long kUniteAttente = 100;  // microseconds per time-out unit

int Descripteur(unsigned char port)
{
    return port < 5 ? File_Com[port] : -1;
}

}  // namespace

unsigned char InitCom(unsigned char port, int speed, unsigned char parity, unsigned char data,
                      unsigned char stop)
{
    if (port > 4) {
        return 255;
    }
    return uart::Init(File_Com[port], termios_p[port], port, speed, parity, data, stop,
                      "error to open comm " + std::to_string(port + 1));
}

unsigned char SendByteToUART(unsigned char port, unsigned char byte)
{
    return uart::Write(Descripteur(port), &byte, 1, false);
}

unsigned char SendBufferToUART(unsigned char port, const void* buffer, int length)
{
    return uart::Write(Descripteur(port), buffer, length, true);
}

unsigned char GetByteFromUART(unsigned char port, unsigned char* byte)
{
    return uart::Read(Descripteur(port), byte, 1);
}

unsigned char GetBufferFromUART(void* buffer, int length)
{
    return uart::Read(File_Com[0], buffer, length);
}

unsigned char GetByteFromUART_BMode(unsigned char port, unsigned char* byte, unsigned short timeout)
{
    return uart::ReadWithin(Descripteur(port), byte, 1, timeout * kUniteAttente);
}

unsigned char GetBufferFromUART_BMode(unsigned char port, void* buffer, int length, unsigned short timeout)
{
    return uart::ReadWithin(Descripteur(port), buffer, length, timeout * kUniteAttente);
}

unsigned char CloseUART(unsigned char port)
{
    if (port < 5) {
        uart::Close(File_Com[port]);
    }
    return 0;
}
