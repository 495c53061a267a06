// The settings record alone: the input is the record (zero past its end, up to
// 1,200 bytes), sent with a one-page drawing that reaches every pen, a dashed
// line, a label and a fill, then the job end.
#include "travail.h"

#include <string_view>

namespace {

constexpr std::string_view kPage =
    "IN;SP1;PA;PU1000,1000;PD3000,1000,3000,3000,1000,3000,1000,1000;"
    "SP2;LT2,4;PU500,500;PD3500,3500;LT;SP3;PU2000,2000;CI400;"
    "SP4;PU200,3800;LBAB1\x03;SP5;PU100,100;RA900,900;"
    "SP6;PU3900,100;PD3950,150;SP7;PU2500,500;PD2600,500;SP8;PU50,3950;PD60,3960;PG;";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::PrepareImprimante();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    std::vector<uint8_t> parametres(1200, 0);
    std::memcpy(parametres.data(), donnees, std::min(taille, parametres.size()));
    fuzz::Travail(parametres, [&](HANDLE imprimante) {
        return debut(imprimante, kPage.data(), static_cast<uint32_t>(kPage.size()), parametres.data()) == 1;
    });
    return 0;
}
