#include "serial.h"

#include "uart.h"

#include <string>

int File_Com = -1;
termios termios_p;

namespace {

constexpr long long kUniteAttente = 1000;  // microseconds per time-out unit

}  // namespace

unsigned char InitCom(unsigned char port, int speed, unsigned char parity, unsigned char data,
                      unsigned char stop)
{
    if (port > 4) {
        return 255;
    }
    return uart::Init(File_Com, termios_p, port, speed, parity, data, stop,
                      port == 0 ? std::string("error openning com1")
                                : "error to open comm " + std::to_string(port + 1));
}

unsigned char SendByteToUART(unsigned char byte)
{
    return uart::Write(File_Com, &byte, 1, true);
}

unsigned char SendBufferToUART(const void* buffer, int length)
{
    return uart::Write(File_Com, buffer, length, true);
}

unsigned char GetByteFromUART(unsigned char* byte)
{
    return uart::Read(File_Com, byte, 1);
}

unsigned char GetBufferFromUART(void* buffer, int length)
{
    return uart::Read(File_Com, buffer, length);
}

unsigned char GetByteFromUART_BMode(unsigned char* byte, unsigned short timeout)
{
    return uart::ReadWithin(File_Com, byte, 1, timeout * kUniteAttente);
}

unsigned char GetBufferFromUART_BMode(void* buffer, int length, unsigned short timeout)
{
    return uart::ReadWithin(File_Com, buffer, length, timeout * kUniteAttente);
}

unsigned char CloseUART()
{
    uart::Close(File_Com);
    return 0;
}
