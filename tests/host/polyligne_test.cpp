#include "traceur.h"

#include <string>

namespace {

using V = std::vector<std::string>;

class Polyligne : public Traceur {};

TEST_F(Polyligne, DigitsInBothModesAndFractionalBits) {
  // 8-bit: 0 is 191, +1 193, -1 194. A move to (0, 0), then a relative draw.
  execute("PA5,5;PE<=\xBF\xBF\xC1\xC2;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 5,5", "M 0,0", "D 1,-1"}));
  // 7-bit: 65 then 95, or 97 alone, are +1.
  execute("PE7<=A_a;");
  EXPECT_EQ(lisible(enregistrements()).back(), "M 1,1");
  // Two fractional bits ('>' with the digit 4): 400 and 800 are 100 and 200.
  execute("PE>C<=_\xCB?\xD8;");
  EXPECT_EQ(lisible(enregistrements()).back(), "M 100,200");
  // A run of digits past 64 bits keeps its low bits and the command goes on.
  execute("PE<=A" + std::string(20, '?') + "\xC1\xBF\xC1\xC1;");
  const V r = lisible(enregistrements());
  EXPECT_EQ(V(r.end() - 2, r.end()), (V{"M 1,0", "D 2,1"}));
}

TEST_F(Polyligne, PenFlagClippingAndSymbols) {
  // Pen 300 of 256: "Syntax error" and pen 0.
  execute("PE:W\xC8;");
  EXPECT_EQ(lisible(enregistrements()), (V{"C 8"}));
  EXPECT_EQ(messages(), (V{"Syntax error"}));
  // The pairs go through the window and symbol mode as a line list's points do: a draw
  // to (200, 50) is cut at the window's edge, and the symbol, at the point itself, is
  // outside and not drawn.
  TearDown();
  SetUp();
  execute("IW0,0,100,100;PA50,50;SM.;PE=O\xC5" "c\xC0;");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M 50,50", "D 100,50", "M 205,46.4", "M 192.5,46.4", "M 192.5,55.4",
               "M 205,55.4", "M 205,46.4", "M 200,50"}));
}

}  // namespace
