// Header analysis per build: every field in its global, unit and lens set-up,
// cylinder jobs, job kinds by file type, firmware and IP jobs, the YAG loop's
// short form, and the headers that cannot be marked.
#include "banc_entete.h"
#include "etat_marquage.h"
#include "etat_rotation.h"
#include "etat_reception.h"

#include <gmock/gmock.h>

namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using namespace jobfile;

constexpr bool kViper = build::kViper;
constexpr bool kModeleLu = build::kTraits.lectureModele != build::LectureModele::Aucune;

class AnalyseEntete : public banc::Entete {};

TEST_F(AnalyseEntete, EveryFieldLandsInItsGlobal)
{
    marquage.ModelDuLaser = 0;
    if constexpr (banc::kAvecCarte) rotation.sens_DMC_OK = 0;
    Recoit(Job(Complet()));
    EXPECT_EQ(Analyse(), 8 + 240 - 1);
    EXPECT_THAT(console, EndsWith("FIN de l'analyse de l'entête\n"));
    EXPECT_EQ(reception.FichierOK, 1);
    // Lens 1 adds its 1/1000 mm margin to the origins; a marking sheet reads no position;
    // the jump speed goes x 10 into the header text and back to mm/s in FK_PP.
    EXPECT_THAT((std::vector<int64_t>{marquage.TypeDuFichier, marquage.UniteDeLg, marquage.MarquageUnique, marquage.ModelDuLaser, marquage.OrgXPlaque, marquage.OrgYPlaque,
                                   marquage.MargeFocaleCurrentUnit, marquage.DemiChampFocale, marquage.NumFocale, marquage.DimXPlaque, marquage.DimYPlaque,
                                   marquage.ResolutionDpiX, marquage.ResolutionDpiY, marquage.BlackInitialpower, marquage.VitesseInitiale, marquage.MarkingSpeed,
                                   lasparam.VitesseMarquage, marquage.OrientationMarquage, marquage.Orientation, marquage.TempoSaut, marquage.TempoTir,
                                   marquage.TempopTir, marquage.VitesseSaut, marquage.VitesseRect, marquage.bNegatif, marquage.RasterPatternCorrection,
                                   marquage.PositionningTimeout, marquage.bSimulation, marquage.ModeTurboTCValide, marquage.TempoFinRotation}),
                ElementsAre(0, 1, 1, kModeleLu ? 774 : 0, 11000, 12000, 10000, 65000, 1, 100000, 80000, 300, 600, 50,
                            500, 5000, 500, 6, 3, 31, 32, 33, 3000, 3000, 1, 36, 0, 0, 0, 0));
    EXPECT_FLOAT_EQ(marquage.GainXRectPosition, 1.25f);
    EXPECT_FLOAT_EQ(marquage.GainYRectPosition, 0.75f);
    const ParamCorrection& p = CurrentParamCorrection;
    EXPECT_THAT((std::vector<float>{float(p.Focale), p.CourseX, p.CourseY, float(p.TypeCorrectionX),
                                    float(p.TypeCorrectionY), p.AngleX, p.AngleY, p.GainX, p.GainY, float(p.Reserve),
                                    marquage.DemiCourse}),
                ElementsAre(160, 130, 130, 2, 1, 1.5f, 2.5f, 1.002f, 0.998f, 40, kViper ? 60 : 55));
    EXPECT_EQ(carte.Trace({"TABLE"}).size(), 1u) << "the lens tables are loaded";
    if constexpr (banc::kAvecCarte) {
        EXPECT_EQ(rotation.sens_DMC_OK, 1) << "outside marking";
        EXPECT_EQ(rotation.moins_dmc_las, 1);
    } else {
        EXPECT_THAT(Bascules(), ElementsAre(HasSubstr("GPIO op=clr bank=0 bits=0x00200000"))) << "flat";
    }
    if constexpr (banc::kFibre) {
        EXPECT_THAT((std::vector<float>{float(marquage.CoefUnitVersNano), float(marquage.CoefUnitVersMicron), marquage.CoefDivUnitVersmm}),
                    ElementsAre(1000, 1, 1000));
        EXPECT_THAT(console, HasSubstr("F160 Origine dans la Pratique : X=11000    Y=12000    "
                                       "DemiChampFocale=65000\t\t(Valeurs en 1/1000e de mm)\n"));
        EXPECT_THAT(console, HasSubstr("   Position de l'Origine X de la Plaque : 3e8 -> 1000 en 1/1000e de mm "
                                       "(Repère redimensionné)\n"));
    } else {
        EXPECT_THAT(console, HasSubstr("   Position de l'Origine Y de la Plaque : 7d0 -> 2000 en 1/1000 de mm  "
                                       "(Repère redimensionné) \n"));
    }
}

