// Labels, symbols and user characters on the default page: characters 50 x 54 plotter
// units, an advance of 75 and a line of 108; a cell unit is 12.5 wide and 9 high.
#include "labels.h"
#include "traceur.h"

#include <cstring>

namespace {

using V = std::vector<std::string>;

class Labels : public Traceur {
 protected:
  // Records after the first n.
  V apres(std::size_t n) const {
    const V tout = lisible(enregistrements());
    return n < tout.size() ? V(tout.begin() + static_cast<long>(n), tout.end()) : V{};
  }
  // The first stroke point of the label drawn at (1000, 1000).
  std::string debut(const std::string& commandes) {
    TearDown();
    SetUp();
    execute(commandes + "PA1000,1000;" + texte_);
    const V r = apres(1);
    return r.empty() ? "" : r[0];
  }
  std::string texte_ = "LBAB\x03";
};

TEST_F(Labels, CharsetsHaveTheirGlyphCountsAndEveryGlyphStartsWithAMove) {
  const int attendus[8] = {94, 94, 93, 93, 104, 114, 113, 115};
  for (int j = 0; j < 8; ++j) {
    int n = 0;
    for (int c = 0; c < 128; ++c) {
      const char* g = JeuxCaracteresTrait[j][c];
      if (!*g) continue;
      ++n;
      EXPECT_EQ(static_cast<unsigned char>(g[0]) & 0x80, 0) << "charset " << j << " code " << c;
    }
    EXPECT_EQ(n, attendus[j]) << "charset " << j;
  }
  for (int c = 33; c < 127; ++c) EXPECT_NE(*JeuxCaracteresTrait[0][c], 0) << c;
  EXPECT_STREQ(JeuxCaracteresTrait[0][int{'A'}], "\x14\x99\xAA\xCA\xD9\xD4\x16\xD6");
  EXPECT_STREQ(JeuxCaracteresTrait[0][int{'1'}], "\x24\xC4\x34\xBA\xA9");
  EXPECT_STREQ(JeuxCaracteresTrait[0][int{'.'}], "\x34\xA4\xA5\xB5\xB4");
  EXPECT_STREQ(JeuxCaracteresTrait[0][int{' '}], "");
  for (int j : {2, 3})
    for (int c : {126, 127}) EXPECT_STREQ(JeuxCaracteresTrait[j][c], "") << j << " " << c;
}

TEST_F(Labels, ALabelDrawsItsStrokesAndEndsAtTheNextPosition) {
  execute("PA0,0;LBA\x03");
  EXPECT_EQ(lisible(enregistrements()),
            (V{"M 0,0", "M 0,0", "D 0,45", "D 12.5,54", "D 37.5,54", "D 50,45", "D 50,0",
               "M 0,18", "D 50,18", "M 75,0"}));
  // The current point follows the label: a relative draw starts at its end.
  execute("PD;PR10,0;");
  EXPECT_EQ(apres(10), (V{"D 85,0"}));
}

TEST_F(Labels, EachLabelOriginShiftsThePositionAndSetsTheOffset) {
  // "AB" is two characters wide; 'A' starts at its cell's origin.
  const std::pair<int, const char*> cas[] = {
      {1, "M 1000,1000"},   {2, "M 1000,964"},  {3, "M 1000,928"},  {4, "M 937.5,1000"},
      {5, "M 937.5,964"},   {6, "M 937.5,928"}, {7, "M 875,1000"},  {8, "M 875,964"},
      {9, "M 875,928"},     {11, "M 1025,1036"}, {12, "M 1025,964"}, {13, "M 1025,892"},
      {14, "M 937.5,1036"}, {15, "M 937.5,964"}, {16, "M 937.5,892"}, {17, "M 850,1036"},
      {18, "M 850,964"},    {19, "M 850,892"},  {10, "M 1000,1000"}, {0, "M 1000,1000"}};
  for (const auto& [origine, attendu] : cas)
    EXPECT_EQ(debut("LO" + std::to_string(origine) + ";"), attendu) << "LO" << origine;
  // Upper-half characters count in the width: one character, right-aligned.
  texte_ = "LB\xE9\x03";
  EXPECT_EQ(debut("LO7;"), "M 950,1018");
}

TEST_F(Labels, CarriageReturnLineFeedBackspaceAndTab) {
  // B one line below A at the label start; CR re-applies the origin to the next line.
  texte_ = "LBA\r\nB\x03";
  execute("PA1000,1000;" + texte_);
  EXPECT_EQ(apres(12)[0], "M 1000,892");
  texte_ = "LBA\r\nBB\x03";
  debut("LO7;");
  EXPECT_EQ(apres(12)[0], "M 875,892");  // right-aligned on its own width
  // BS goes back one character, HT half of one, VT one line up.
  TearDown();
  SetUp();
  execute("PA0,0;LBA\bB\tB\vB\x03");
  const V r = lisible(enregistrements());
  EXPECT_EQ(r[10], "M 0,0");
  EXPECT_EQ(r[24], "M 37.5,0");
  EXPECT_EQ(r[38], "M 112.5,108");
}

TEST_F(Labels, BufferedTextsAreShiftedAsABlock) {
  // PB counts every line: A, then BBB one line below, both at the block's left edge.
  execute("BLA\r\nBBB\x03LO7;PA1000,1000;PB;");
  const V r = apres(1);
  EXPECT_EQ(r[0], "M 800,1108");
  EXPECT_EQ(r[11], "M 800,1000");
  TearDown();
  SetUp();
  execute("BLA\r\nB\r\nC\x03LO2;PA1000,1000;PB;");
  EXPECT_EQ(apres(1)[0], "M 1000,1072");  // one line up, then a third of a line down
}

TEST_F(Labels, ALabelTheMemoryCannotHoldEndsTheJob) {
  win32test::inject(win32test::Call::Allocation);
  EXPECT_EQ(abandonne("LB" + std::string(400, 'x') + "\x03"), MsgMemoire);
  EXPECT_EQ(messages(), (V{"Memory error"}));
}

TEST_F(Labels, TerminatorCharsetsAndUpperHalfCodes) {
  execute("DT#;PA0,0;LBXYZ#");
  EXPECT_EQ(lisible(enregistrements()).back(), "M 300,0");  // the # is drawn too
  execute("DT\x03;PA0,0;LBXYZ\x03");
  EXPECT_EQ(lisible(enregistrements()).back(), "M 225,0");
  // Code 193 draws glyph 65 of charset 7 in charset 0, nothing in charset 1.
  TearDown();
  SetUp();
  execute("PA0,0;LB\xC1\x03");
  const V a = lisible(enregistrements());
  EXPECT_EQ(a.size(), 2 + std::strlen(JeuxCaracteresTrait[7][65]));
  TearDown();
  SetUp();
  execute("CS1;PA0,0;LB\xC1\x03");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "M 75,0"}));
  // SO takes the alternate charset (2: '\' is c cedilla), SI the standard one back; codes
  // 126 and 127 of charset 2 draw nothing.
  TearDown();
  SetUp();
  execute("CA2;PA0,0;LB\x0E\\~\x0F\\\x03");
  const V b = apres(1);
  const std::size_t cedille = std::strlen(JeuxCaracteresTrait[2][int{'\\'}]);
  const std::size_t barre = std::strlen(JeuxCaracteresTrait[0][int{'\\'}]);
  ASSERT_EQ(b.size(), 1 + cedille + 1 + 1 + 1 + barre + 1);
  EXPECT_EQ(b[cedille + 1], "M 75,0");
  EXPECT_EQ(b[cedille + 2], "M 150,0");
  EXPECT_EQ(b.back(), "M 225,0");
}

