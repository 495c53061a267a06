// Operator-interface board ("GL") on UART 2: frames ESC letter L parameters CR,
// the frame reader, the event poll, the senders and the start-up frames; the
// fibre line's start-up of its serial links.
// mlas-km250-viper has no board link: none of this is defined in that build.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// InitFreqLFMin of the marking loops, which LFInitFiberLaser runs last; set by
// the start-up (none: nothing is run).
extern void (*AppelInitFreqLFMin)();

unsigned char InitPortRSPC_Viper();
unsigned char InitPortRSGL_Viper();
unsigned char InitPortRSViper_SourceQL();
void InitTabDeCde();
void InitComGL_Viper();
void LFInitFiberLaser();

// Makes Test_Reset serve the board's events with this build's poll.
void BrancheEvenementsPupitre();

uint32_t LireTimer();

// One frame within timeout milliseconds; etape 0 waits for the ESC, any other
// value starts after it. The frame text (letter, L, parameters, CR; a zero
// parameter ends it), empty when no frame came.
std::string LectRSRepGL(float timeout, int etape);
bool bLectureTrame(std::string& trame);
int OctetdeCde(const unsigned char* octet);

int LFTestSiEventEnCours();
int TestSiEventEnCours();
int TstSiDdeModeEco(std::string_view trame);
int TstSiDdeModeNormal(std::string_view trame);
int TstSiKeyON(std::string_view trame);
int TstSiKeyOFF(std::string_view trame);
int TstSiAlarme(std::string_view trame);

unsigned char RepACdeModeEco();
unsigned char RepACdeModeNormal();
unsigned char RepACdeKeyON();
unsigned char RepACdeKeyOFF();
unsigned char RepACdeAlarme();
void DdeStatus();

unsigned char EnvoiGLCdeStart();
unsigned char EnvoiGLCdeDiodes(unsigned char etat);
unsigned char EnvoiGLCdeResetPIC();
unsigned char EnvoiGLStatus();

// KM250 line start-up frame and what it carries.
void EnvoiGLCdeViperStarted();
int LitIP();
bool TraitementChaine(std::string_view texte, std::span<uint8_t, 4> octets);
void LitVersionFirmware();
void LectureVersionDSP();

void OnSIGSTOPMARKING(int signal);