TEST_F(AnalyseEntete, HundredthsOfAMillimetre)
{
    Recoit(Job(Complet(0).set(ChFocale, 2)));
    Analyse();
    EXPECT_THAT((std::vector<int64_t>{marquage.UniteDeLg, marquage.OrgXPlaque, marquage.OrgYPlaque, marquage.DemiChampFocale}),
                ElementsAre(0, 2000, 3000, 10000));
    if constexpr (banc::kFibre) {
        EXPECT_THAT((std::vector<int64_t>{marquage.CoefUnitVersNano, marquage.CoefUnitVersMicron}), ElementsAre(10000, 10));
    }
}

TEST_F(AnalyseEntete, LensFourAndUnknownLenses)
{
    Recoit(Job(Complet().set(ChFocale, 4)));
    Analyse();
    if constexpr (banc::kFibre) {
        EXPECT_THAT((std::vector<int64_t>{marquage.OrgXPlaque, marquage.OrgYPlaque, marquage.DemiChampFocale, CurrentParamCorrection.Focale}),
                    ElementsAre(3000, 4000, 1, 420));
    } else {
        EXPECT_THAT((std::vector<int64_t>{marquage.OrgXPlaque, marquage.OrgYPlaque}), ElementsAre(1000, 2000)) << "no origin step";
    }
    // An unknown lens keeps the lens loaded now.
    Recoit(Job(Complet().set(ChFocale, 0)));
    Analyse();
    Recoit(Job(Complet().set(ChFocale, 9).set(ChCorrecAngX, 40)));
    Analyse();
    EXPECT_THAT(console, HasSubstr("Numéro de focale inconnu !"));
    EXPECT_EQ(marquage.OrgXPlaque, 1000);
    EXPECT_EQ(CurrentParamCorrection.Focale, 100);
    EXPECT_FLOAT_EQ(CurrentParamCorrection.CourseX, 81.0f);
    EXPECT_FLOAT_EQ(CurrentParamCorrection.AngleX, 4.0f);
}

TEST_F(AnalyseEntete, CylinderPerimeterInHundredthsWhateverTheUnit)
{
    CarteRotation(1);
    rotation.PerimetreCylindreAMarquer = 777;
    Recoit(Job(Complet().set(ChTypeMarquageDemande, 1)));
    Analyse();
    // 314.159 mm; the origin moves by half the perimeter in job units.
    EXPECT_THAT((std::vector<int64_t>{rotation.PerimetreCylindreAMarquer, rotation.SavePerimetreCylindre, marquage.OrgXPlaque, marquage.OrgYPlaque,
                                   marquage.ModeTurboTCValide, marquage.TempoFinRotation, marquage.TempoInterligneTC}),
                ElementsAre(31416, 777, 11000, 2000 + 314159 / 2, 1, 42, 43));
    EXPECT_FLOAT_EQ(marquage.fPerimetreEnmm, 314.159f);
    if constexpr (banc::kAvecCarte) {
        EXPECT_THAT((std::vector<int>{rotation.bDMCpasApas, rotation.bTC_DMC, marquage.bDdeRetourOrigine, marquage.bFirstRotationPU}),
                    ElementsAre(1, 0, 1, 1));
        EXPECT_FLOAT_EQ(CurrentParamCorrection.CourseY, 130.0f);
    } else {
        EXPECT_EQ(rotation.bTC_DMC, 1);
        EXPECT_THAT(Bascules(), ElementsAre(HasSubstr("GPIO op=set bank=0 bits=0x00200000")));
        EXPECT_FLOAT_EQ(CurrentParamCorrection.CourseY, 314.159f) << "the turner's axis spans the perimeter";
    }
    Recoit(Job(Complet(0).set(ChTypeMarquageDemande, 1).set(ChPerimetre, 31416)));
    Analyse();
    EXPECT_EQ(rotation.PerimetreCylindreAMarquer, 31416);

    // Without the rotation card a cylinder job is marked flat.
    CarteRotation(0);
    Recoit(Job(Complet().set(ChTypeMarquageDemande, 1)));
    Analyse();
    if constexpr (banc::kAvecCarte) {
        EXPECT_THAT((std::vector<int64_t>{rotation.bDMCpasApas, rotation.PerimetreCylindreAMarquer, marquage.OrgYPlaque, marquage.TempoFinRotation}),
                    ElementsAre(0, 0, 12000, 0));
    }
}

