// Decoder of machine job files, shared by host and firmware tests. It reads a
// whole file strictly: anything the writer would never produce is an error.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace jobfile {

// Header fields by number (block offset 16 + 4 x number), named as in docs/job-file.md.
enum Field : int {
    ChOrigineX = 0,
    ChOrigineY = 1,
    ChLibre2 = 2,
    ChModele = 3,
    ChTypeMarquageDemande = 4,
    ChPerimetre = 5,
    ChDpiX = 6,
    ChDpiY = 7,
    ChPuissanceNoir = 8,
    ChVitesseInitiale = 9,
    ChPlaqueX = 10,
    ChPlaqueY = 11,
    ChIntExt = 12,
    ChValeur28 = 13,
    ChLibre14 = 14,
    ChValeur24 = 15,
    ChOrientation = 16,
    ChSeuilPuissance = 17,
    ChTraitementB = 18,
    ChSigneTraitement = 19,
    ChLongueur56 = 20,
    ChSelecteurVitesses = 21,
    ChValeur50 = 22,
    ChTurbo = 23,
    ChTypeCorrectionX = 24,
    ChTypeCorrectionY = 25,
    ChFocale = 26,
    ChGainLineaireX = 27,
    ChGainLineaireY = 28,
    ChCorrecAngX = 29,
    ChCorrecAngY = 30,
    ChTempoSaut = 31,
    ChTempoFinVecteur = 32,
    ChTempoPremierTir = 33,
    ChVitesseSaut = 34,
    ChTypeMarquage = 35,
    ChDiffusion = 36,
    ChOrientationImage = 37,
    ChPositionnement = 38,
    ChTypeFichier = 39,
    ChGainRectX = 40,
    ChGainRectY = 41,
    ChTempoFinRotation = 42,
    ChTempoInterligne = 43,
    ChUnite = 44,
    ChMarquageUnique = 45,
    ChTailleFichier = 46,
    ChValeur492 = 47,
    ChValeur494 = 48,
    ChValeur496 = 49,
    ChOption4 = 50,
    ChOption5 = 51,
    ChValeur860 = 52,
    ChValeur864 = 53,
    ChOption6 = 54,
    ChOption10 = 55,
};

struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Element {
    uint8_t shortSpeed;
    uint8_t cornerSpeed;
    int16_t dx;
    int16_t dy;
    uint16_t length;
};

struct Record {
    size_t offset;                  // file offset of the 0xFF 0xFD marker
    std::string code;               // two letters
    uint16_t value;
    std::vector<uint8_t> line;      // packed line data after C1..C4
    std::vector<Element> elements;  // elements after PU / PD

    int16_t svalue() const { return static_cast<int16_t>(value); }
};

// One vector element with the pen state it was written under.
struct Move {
    bool draw;
    Element element;
};

struct Job {
    std::string preHeader;           // every leading "!LB..." 6-byte record
    std::string tag;                 // "!KM 240;"
    std::string tagKind;             // "KM", "ZK" or "PC"
    int headerLength = 0;            // the tag's number
    std::array<uint8_t, 16> head{};  // raw bytes at the start of the header block
    std::vector<int32_t> fields;     // the header's 32-bit fields, #0 first
    std::vector<Record> records;
    size_t bodyOffset = 0;           // file offset of the first record

    int32_t field(int i) const;
    std::string codes() const;  // record codes separated by blanks
    std::vector<const Record*> find(std::string_view code) const;
    std::vector<Move> moves() const;  // every element in file order
};

Job decode(std::span<const uint8_t> bytes);
// A job's body alone: records up to and including the end-of-job record.
std::vector<Record> decodeBody(std::span<const uint8_t> bytes);
Job decodeFile(const std::string& path);

// Value of a 32-bit pair (high half first).
int32_t pair32(const Record& high, const Record& low);

// PackBits line data back to the line (the 0x80 pad is a no-op).
std::vector<uint8_t> unpackBits(std::span<const uint8_t> packed);

}  // namespace jobfile
