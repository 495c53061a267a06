// Reading the QUANTEL source on UART 3: the status menu, its reply readers and
// decoders, and the operator's typed command; emptying a UART's pending bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Drops what the port holds (up to 10 bytes, waiting at most 100 ms).
void VideBufRep(unsigned char port);

void LectureStatus();
int MenuStatus();
void GestionCdeStatus(int choix);

// Reply readers: false, with a message, when the reply does not end within
// 1 s of silence or outgrows its buffer.
bool LectureRep(unsigned char port, std::string& reponse);  // one line, CR LF cut
bool LectRepSpeRCD(std::string& reponse);                   // 12 lines
bool LectRepSpeRUC(std::string& reponse);                   // 14 lines
bool LectureRepSpeIDR(std::string& reponse);                // 2 lines
bool LectRepSpeICT(std::string& reponse);                   // 5 lines
bool LectRepSpeSBT(std::string& reponse);                   // one line, CR LF cut

// The lines of a reply, each up to its LF (CR kept); text after the last LF
// counts as a line too.
std::vector<std::string_view> LignesReponse(std::string_view reponse);

void AfficheRepCdeRCD(std::string_view reponse);
void AfficheRepCdeRUC(std::string_view reponse);
void AfficheRepCdeIDR(std::string_view reponse);
void AfficheRepCdeICT(std::string_view reponse);
void AfficheRepCdeSBT(std::string_view reponse);
void AnalyseRepSTB(char etat, int index);
void TestRepOK();

void SendCdeManuelle();
// Shows the 255 places of one read of what the source sent.
void LectureBufUART();