TEST_F(AnalyseEntete, PerimeterOfZeroIsRefusedResolutionOfZeroIsNot)
{
    // Only raster records use the resolution: a vector job may leave it at 0.
    reception.FichierOK = 1;
    Recoit(Job(Complet().set(ChDpiY, 0)));
    Analyse();
    EXPECT_EQ(reception.FichierOK, 1);
    EXPECT_EQ(marquage.ResolutionDpiY, 0u);

    CarteRotation(1);
    marquage.bTCReglageMinMax = 1;
    const size_t puissances = Puissances().size();
    const size_t tables = carte.Trace({"TABLE"}).size();
    for (int32_t perimetre : {0, 4}) {  // 4/1000 mm is no perimeter either
        reception.FichierOK = 1;
        Recoit(Job(Complet().set(ChTypeMarquageDemande, 1).set(ChPerimetre, perimetre)));
        Analyse();
        EXPECT_EQ(reception.FichierOK, 0) << perimetre;
        EXPECT_THAT(console, HasSubstr("Périmètre du cylindre nul dans l'entête\n"));
        EXPECT_EQ(marquage.bTCReglageMinMax, 0);
    }
    EXPECT_EQ(Puissances().size(), puissances) << "a refused job sends nothing";
    EXPECT_EQ(carte.Trace({"TABLE"}).size(), tables);
}

TEST_F(AnalyseEntete, DelaysAboveOneSecondAreRefusedAndNotKept)
{
    Recoit(Job(Complet().set(ChTempoSaut, 1000000).set(ChTempoPremierTir, 1000000)));
    Analyse();
    EXPECT_EQ(reception.FichierOK, 1);
    for (const auto& [champ, valeur] : std::vector<std::pair<int, int32_t>>{{ChTempoFinVecteur, 1000001}, {ChTempoSaut, -1}}) {
        reception.FichierOK = 1;
        Recoit(Job(Complet().set(champ, valeur)));
        Analyse();
        EXPECT_EQ(reception.FichierOK, 0) << valeur;
        EXPECT_THAT(console, HasSubstr(" us (maximum 1000000 us)\nFichier pas valide")) << valeur;
    }
    EXPECT_THAT((std::vector<long>{marquage.TempoSaut, marquage.TempoTir, marquage.TempopTir}), ElementsAre(1000000, 32, 1000000));
}

TEST_F(AnalyseEntete, FileTypeSetsTheJobKind)
{
    constexpr bool kKm250 = build::kKm250Line;
    const int dernier = kViper ? 6 : 10;
    uint8_t* const drapeaux[] = {&marquage.bFocalisationAPlat, &marquage.bTCReglageMinMax, &marquage.bPositionnementTC, &marquage.bFocalisationTC,
                                 &marquage.bPositionTC2, &marquage.bPositionXEtau, &marquage.bPositionYEtau, &marquage.bTestInscription};
    for (int32_t type = -1; type <= 12; ++type) {
        const bool connu = type >= 0 && type <= dernier && (banc::kAvecCarte || type < 7 || type > 9);
        const auto est = [&](std::initializer_list<int> types) {
            return connu && std::find(types.begin(), types.end(), type) != types.end();
        };
        marquage.bSimulation = marquage.bPreChauffe = 1;
        for (uint8_t* d : drapeaux) *d = 1;
        Recoit(Job(Complet().set(ChTypeFichier, type)));
        Analyse();
        const bool position = est({1, 3, 5, 6, 7, 8, 9});
        EXPECT_EQ(marquage.PositionningTimeout, position ? 38000u : 0u) << type;
        EXPECT_EQ(marquage.BlackInitialpower, position ? 0 : 50) << type;
        EXPECT_THAT((std::vector<int>{marquage.bSimulation, marquage.bFocalisationAPlat, marquage.bTCReglageMinMax, marquage.bPositionnementTC,
                                      marquage.bFocalisationTC, marquage.bPositionTC2, marquage.bPositionXEtau, marquage.bPositionYEtau, marquage.bTestInscription,
                                      marquage.bPreChauffe}),
                    ElementsAre(position, est({3, 6}), est({4}), est({5}), est({6}), est({7}), est({8}), est({9}),
                                est({10}), kKm250 && type == 2))  // the VIPER board's from the "!PC" tag alone
            << type;
    }
    Recoit(Job(Complet().set(ChTypeFichier, 2)));
    Analyse();
    EXPECT_THAT(console, HasSubstr(kKm250 ? "Fiche de Prechauffe\n" : "Fiche de Marquage\n"));
    Recoit(Job(Complet().set(ChTypeFichier, 3)));
    Analyse();
    EXPECT_EQ(marquage.VitesseSaut, 2500) << "focus sheets jump at 2500 mm/s";
    Recoit(Job(Complet().set(ChTypeFichier, 5)));
    Analyse();
    EXPECT_EQ(marquage.VitesseSaut, banc::kAvecCarte ? 150000 : 3000);
}