TEST_F(Labels, AccentsAreDrawnOverThePreviousCharacter) {
  execute("CS2;PA0,0;LBe'\x03");
  // The acute accent of charset 2 from (25, 63) to (37.5, 72), then the position stays.
  const V r = lisible(enregistrements());
  EXPECT_EQ(V(r.end() - 4, r.end()), (V{"M 75,0", "M 25,63", "D 37.5,72", "M 75,0"}));
}

TEST_F(Labels, VerticalLabelsGoDownOneLinePerCharacter) {
  execute("DV1;PA0,0;LBAB\x03");
  const V r = lisible(enregistrements());
  EXPECT_EQ(r[9], "M 0,-108");
  EXPECT_EQ(r[10], "M 0,-108");  // B's first point
  EXPECT_EQ(r.back(), "M 0,-216");
}

TEST_F(Labels, TextFollowsTheRotationAndKeepsToTheInputWindow) {
  execute("RO90;PA100,0;LBA\x03");
  EXPECT_EQ(apres(1)[0], "M 0,100");
  EXPECT_EQ(apres(1)[1], "D -45,100");
  // The window is in the units of the commands: strokes beyond its edge become moves.
  TearDown();
  SetUp();
  execute("IW0,0,1000,1000;PA980,0;LBA\x03");
  EXPECT_EQ(apres(1), (V{"M 980,0", "D 980,45", "D 992.5,54", "M 1017.5,54", "M 1030,45",
                         "M 1030,0", "M 980,18", "M 1030,18", "M 1055,0"}));
}

TEST_F(Labels, SymbolsAreCentredOnEveryPointInEveryCharset) {
  // The mean of A's points is (25, 29.25) from its origin.
  execute("SMA;PA1000,1000;");
  V r = apres(1);
  EXPECT_EQ(r.front(), "M 975,970.75");
  EXPECT_EQ(r.back(), "M 1000,1000");
  EXPECT_EQ(r.size(), 9u);
  TearDown();
  SetUp();
  execute("CS1;SMA;PA1000,1000;");
  EXPECT_EQ(apres(1).front(), "M 975,970.75");
  // Nothing to draw: a move back to the point.
  TearDown();
  SetUp();
  execute("CS2;SM~;PA1000,1000;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 1000,1000", "M 1000,1000"}));
}

TEST_F(Labels, UserCharactersAndCharacterMoves) {
  // One character width along the baseline, then up two thirds of the height.
  execute("PA0,0;UC99,4,0,-99,0,6;");
  EXPECT_EQ(lisible(enregistrements()), (V{"M 0,0", "D 50,0", "M 50,36", "M 75,0"}));
  execute("PA100,100;CP2,1;");
  EXPECT_EQ(apres(4), (V{"M 100,100", "M 250,208"}));
  // Without numbers: a line feed and a carriage return to the label start.
  execute("PA100,100;LBA\x03" "CP;");
  EXPECT_EQ(lisible(enregistrements()).back(), "M 100,-8");
}

}  // namespace
