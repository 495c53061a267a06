// Raster rows run through the parser into the page's temp rasters, and read back.
#pragma once

#include "traceur.h"

#include <cstdint>
#include <string>
#include <vector>

class Raster : public Traceur {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A 20 x 20 mm plate, rasters at 254 dpi: 250 x 250 pixels, 31 bytes per class row.
  static settings::Record reglages();
  // Other settings for the page: imported, merge row allocated.
  void regle(const settings::Record& r);

  std::vector<std::uint8_t> ligneGris(std::int32_t r, std::int32_t n = -1) const;
  std::vector<std::uint8_t> ligneClasse(int classe, std::int32_t r) const;
  // n grey pixels of row r from column x.
  std::vector<std::uint8_t> gris(std::int32_t r, std::int32_t x, std::int32_t n) const;
};

// The merge row and every raster of the page released, as at the page end.
void fermeRastersPage();

// The escape character followed by the text.
inline std::string esc(const std::string& s) { return "\x1b" + s; }
// An ESC*b transfer of the bytes, ended by letter.
std::string transfert(const std::vector<std::uint8_t>& octets, char lettre = 'W');