TEST_F(AnalyseEntete, FirmwareAndIpJobsReturnBeforeTheMarkingFields)
{
    HeaderBlock h = Complet();
    h.name("mlas-fibre.v2").set(0, 5).set(1, 7);
    jobfile::Builder b;
    b.tag("LF", 240).header(h).raw("ABCDE");
    Recoit(b.bytes());
    marquage.OrgXPlaque = -5;
    EXPECT_EQ(Analyse(), 247);
    EXPECT_EQ(marquage.bReceptionFirmware, 1);
    EXPECT_STREQ(marquage.FirmwareFilename, "mlas-fibre.v2");
    EXPECT_EQ(marquage.FirmwareFilesize, 5);
    EXPECT_EQ(marquage.FirmwareChecksum, 7);
    EXPECT_EQ(marquage.OrgXPlaque, -5);
    EXPECT_THAT(console, HasSubstr("Firmware upload\nFile name : mlas-fibre.v2\nFile size : 5 octets\nChecksum : 7\n"
                                   "FIN de l'analyse de l'entête\n"));
    EXPECT_TRUE(Puissances().empty());

    jobfile::Builder ip;
    // Where the IP job returns at once, nothing past the pre-header has to hold.
    ip.tag("IP", 240).header(kViper ? Complet() : Complet().set(ChDpiX, 0)).end();
    Recoit(ip.bytes());
    reception.FichierOK = 1;
    const int32_t fin = Analyse(banc::kFibre);
    EXPECT_EQ(marquage.bChangementIP, 1);
    if constexpr (!kViper) {
        EXPECT_EQ(fin, 247);
        EXPECT_EQ(reception.FichierOK, 1);
        EXPECT_THAT(console, Not(HasSubstr("FIN de l'analyse")));
    }
}

TEST_F(AnalyseEntete, ShortFormOfTheYagLoop)
{
    if constexpr (!banc::kFibre) GTEST_SKIP() << "the fibre line's YAG loop only";
    lasparam.VitesseMarquage = 123;
    Recoit(Job(Complet().set(ChPositionnement, 0)));
    EXPECT_EQ(Analyse(true), 247);
    // Unit factors from the unit field, so that moves are not all zero; gains in thousandths.
    EXPECT_THAT((std::vector<int64_t>{marquage.OrgXPlaque, marquage.OrgYPlaque, marquage.CoefUnitVersNano, marquage.CoefUnitVersMicron,
                                   CurrentParamCorrection.Focale, lasparam.VitesseMarquage, marquage.MarkingSpeed}),
                ElementsAre(1500, 2500, 1000, 1, 160, 123, 5000));
    EXPECT_FLOAT_EQ(marquage.GainXRectPosition, 1.25f);
    EXPECT_FLOAT_EQ(marquage.GainYRectPosition, 0.75f);
    EXPECT_FLOAT_EQ(marquage.DemiCourse, 60.0f);
    EXPECT_EQ(Puissances().back(), "CMD code=0x06 ack=0xAA00 p=223");
    EXPECT_THAT(console, HasSubstr("Fiche de Marquage ou de positionnement\n"));

    Recoit(Job(Complet()));
    Analyse(true);
    EXPECT_EQ(marquage.PositionningTimeout, 38000u);
    EXPECT_EQ(Puissances().back(), "CMD code=0x06 ack=0xAA00 p=192") << "help sheets mark at 0 %";

    // A header too short for the position and unit fields: neither is taken from the body.
    HeaderBlock court(168);
    court.set(ChDpiX, 300).set(ChDpiY, 300).set(ChFocale, 2);
    jobfile::Builder b;
    b.tag("KM", 168).header(court).raw(std::vector<uint8_t>{0, 0, 0x10, 0}).end();
    Recoit(b.bytes());
    EXPECT_EQ(Analyse(true), 8 + 168 - 1);
    EXPECT_THAT((std::vector<int64_t>{marquage.PositionningTimeout, marquage.UniteDeLg, marquage.CoefUnitVersNano, marquage.OrgXPlaque}),
                ElementsAre(0, 0, 10000, 1000));
}

}  // namespace
