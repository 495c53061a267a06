// Settings import as seen in the job header, and the converter context it fills.
#include "outils.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iomanip>

namespace {

settings::Record complet() {
  settings::Record r = settings::Record::typical();
  r.origin(1000, 2000).plate(100000, 80000).cylinderDiameter(40000).requestedMarkingType(1);
  r.resolution(300, 600).orientation(2).insideOutside(3).u16(28, 13).u16(24, 15).u16(72, 17);
  r.u16(60, 1).u16(54, 4).u32(56, 2500).speedTable(1).u16(50, 22).options(0x47A);
  r.focalIndex(2).focal(2, 401, 402, 403, 414, 415, 416).delays(31, 32, 33).jumpSpeed(34000);
  r.markingType(35).u16(500, 36).u16(502, 37).jobType(10).u32(508, 38000).u32(516, 99);
  r.u16(488, 42).u16(490, 43).u16(492, 47).u16(494, 48).u16(496, 49).u32(860, 520).i32(864, -53);
  const char tete[] = "HEAD0123456789AB";
  std::memcpy(r.data() + 396, tete, 16);
  return r;
}

// The printer's Unit100 value.
void valeurUnit100(const DossierSpool& spool, HANDLE imprimante, DWORD valeur) {
#ifdef _WIN32
  (void)spool;
  char nom[] = "Unit100";
  SetPrinterDataA(imprimante, nom, REG_DWORD, reinterpret_cast<LPBYTE>(&valeur), sizeof valeur);
#else
  (void)imprimante;
  std::ofstream(spool.imprimante() / "values.txt")
      << "Unit100=dword:" << std::hex << std::setw(8) << std::setfill('0') << valeur << "\n";
#endif
}

}  // namespace

TEST_F(Convertisseur, HeaderOfAnEmptyPageJobDecodesFieldByField) {
  const jobfile::Job j = jobAvec(complet(), [&] { EcritFinPage(Contexte, Sortie); });
  EXPECT_EQ(j.preHeader, "!LB 1;");
  EXPECT_EQ(j.tag, "!KM 240;");
  EXPECT_EQ(j.headerLength, 240);
  EXPECT_EQ(std::string(j.head.begin(), j.head.end()), "HEAD0123456789AB");
  const std::vector<std::int32_t> attendu = {
      1000, 2000, 0,   775, 1,   125664, 300, 600, 50, 500, 100000, 80000, 3,  13,   0,     15,
      2,    17,   0,   -1,  10000, 1,    22,  1,   1,  0,   2,      402,   415, 403, 416, 31,
      32,   33,   34000, 35, 36,  37,     38000, 10, 401, 414, 42,    43,    1,  1,    0,     47,
      48,   49,   1,   1,   52,  -53,    1,   1};
  EXPECT_EQ(j.fields, attendu);
  EXPECT_EQ(j.codes(), "AI PU TE TE OP JF");
  EXPECT_EQ(Sortie.PositionTaille, 214);
}

TEST_F(Convertisseur, OrientationAboveThreeExchangesResolutionsAndPlateInTheFileOnly) {
  const jobfile::Job j = jobAvec(complet().orientation(4));
  EXPECT_EQ(j.field(ChDpiX), 600);
  EXPECT_EQ(j.field(ChDpiY), 300);
  EXPECT_EQ(j.field(ChPlaqueX), 80000);
  EXPECT_EQ(j.field(ChPlaqueY), 100000);
  EXPECT_EQ(Contexte.Entete.Champs[ChDpiX], 300);
  EXPECT_EQ(Contexte.Entete.Champs[ChPlaqueX], 100000);
}

