// Runs HP-GL/2 text through the parser into a fresh vector temp file and reads the
// records back from its bytes.
#pragma once

#include "outils.h"

#include <string>
#include <vector>

struct Enregistrement {
  int code;
  float x = 0, y = 0;  // codes 1-3
  int octet = 0;       // codes 4 and 5
};

class Traceur : public Convertisseur {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The text as one page's buffer; finDePage as when it ends with "PG;".
  void execute(const std::string& texte, bool finDePage = true);
  // Runs the text and returns the message number it aborted with, or -1.
  int abandonne(const std::string& texte);
  std::vector<Enregistrement> enregistrements() const;
  std::vector<std::uint8_t> octetsVecteurs() const;

  std::string tampon_;
};

// Moves, draws and dots as "M x,y", "D x,y", "P x,y" with the coordinates rounded to
// 0.01; "C n", "MO n", "VT" for the others.
std::vector<std::string> lisible(const std::vector<Enregistrement>& e);
