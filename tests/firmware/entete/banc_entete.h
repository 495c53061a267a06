// Header analysis bench: the simulated DSP card running, the job's bytes put
// into RecepBuff as the reception leaves them (the start instruction eaten),
// the console read back, and the job globals back to their start-up values.
#pragma once

#include "../machine/banc_machine.h"
#include "AnalyseEnteteFichier.h"
#include "build.h"
#include "mlas_dmc.h"
#include "job_builder.h"
#include "prnReception.h"
#include "prnbuffer.h"
#include "etat_marquage.h"
#include "etat_rotation.h"
#include "etat_pupitre.h"
#include "etat_reception.h"

#include <cstring>
#include <string>
#include <vector>

namespace banc {

inline constexpr bool kFibre = build::kFibreLine;
inline constexpr bool kAvecCarte = build::kDmc;

class Entete : public Machine {
protected:
    void SetUp() override
    {
        Machine::SetUp();
        dsp.Demarre();
        ReinitMarquage();
        ReinitRotation();
        CurrentParamCorrection = {};
        reception.FichierOK = 1;
        pupitre.TypeCarteCPU = 1;  // VIPER: the flat/cylinder switch is GPIO 21
        CarteRotation(0);
    }

    // The job as it stands in RecepBuff after reception: without the start instruction.
    static void Recoit(const std::vector<uint8_t>& octets)
    {
        PRNBuffClear(&RecepBuff);
        std::memset(RecepBuff.data, 0, 4096);
        PRNBuffWriteBuff(&RecepBuff, octets.data(), static_cast<uint32_t>(octets.size()));
    }
    // A converter job with its body; the start instruction is left out.
    static std::vector<uint8_t> Job(const jobfile::HeaderBlock& h, int lbAvant = 0)
    {
        jobfile::Builder b;
        b.preHeader(lbAvant).raw(jobfile::converterTag(h)).header(h).record("JF", 0);
        return b.bytes();
    }
    // The header analysis the marking loop of this build runs first.
    int32_t Analyse(bool courte = false)
    {
        console = Sortie([&] {
            resultat = courte ? AnalyseEntete(RecepBuff.data) : kFibre ? LFAnalyseEntete(RecepBuff.data)
                                                                      : AnalyseEntete(RecepBuff.data);
        });
        return resultat;
    }
    std::vector<std::string> Puissances() const { return carte.Trace({"CMD code=0x06"}); }

    // A marking header with a value in every field the firmware reads.
    static jobfile::HeaderBlock Complet(int32_t unite = 1)
    {
        using namespace jobfile;
        HeaderBlock h = converterHeader(775, 0);
        const std::vector<std::pair<int, int32_t>> champs = {
            {ChOrigineX, 1000}, {ChOrigineY, 2000}, {ChModele, 774}, {ChPerimetre, 314159}, {ChDpiX, 300}, {ChDpiY, 600},
            {ChPuissanceNoir, 50}, {ChVitesseInitiale, 500}, {ChPlaqueX, 100000}, {ChPlaqueY, 80000}, {ChIntExt, 1}, {ChOrientation, 6},
            {ChTurbo, 1}, {ChTypeCorrectionX, 1}, {ChFocale, 1}, {ChGainLineaireX, 1002}, {ChGainLineaireY, 998}, {ChCorrecAngX, 15}, {ChCorrecAngY, 25},
            {ChTempoSaut, 31}, {ChTempoFinVecteur, 32}, {ChTempoPremierTir, 33}, {ChVitesseSaut, 3000}, {ChTypeMarquage, 1}, {ChDiffusion, 36},
            {ChOrientationImage, 2}, {ChPositionnement, 38000}, {ChGainRectX, 1250}, {ChGainRectY, 750}, {ChTempoFinRotation, 42},
            {ChTempoInterligne, 43}, {ChUnite, unite}, {ChMarquageUnique, 1}};
        for (const auto& [champ, valeur] : champs) h.set(champ, valeur);
        return h;
    }

    static void CarteRotation(uint8_t presente)
    {
        if constexpr (kAvecCarte) rotation.DMC_OK = presente;
    }
    // The flat/cylinder switch of the builds without the rotation card.
    std::vector<std::string> Bascules() const { return carte.Trace({"GPIO"}); }

    std::string console;
    int32_t resultat = 0;
};

}  // namespace banc