TEST_F(Convertisseur, MarkingAngleCorrectsResolutionXAfterTheExchange) {
  // 0.5 rad: 600 / cos(0.5) = 683.7
  const jobfile::Job j =
      jobAvec(complet().orientation(5).flags(1).requestedMarkingType(2).insideOutside(0).angle(5000));
  EXPECT_DOUBLE_EQ(Contexte.AngleMarquage, 0.5);
  EXPECT_EQ(j.field(ChDpiX), 684);
  EXPECT_EQ(j.field(ChDpiY), 300);

  // The angle applies only with flag bit 0, marking type 2 or 4100 and inside marking 0.
  importe(complet().flags(1).requestedMarkingType(2).insideOutside(1).angle(5000));
  EXPECT_EQ(Contexte.AngleMarquage, 0.0);
  importe(complet().flags(1).requestedMarkingType(4100).insideOutside(0).angle(5000));
  EXPECT_DOUBLE_EQ(Contexte.AngleMarquage, 0.5);
  importe(complet().flags(0).requestedMarkingType(2).insideOutside(0).angle(5000));
  EXPECT_EQ(Contexte.AngleMarquage, 0.0);
}

TEST_F(Convertisseur, Unit100PrinterValueSelectsHundredthsOfAMillimetre) {
  DossierSpool spool;
  Sortie.Imprimante = spool.ouvre();
  valeurUnit100(spool, Sortie.Imprimante, 1);
  const jobfile::Job j = jobAvec(complet().forbidden(-15, 25, 1000, 2009).focusOffset(12345));
  EXPECT_EQ(j.field(ChOrigineX), 100);
  EXPECT_EQ(j.field(ChPerimetre), 12566);
  EXPECT_EQ(j.field(ChPlaqueY), 8000);
  EXPECT_EQ(j.field(ChUnite), 0);
  EXPECT_EQ(Contexte.ZoneInterdite[0], -1);
  EXPECT_EQ(Contexte.ZoneInterdite[3], 200);
  EXPECT_EQ(Contexte.DecalageAZ, 1234);
  EXPECT_EQ(ConvertitUnitesEnPoints(2540, 300), 300);

  // Any other value, or none, keeps 1/1000 mm; the offset is divided by 10 all the same.
  valeurUnit100(spool, Sortie.Imprimante, 2);
  importe(complet().focusOffset(12345));
  EXPECT_EQ(Contexte.Entete.Champs[ChUnite], 1);
  EXPECT_EQ(Contexte.Entete.Champs[ChPlaqueX], 100000);
  EXPECT_EQ(Contexte.DecalageAZ, 1234);
#ifndef _WIN32
  // No value at all (Wine cannot remove one).
  std::filesystem::remove(spool.imprimante() / "values.txt");
  importe(complet());
  EXPECT_EQ(Contexte.Entete.Champs[ChUnite], 1);
#endif
  ClosePrinter(Sortie.Imprimante);
  Sortie.Imprimante = nullptr;
}

TEST_F(Convertisseur, TagAndBlockLengthFollowModelAndJobType) {
  struct Cas {
    std::uint16_t modele, type;
    const char* tag;
    std::size_t champs;
  };
  for (const Cas& c : {Cas{769, 2, "!PC 200;", 46}, Cas{769, 0, "!ZK 200;", 46},
                       Cas{775, 0, "!KM 240;", 56}, Cas{768, 0, "!KM 200;", 46},
                       Cas{775, 2, "!PC 240;", 56}, Cas{774, 12, "!ZK 200;", 46}}) {
    SCOPED_TRACE(c.tag);
    const jobfile::Job j = jobAvec(settings::Record::typical().model(c.modele).jobType(c.type));
    EXPECT_EQ(j.tag, c.tag);
    EXPECT_EQ(j.fields.size(), c.champs);
    EXPECT_EQ(j.field(ChTypeFichier), c.type == 12 ? 1 : c.type);
    EXPECT_EQ(Contexte.ModeleLimite, c.modele <= 774);
  }
}

