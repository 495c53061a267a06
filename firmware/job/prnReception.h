// Job link: listeners that watch TCP and the PC serial line for the start
// instruction, the reception of the job that follows it, and its copy on disk
// ("tmpprn.prn") that survives a restart.
#pragma once

#include <atomic>
#include <cstdint>

// Link state: 1 waiting for the start instruction, 2 seen on the serial line,
// 3 seen on TCP, 4 a TCP peer closed before sending it (fibre line only).
extern std::atomic<uint8_t> CommMode;
extern std::atomic<uint8_t> bStopReceptionThreads;
extern std::atomic<int> client;  // connection of the current TCP job, -1 when none
extern int serveurTCPIP;         // listening socket, opened by the marking loop

// Job link port: MLAS_TCP_PORT, else 9100.
int PortServeurTCP();

// Feeds one byte to the calling thread's detection window; true when the
// window now holds the pattern's 6 bytes.
bool bDetectStr(const unsigned char* pattern, unsigned char byte);

// One byte of the current TCP job. Fibre line: 1 byte, 2 link quiet;
// KM250 line: 0 byte, 255 link quiet.
unsigned char GetByteFromTCPIP_timeout(unsigned char* byte, uint32_t tries);
// One byte from the link CommMode names (3 TCP, 2 serial: 1 byte, 0 quiet);
// 255 when it names neither.
unsigned char GetByte_timeout(unsigned char* byte, unsigned short timeout);

// Listener thread bodies (ThreadNew); each ends when the stop flag is set.
void* DetectTCPIPConnection(void* unused = nullptr);
void* DetectRS232Connection(void* unused = nullptr);
// The listener threads of a wait: TCP, and the serial line when asked. They
// are always stopped and joined together, before anything else uses the links.
void DemarreEcouteurs(bool serie);
void ArreteEcouteurs();
// Wait on both links, or on TCP only, until one shows the start instruction.
void DetectCommMode();
void LFWaitComTCP();

// Receives the job that follows the start instruction. A job that came whole
// (its end record, and its size where the header gives one), within the size
// limit and saved takes the place of the one in RecepBuff: 0. Anything else
// leaves the job in memory, its file and FichierOK as they were: 255.
unsigned char ReceptQ8File();
// Reloads "tmpprn.prn" into RecepBuff: 1 job loaded, 0 none or not whole (FichierOK follows).
int LoadTmpPRN();