TEST_F(Convertisseur, FocalIndexOutsideTheTableGivesZeroFocalFields) {
  settings::Record r = complet().focalIndex(12);
  r.u16(542 + 28 * 12, 777);  // where a 13th entry would be
  importe(r);
  const std::int32_t* ch = Contexte.Entete.Champs;
  EXPECT_EQ(ch[ChFocale], 12);
  for (int i : {27, 28, 29, 30, 40, 41}) EXPECT_EQ(ch[i], 0) << "#" << i;

  // A record shorter than the table is never read past its end.
  settings::Record court(600);
  court.focalIndex(9);
  ImporteParametres(Contexte, Sortie, ParametresJob(court.data(), court.size()));
  EXPECT_EQ(ch[40], 0);
}

TEST_F(Convertisseur, PenSlotsAndImageTreatmentComeFromTheSettings) {
  settings::Record r = complet();
  r.pen(3, 700, 4, 13, 100000, 90).penFocus(3, 2000, 5000).penAir(3, -7).penOptions(3, 125, 250);
  r.u16(86, 1).minFocusStep(55);
  importe(r);
  const SlotStylo& s = Contexte.Slots[3];
  EXPECT_EQ((std::vector<int>{s.NiveauMax, s.Vitesse, s.Passes, s.TypeStylo, s.Frequence, s.Puissance,
                              s.FocusDebut, s.FocusFin, s.AirAssist, s.Option2, s.Option1}),
            (std::vector<int>{127, 700, 4, 13, 100000, 90, 500, 700, -7, 12, 25}));
  const SlotStylo& saut = Contexte.Slots[kSlotSaut];
  EXPECT_EQ((std::vector<int>{saut.NiveauMax, saut.Vitesse, saut.Passes, saut.Puissance}),
            (std::vector<int>{0, 34000, 1, 0}));
  EXPECT_EQ(Contexte.PasFocusMin, 5);
  // Relief on: the grey switch is forced, the sign is 0, the marking type leaves block A.
  EXPECT_EQ(Contexte.BlocTraitementA[2], 1);
  EXPECT_EQ(Contexte.Entete.Champs[ChSigneTraitement], 0);
  EXPECT_EQ(Contexte.Entete.Champs[ChTypeMarquage], 35);
  EXPECT_EQ(Contexte.BlocTraitementA[8], 0);
}

TEST_F(Convertisseur, DefaultsColourLevelsAndSpeedTables) {
  importe(settings::Record::typical().speedTable(0));
  const std::vector<int> niveaux(Contexte.NiveauxGrisClasses, Contexte.NiveauxGrisClasses + 8);
  EXPECT_EQ(niveaux, (std::vector<int>{127, 106, 81, 43, 120, 98, 70, 0}));
  EXPECT_EQ(Sortie.TableVitesses[12], 22);
  EXPECT_EQ(Sortie.TableVitesseAngle[0].Vitesse, 200);
  EXPECT_EQ(Sortie.TableVitesseAngle[14].Angle, 25);

  const std::vector<std::uint16_t> tete1(mms_asic_1.begin(), mms_asic_1.begin() + 12);
  EXPECT_EQ(tete1, (std::vector<std::uint16_t>{0, 0, 1, 2, 4, 6, 8, 10, 13, 15, 17, 18}));
  const std::vector<std::uint16_t> queue2(mms_asic_2.end() - 8, mms_asic_2.end());
  EXPECT_EQ(queue2, (std::vector<std::uint16_t>{198, 198, 198, 198, 199, 199, 200, 200}));
  importe(settings::Record::typical().speedTable(7));
  EXPECT_TRUE(std::equal(mms_asic_2.begin(), mms_asic_2.end(), Sortie.TableVitesses));

  // Flag bit 3 keeps the corner-speed table as it was.
  Sortie.TableVitesseAngle[0] = {0, 0};
  importe(settings::Record::typical().flags(8));
  EXPECT_EQ(Sortie.TableVitesseAngle[0].Vitesse, 0);
}
